#include "io/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Large writes keep the system-call count low on long runs.
constexpr size_t kBufferSize = 1 << 20;

std::string systemError() { return std::strerror(errno); }

// A temporary name beside the target (so the rename stays on one file
// system), unique across processes and across outputs of this process.
std::string temporaryNameFor(const std::string& path, unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    const std::string::size_type slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return directory + "." + base + ".partial-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(attempt);
}

}  // namespace

OutputFile::~OutputFile() { discard(); }

std::string OutputFile::describe() const { return fd_ == 1 ? "standard output" : "'" + path_ + "'"; }

bool OutputFile::open(const std::string& path, std::string& error) {
    discard();
    path_ = path;
    buffer_.reserve(kBufferSize);
    if (path.empty() || path == "-") {
        fd_ = 1;
        return true;
    }
    // Caught now rather than by the rename after the whole run.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        error = "cannot create output '" + path + "': it is a directory";
        return false;
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = temporaryNameFor(path, attempt);
        // 0666 before the umask: the file gets the permissions a plain
        // create would give it.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporaryPath_ = candidate;
            return true;
        }
        if (errno != EEXIST) {
            error = "cannot create output '" + path + "': " + systemError();
            return false;
        }
    }
    error = "cannot create output '" + path + "': no free temporary name beside it";
    return false;
}

bool OutputFile::flushBuffer(std::string& error) {
    const char* data = buffer_.data();
    size_t left = buffer_.size();
    while (left > 0) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            error = "cannot write " + describe() + ": " + systemError();
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    buffer_.clear();
    return true;
}

bool OutputFile::write(const char* data, size_t size, std::string& error) {
    if (fd_ < 0) {
        error = "output " + describe() + " is not open";
        return false;
    }
    buffer_.append(data, size);
    if (buffer_.size() >= kBufferSize) return flushBuffer(error);
    return true;
}

bool OutputFile::commit(std::string& error) {
    if (fd_ < 0) {
        error = "output " + describe() + " is not open";
        return false;
    }
    if (!flushBuffer(error)) {
        discard();
        return false;
    }
    if (fd_ == 1) {
        fd_ = -1;
        return true;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        error = "cannot write '" + path_ + "': " + systemError();
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
        return false;
    }
    if (::rename(temporaryPath_.c_str(), path_.c_str()) != 0) {
        error = "cannot create output '" + path_ + "': " + systemError();
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
        return false;
    }
    temporaryPath_.clear();
    return true;
}

void OutputFile::discard() {
    buffer_.clear();
    if (fd_ > 1) ::close(fd_);
    fd_ = -1;
    if (!temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}
