// Cuts a byte stream (a TCP connection, a file) into whole frames. A read
// may hold several frames or part of one; frames come out one at a time,
// their CRC already checked. A stream that does not start a frame where one
// should start cannot be trusted any further: the assembler then reports
// why and stays failed.
#ifndef ORVANE_IO_C37118_FRAME_ASSEMBLER_H
#define ORVANE_IO_C37118_FRAME_ASSEMBLER_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/c37118/frame_common.h"

class FrameAssembler {
public:
    enum class Result { NeedMore, Frame, Failed };

    void append(std::span<const uint8_t> bytes);
    // The next whole frame in `frame` (Result::Frame), or NeedMore, or
    // Failed with the reason in error() (wrong SYNC, impossible FRAMESIZE,
    // bad CRC).
    Result next(std::vector<uint8_t>& frame, FrameHeader& header);
    const std::string& error() const { return error_; }
    // Bytes received that do not yet make a whole frame.
    size_t pending() const { return buffer_.size() - start_; }
    // Total bytes taken from the stream so far, for error positions.
    uint64_t consumed() const { return consumed_; }

private:
    bool fail(const std::string& reason);

    std::vector<uint8_t> buffer_;
    size_t start_ = 0;
    uint64_t consumed_ = 0;
    std::string error_;
};

#endif  // ORVANE_IO_C37118_FRAME_ASSEMBLER_H
