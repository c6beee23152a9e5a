#include "io/output_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Large writes keep the system-call count low on long runs.
constexpr size_t kBufferSize = 1 << 20;

std::string systemError() { return std::strerror(errno); }

// ---- temporary files a signal must remove ---------------------------------
// A fixed table, so that the handler needs no allocation and no lock: a slot
// is claimed (state 2) while its name is copied, and only a slot in state 1
// holds a complete name the handler may unlink.
constexpr int kSlots = 64;
struct TemporarySlot {
    std::atomic<int> state{0};  // 0 free, 1 holds a name, 2 being filled
    char path[PATH_MAX];
};
TemporarySlot slots[kSlots];
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads the slot states");

int rememberTemporary(const std::string& path) {
    if (path.size() >= PATH_MAX) return -1;
    for (int i = 0; i < kSlots; ++i) {
        int expected = 0;
        if (!slots[i].state.compare_exchange_strong(expected, 2)) continue;
        std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
        slots[i].state.store(1);
        return i;
    }
    return -1;
}

void forgetSlot(int slot) {
    if (slot >= 0) slots[slot].state.store(0);
}

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

// A symbolic link to a file is followed: the file gets the new contents and
// the link stays a link.
std::string resolvedTarget(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr) return path;  // dangling: the rename replaces the link
    std::string resolved = real;
    std::free(real);
    return resolved;
}

}  // namespace

void removePartialOutputs() noexcept {
    for (TemporarySlot& slot : slots) {
        if (slot.state.load() == 1) ::unlink(slot.path);
    }
}

OutputFile::~OutputFile() { discard(); }

std::string OutputFile::describe() const { return fd_ == 1 ? "standard output" : "'" + path_ + "'"; }

void OutputFile::forgetTemporary() {
    forgetSlot(temporarySlot_);
    temporarySlot_ = -1;
    temporaryPath_.clear();
}

bool OutputFile::open(const std::string& path, std::string& error) {
    discard();
    path_ = path;
    direct_ = false;
    buffer_.reserve(kBufferSize);
    if (path.empty() || path == "-") {
        fd_ = 1;
        return true;
    }
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        // Caught now rather than by the rename after the whole run.
        if (S_ISDIR(existing.st_mode)) {
            error = "cannot create output '" + path + "': it is a directory";
            return false;
        }
        const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            error = "cannot open output '" + path + "': " + systemError();
            return false;
        }
        fd_ = fd;
        direct_ = true;
        return true;
    }
    const std::string target = resolvedTarget(path);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = temporaryNameFor(target, attempt);
        // Named in the table before the file exists, so that no moment
        // leaves a file a signal would not remove.
        const int slot = rememberTemporary(candidate);
        // 0666 before the umask: the file gets the permissions a plain
        // create would give it.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporaryPath_ = candidate;
            temporarySlot_ = slot;
            targetPath_ = target;
            return true;
        }
        forgetSlot(slot);
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
        if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
        forgetTemporary();
        return false;
    }
    if (direct_) return true;
    if (::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0) {
        error = "cannot create output '" + path_ + "': " + systemError();
        ::unlink(temporaryPath_.c_str());
        forgetTemporary();
        return false;
    }
    forgetTemporary();
    return true;
}

void OutputFile::discard() {
    buffer_.clear();
    if (fd_ > 1) ::close(fd_);
    fd_ = -1;
    if (!temporaryPath_.empty()) ::unlink(temporaryPath_.c_str());
    forgetTemporary();
}
