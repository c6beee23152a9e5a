// A file that holds the current fuzz input, for readers that take a path.
// It lives in memory (memfd) and is reached through /proc/self/fd, so a
// fuzz run neither wears the disk nor leaves files behind. Readers that
// decide by a file's extension get a link with that extension in /tmp,
// removed when the process ends normally.
#ifndef ORVANE_FUZZ_SCRATCH_FILE_H
#define ORVANE_FUZZ_SCRATCH_FILE_H

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

class ScratchFile {
public:
    explicit ScratchFile(const char* name, const char* extension = "") {
        fd_ = memfd_create(name, 0);
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
        if (*extension != '\0') {
            link_ = "/tmp/orvane-fuzz-" + std::to_string(getpid()) + "-" + name + extension;
            unlink(link_.c_str());
            if (symlink(path_.c_str(), link_.c_str()) != 0) {
                std::perror("scratch file link");
                std::abort();
            }
            path_ = link_;
        }
    }
    ~ScratchFile() {
        if (!link_.empty()) unlink(link_.c_str());
        close(fd_);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // Replaces the file's contents with the bytes.
    const std::string& hold(const uint8_t* data, std::size_t size) {
        if (ftruncate(fd_, 0) != 0 || (size > 0 && pwrite(fd_, data, size, 0) != static_cast<ssize_t>(size))) {
            std::perror("scratch file");
            std::abort();
        }
        return path_;
    }

private:
    int fd_ = -1;
    std::string path_;
    std::string link_;
};

#endif  // ORVANE_FUZZ_SCRATCH_FILE_H
