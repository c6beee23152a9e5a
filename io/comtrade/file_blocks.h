// A byte range of a file (a whole .dat, or the data section of a .cff) read
// front to back through one fixed buffer, so that memory does not grow with
// the file: whole lines for text, raw bytes for binary records.
#ifndef ORVANE_IO_COMTRADE_FILE_BLOCKS_H
#define ORVANE_IO_COMTRADE_FILE_BLOCKS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class FileBlocks {
public:
    // `length` of -1 reads to the end of the file. Throws ComtradeError
    // when the file cannot be opened.
    FileBlocks(const std::string& path, uint64_t offset, int64_t length = -1);
    ~FileBlocks();
    FileBlocks(const FileBlocks&) = delete;
    FileBlocks& operator=(const FileBlocks&) = delete;

    // The size of the whole file, bytes.
    uint64_t fileSize() const { return fileSize_; }
    // Bytes of the range.
    uint64_t length() const { return length_; }
    // Position of the next byte, from the start of the file.
    uint64_t position() const { return offset_ + consumed_; }

    // The next line, its end ('\n') removed (a '\r' before it stays); the
    // view lasts until the next call. False at the end of the range.
    bool nextLine(std::string_view& line);
    // Whether the line last read ended with '\n' (only the last line of
    // the range may not).
    bool lineEnded() const { return lineEnded_; }
    // Up to `bytes` bytes of the range, at least `bytes` when the range
    // holds them; the view lasts until the next call.
    std::string_view nextBytes(std::size_t bytes);

private:
    bool fill(std::size_t wanted);

    std::string path_;
    int fd_ = -1;
    uint64_t fileSize_ = 0;
    uint64_t offset_ = 0;
    uint64_t length_ = 0;
    uint64_t loaded_ = 0;    // bytes of the range read from the file
    uint64_t consumed_ = 0;  // bytes of the range handed out
    std::vector<char> buffer_;
    bool lineEnded_ = false;
    std::size_t begin_ = 0, end_ = 0;  // unconsumed bytes in buffer_
};

#endif  // ORVANE_IO_COMTRADE_FILE_BLOCKS_H
