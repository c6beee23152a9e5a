// An output that appears whole or not at all. A named file is written to a
// temporary file beside it and renamed over the target only by commit(), so
// a run that fails half-way leaves no partial output behind (and an existing
// file of that name untouched). An empty name or "-" writes to standard
// output, which cannot be taken back.
#ifndef ORVANE_IO_OUTPUT_FILE_H
#define ORVANE_IO_OUTPUT_FILE_H

#include <cstddef>
#include <string>

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    // Removes the temporary file unless commit() succeeded.
    ~OutputFile();

    bool open(const std::string& path, std::string& error);
    // Buffered; false, with `error` set, when the system refuses the bytes.
    bool write(const char* data, size_t size, std::string& error);
    // Flushes, closes and renames the temporary file over the target.
    bool commit(std::string& error);
    // Drops what was written: the temporary file is removed.
    void discard();

    const std::string& path() const { return path_; }
    bool isStandardOutput() const { return fd_ == 1; }
    // The open descriptor (-1 when closed), for a library that writes the
    // file itself through /proc/self/fd/N and leaves the commit to us.
    int descriptor() const { return fd_; }

private:
    bool flushBuffer(std::string& error);
    std::string describe() const;

    std::string path_;
    std::string temporaryPath_;
    int fd_ = -1;
    std::string buffer_;
};

#endif  // ORVANE_IO_OUTPUT_FILE_H
