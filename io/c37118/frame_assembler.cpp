#include "io/c37118/frame_assembler.h"

#include <cstdio>

void FrameAssembler::append(std::span<const uint8_t> bytes) {
    if (!error_.empty()) return;
    // Drop what earlier frames used before the buffer grows.
    if (start_ > 0 && start_ == buffer_.size()) {
        buffer_.clear();
        start_ = 0;
    } else if (start_ > 65536) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

bool FrameAssembler::fail(const std::string& reason) {
    error_ = "at byte " + std::to_string(consumed_) + " of the stream: " + reason;
    return false;
}

FrameAssembler::Result FrameAssembler::next(std::vector<uint8_t>& frame, FrameHeader& header) {
    if (!error_.empty()) return Result::Failed;
    const size_t available = buffer_.size() - start_;
    const uint8_t* head = buffer_.data() + start_;
    // Refuse a wrong SYNC as soon as its first byte arrives instead of
    // waiting for a FRAMESIZE that garbage may never complete.
    if (available >= 1 && head[0] != kSyncLeadByte) {
        char reason[64];
        std::snprintf(reason, sizeof reason, "wrong SYNC: first byte is 0x%02X, expected 0xAA", head[0]);
        fail(reason);
        return Result::Failed;
    }
    if (available >= 2) {
        FrameType type;
        if (!frameTypeOf(head[1], type)) {
            fail("wrong SYNC: second byte names no frame type");
            return Result::Failed;
        }
    }
    if (available < 4) return Result::NeedMore;
    const size_t frameSize = static_cast<size_t>((head[2] << 8) | head[3]);
    if (frameSize < kMinimumFrameSize) {
        fail("wrong FRAMESIZE " + std::to_string(frameSize) + ": a frame has at least " +
             std::to_string(kMinimumFrameSize) + " bytes");
        return Result::Failed;
    }
    if (available < frameSize) return Result::NeedMore;
    const std::span<const uint8_t> candidate(head, frameSize);
    std::string reason;
    if (!checkFrame(candidate, header, reason)) {
        fail(reason);
        return Result::Failed;
    }
    frame.assign(candidate.begin(), candidate.end());
    start_ += frameSize;
    consumed_ += frameSize;
    return Result::Frame;
}
