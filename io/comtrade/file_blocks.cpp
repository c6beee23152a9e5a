#include "io/comtrade/file_blocks.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "io/comtrade/comtrade_error.h"

namespace {

constexpr std::size_t kBlockBytes = 1 << 20;

}  // namespace

FileBlocks::FileBlocks(const std::string& path, uint64_t offset, int64_t length)
    : path_(path), offset_(offset), buffer_(kBlockBytes) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) throw ComtradeError(path, 0, 0, "", std::string("cannot open: ") + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
        const int code = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd_);
        throw ComtradeError(path, 0, 0, "", std::string("cannot open: ") + std::strerror(code));
    }
    fileSize_ = static_cast<uint64_t>(st.st_size);
    const uint64_t available = offset_ <= fileSize_ ? fileSize_ - offset_ : 0;
    length_ = length < 0 ? available : std::min(available, static_cast<uint64_t>(length));
}

FileBlocks::~FileBlocks() {
    if (fd_ >= 0) ::close(fd_);
}

// Makes at least `wanted` unconsumed bytes available, or all that are
// left; false when none are.
bool FileBlocks::fill(std::size_t wanted) {
    if (end_ - begin_ >= wanted) return true;
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (buffer_.size() < wanted) buffer_.resize(wanted);
    while (end_ < wanted && loaded_ < length_) {
        const std::size_t room = std::min<uint64_t>(buffer_.size() - end_, length_ - loaded_);
        const ssize_t got = ::pread(fd_, buffer_.data() + end_, room, static_cast<off_t>(offset_ + loaded_));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw ComtradeError(path_, 0, 0, "", std::string("read error: ") + std::strerror(errno));
        // The file shrank under us: what is left is what there is.
        if (got == 0) {
            length_ = loaded_;
            break;
        }
        end_ += static_cast<std::size_t>(got);
        loaded_ += static_cast<uint64_t>(got);
    }
    return end_ > begin_;
}

bool FileBlocks::nextLine(std::string_view& line) {
    std::size_t searched = 0;
    while (true) {
        const char* start = buffer_.data() + begin_;
        const void* newline = std::memchr(start + searched, '\n', end_ - begin_ - searched);
        if (newline != nullptr) {
            const std::size_t size = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
            line = std::string_view(start, size);
            begin_ += size + 1;
            consumed_ += size + 1;
            lineEnded_ = true;
            return true;
        }
        searched = end_ - begin_;
        if (loaded_ == length_) break;
        // A line longer than the buffer makes it grow.
        fill(std::max(buffer_.size(), searched + kBlockBytes));
    }
    if (end_ == begin_) return false;
    line = std::string_view(buffer_.data() + begin_, end_ - begin_);
    consumed_ += end_ - begin_;
    begin_ = end_;
    lineEnded_ = false;
    return true;
}

std::string_view FileBlocks::nextBytes(std::size_t bytes) {
    if (!fill(bytes)) return {};
    const std::size_t size = std::min(bytes, end_ - begin_);
    const std::string_view out(buffer_.data() + begin_, size);
    begin_ += size;
    consumed_ += size;
    return out;
}
