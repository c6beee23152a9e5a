#include "io/c37118/command_frame.h"

#include "io/c37118/big_endian.h"

namespace {

bool sealed(std::vector<uint8_t>& out, const char* kind, std::string& error) {
    if (sealFrame(out)) return true;
    error = std::string(kind) + " would be " + std::to_string(out.size() + kCheckSize) +
            " bytes, more than the 65535 FRAMESIZE can express";
    return false;
}

bool checkType(std::span<const uint8_t> frame, FrameType type, FrameHeader& header, std::string& error) {
    if (!checkFrame(frame, header, error)) return false;
    if (header.type != type) {
        error = std::string("expected a ") + frameTypeName(type) + ", got a " + frameTypeName(header.type);
        return false;
    }
    return true;
}

}  // namespace

const char* commandName(uint16_t command) {
    switch (command) {
    case kCommandDataOff: return "turn off transmission of data frames";
    case kCommandDataOn: return "turn on transmission of data frames";
    case kCommandSendHeader: return "send header frame";
    case kCommandSendConfig1: return "send CFG-1 frame";
    case kCommandSendConfig2: return "send CFG-2 frame";
    case kCommandSendConfig3: return "send CFG-3 frame";
    case kCommandExtended: return "extended frame";
    }
    if (command >= 0x0100 && command <= 0x0FFF) return "user-designated command";
    return "reserved command";
}

bool encodeCommandFrame(const CommandFrame& command, std::vector<uint8_t>& out, std::string& error) {
    beginFrame(out, FrameType::Command, kVersion2005, command.idCode, command.time);
    ByteWriter w(out);
    w.u16(command.command);
    w.bytes(command.extendedData.data(), command.extendedData.size());
    return sealed(out, "command frame", error);
}

bool decodeCommandFrame(std::span<const uint8_t> frame, CommandFrame& command, std::string& error) {
    FrameHeader header;
    if (!checkType(frame, FrameType::Command, header, error)) return false;
    std::span<const uint8_t> body = frameBody(frame);
    if (body.size() < 2) {
        error = "wrong size: command frame of " + std::to_string(frame.size()) + " bytes has no room for CMD (at least " +
                std::to_string(kMinimumFrameSize + 2) + ")";
        return false;
    }
    command.idCode = header.idCode;
    command.time = header.time;
    command.command = static_cast<uint16_t>((body[0] << 8) | body[1]);
    const std::span<const uint8_t> extended = body.subspan(2);
    if (!extended.empty() && command.command != kCommandExtended) {
        error = "wrong size: command " + std::to_string(command.command) + " carries " + std::to_string(extended.size()) +
                " bytes of extended data; only the extended command (8) may";
        return false;
    }
    if (extended.size() % 2 != 0) {
        error = "wrong size: extended command data of " + std::to_string(extended.size()) +
                " bytes is not a whole number of 16-bit words";
        return false;
    }
    command.extendedData.assign(extended.begin(), extended.end());
    return true;
}

bool encodeHeaderFrame(const HeaderFrame& header, std::vector<uint8_t>& out, std::string& error) {
    beginFrame(out, FrameType::Header, kVersion2005, header.idCode, header.time);
    ByteWriter(out).bytes(reinterpret_cast<const uint8_t*>(header.text.data()), header.text.size());
    return sealed(out, "header frame", error);
}

bool decodeHeaderFrame(std::span<const uint8_t> frame, HeaderFrame& header, std::string& error) {
    FrameHeader common;
    if (!checkType(frame, FrameType::Header, common, error)) return false;
    const std::span<const uint8_t> body = frameBody(frame);
    header.idCode = common.idCode;
    header.time = common.time;
    header.text.assign(reinterpret_cast<const char*>(body.data()), body.size());
    return true;
}
