// An output that appears whole or not at all. A regular file (or a name not
// taken yet) is written to a temporary file beside it and renamed over the
// target only by commit(), so a run that fails half-way leaves no partial
// output behind (and an existing file of that name untouched). Anything
// else that exists under the name (a device such as /dev/null, a FIFO, a
// socket) is opened and written directly: renaming over it would replace
// the device with a plain file. An empty name or "-" writes to standard
// output, which cannot be taken back.
//
// A run stopped by SIGINT, SIGTERM or SIGHUP leaves no temporary file
// either: every temporary name is kept in a fixed table, and the program's
// signal handler (the tool's stop request) calls removePartialOutputs().
// This room installs no handler of its own.
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
    // Writes `text` and commits: the whole file at once.
    bool writeAll(const std::string& text, std::string& error) {
        return write(text.data(), text.size(), error) && commit(error);
    }
    // Drops what was written: the temporary file is removed.
    void discard();

    const std::string& path() const { return path_; }
    bool isStandardOutput() const { return fd_ == 1; }
    // Written straight into the target (not a regular file), no rename.
    bool isDirect() const { return direct_; }
    // The open descriptor (-1 when closed), for a library that writes the
    // file itself through /proc/self/fd/N and leaves the commit to us.
    int descriptor() const { return fd_; }

private:
    bool flushBuffer(std::string& error);
    std::string describe() const;
    void forgetTemporary();

    std::string path_;
    std::string temporaryPath_;
    std::string targetPath_;  // path_, or the file a symbolic link names
    int temporarySlot_ = -1;
    int fd_ = -1;
    bool direct_ = false;
    std::string buffer_;
};

// Removes every temporary output file still open in this process.
// Async-signal-safe: only unlink() on names already complete in the table.
void removePartialOutputs() noexcept;

#endif  // ORVANE_IO_OUTPUT_FILE_H
