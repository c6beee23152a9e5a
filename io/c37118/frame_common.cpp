#include "io/c37118/frame_common.h"

#include <cstdio>

#include "io/c37118/big_endian.h"
#include "io/c37118/crc_ccitt.h"

namespace {

std::string hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

}  // namespace

const char* frameTypeName(FrameType type) {
    switch (type) {
    case FrameType::Data: return "data frame";
    case FrameType::Header: return "header frame";
    case FrameType::Config1: return "CFG-1 frame";
    case FrameType::Config2: return "CFG-2 frame";
    case FrameType::Command: return "command frame";
    case FrameType::Config3: return "CFG-3 frame";
    }
    return "unknown frame";
}

void beginFrame(std::vector<uint8_t>& out, FrameType type, uint8_t version, uint16_t idCode, const FrameTime& time) {
    out.clear();
    ByteWriter w(out);
    w.u8(kSyncLeadByte);
    w.u8(static_cast<uint8_t>((static_cast<uint8_t>(type) << 4) | (version & 0x0F)));
    w.u16(0);
    w.u16(idCode);
    w.u32(time.soc);
    w.u8(time.quality);
    w.u24(time.fracSec);
}

bool sealFrame(std::vector<uint8_t>& out) {
    const size_t size = out.size() + kCheckSize;
    if (size > 0xFFFF) return false;
    out[2] = static_cast<uint8_t>(size >> 8);
    out[3] = static_cast<uint8_t>(size);
    const uint16_t crc = crcCcitt(out.data(), out.size());
    ByteWriter(out).u16(crc);
    return true;
}

bool frameTypeOf(uint8_t syncSecondByte, FrameType& type) {
    if ((syncSecondByte & 0x80) != 0) return false;
    const unsigned code = (syncSecondByte >> 4) & 0x07;
    if (code > static_cast<unsigned>(FrameType::Config3)) return false;
    type = static_cast<FrameType>(code);
    return true;
}

bool checkFrame(std::span<const uint8_t> frame, FrameHeader& header, std::string& error) {
    if (frame.size() < 4) {
        error = "truncated frame: " + std::to_string(frame.size()) + " bytes, fewer than the 4 of SYNC and FRAMESIZE";
        return false;
    }
    if (frame[0] != kSyncLeadByte) {
        error = "wrong SYNC: first byte is " + hex(frame[0], 2) + ", expected 0xAA";
        return false;
    }
    if (!frameTypeOf(frame[1], header.type)) {
        error = "wrong SYNC: second byte " + hex(frame[1], 2) + " names no frame type";
        return false;
    }
    header.version = frame[1] & 0x0F;
    if (header.version != kVersion2005 && header.version != kVersion2011) {
        error = "unsupported version " + std::to_string(header.version) + " in SYNC (expected 1 or 2)";
        return false;
    }
    header.frameSize = static_cast<uint16_t>((frame[2] << 8) | frame[3]);
    if (header.frameSize < kMinimumFrameSize) {
        error = "wrong FRAMESIZE " + std::to_string(header.frameSize) + ": a frame has at least " +
                std::to_string(kMinimumFrameSize) + " bytes";
        return false;
    }
    if (frame.size() < header.frameSize) {
        error = "truncated frame: FRAMESIZE says " + std::to_string(header.frameSize) + " bytes, only " +
                std::to_string(frame.size()) + " present";
        return false;
    }
    if (frame.size() > header.frameSize) {
        error = "wrong FRAMESIZE " + std::to_string(header.frameSize) + ": " + std::to_string(frame.size()) +
                " bytes given";
        return false;
    }
    const size_t checked = header.frameSize - kCheckSize;
    const uint16_t expected = crcCcitt(frame.data(), checked);
    const uint16_t found = static_cast<uint16_t>((frame[checked] << 8) | frame[checked + 1]);
    if (found != expected) {
        error = "bad CRC: CHK is " + hex(found, 4) + ", the frame's bytes give " + hex(expected, 4);
        return false;
    }
    ByteReader r(frame.subspan(4));
    r.u16(header.idCode);
    r.u32(header.time.soc);
    r.u8(header.time.quality);
    r.u24(header.time.fracSec);
    return true;
}

std::span<const uint8_t> frameBody(std::span<const uint8_t> frame) {
    return frame.subspan(kCommonHeaderSize, frame.size() - kCommonHeaderSize - kCheckSize);
}
