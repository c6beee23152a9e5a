// Command frames (a PDC to a PMU) and header frames (free text from a PMU).
#ifndef ORVANE_IO_C37118_COMMAND_FRAME_H
#define ORVANE_IO_C37118_COMMAND_FRAME_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/c37118/frame_common.h"

enum CommandCode : uint16_t {
    kCommandDataOff = 1,
    kCommandDataOn = 2,
    kCommandSendHeader = 3,
    kCommandSendConfig1 = 4,
    kCommandSendConfig2 = 5,
    kCommandSendConfig3 = 6,
    kCommandExtended = 8,
};

const char* commandName(uint16_t command);

struct CommandFrame {
    uint16_t idCode = 1;  // the stream the command is meant for
    FrameTime time;
    uint16_t command = kCommandSendConfig2;
    std::vector<uint8_t> extendedData;  // extended command only, whole 16-bit words
};

struct HeaderFrame {
    uint16_t idCode = 1;
    FrameTime time;
    std::string text;
};

bool encodeCommandFrame(const CommandFrame& command, std::vector<uint8_t>& out, std::string& error);
// False, with the reason, for a frame that fails its check, is of another
// type, carries extended data with a command other than 8, or an odd number
// of extended bytes.
bool decodeCommandFrame(std::span<const uint8_t> frame, CommandFrame& command, std::string& error);

bool encodeHeaderFrame(const HeaderFrame& header, std::vector<uint8_t>& out, std::string& error);
bool decodeHeaderFrame(std::span<const uint8_t> frame, HeaderFrame& header, std::string& error);

#endif  // ORVANE_IO_C37118_COMMAND_FRAME_H
