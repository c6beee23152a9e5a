#include "io/c37118/pmu_connection.h"

#include "io/c37118/command_frame.h"

void PmuConnection::sendConfig(FrameType type, std::vector<uint8_t>& reply) {
    framer_.encodeConfig(type, scratch_);
    reply.insert(reply.end(), scratch_.begin(), scratch_.end());
    configSent_ = true;
    knownConfigCount_ = framer_.configCount();
}

bool PmuConnection::receive(std::span<const uint8_t> bytes, std::vector<uint8_t>& reply,
                            std::vector<std::string>& notes) {
    if (!error_.empty()) return false;
    assembler_.append(bytes);
    while (true) {
        FrameHeader header;
        const FrameAssembler::Result result = assembler_.next(frame_, header);
        if (result == FrameAssembler::Result::NeedMore) return true;
        if (result == FrameAssembler::Result::Failed) {
            error_ = assembler_.error();
            return false;
        }
        CommandFrame command;
        if (!decodeCommandFrame(frame_, command, error_)) return false;
        if (command.idCode != framer_.idCode()) {
            // A PDC set up for another stream: the command is not ours to obey.
            notes.push_back("ignored a command for IDCODE " + std::to_string(command.idCode) + " (this stream is " +
                            std::to_string(framer_.idCode()) + ")");
            continue;
        }
        notes.push_back(std::string("command ") + std::to_string(command.command) + ": " + commandName(command.command));
        switch (command.command) {
        case kCommandDataOff: dataOn_ = false; break;
        case kCommandDataOn: dataOn_ = true; break;
        case kCommandSendHeader:
            framer_.encodeHeader(scratch_);
            reply.insert(reply.end(), scratch_.begin(), scratch_.end());
            break;
        case kCommandSendConfig1: sendConfig(FrameType::Config1, reply); break;
        case kCommandSendConfig2: sendConfig(FrameType::Config2, reply); break;
        case kCommandSendConfig3: sendConfig(FrameType::Config3, reply); break;
        default: notes.back() += " (not supported, ignored)"; break;
        }
    }
}

bool PmuConnection::receiveDatagram(std::span<const uint8_t> bytes, std::vector<uint8_t>& reply,
                                    std::vector<std::string>& notes) {
    assembler_ = FrameAssembler{};
    error_.clear();
    bool ok = receive(bytes, reply, notes);
    if (ok && assembler_.pending() != 0) {
        error_ = "the datagram ends inside a frame (" + std::to_string(assembler_.pending()) + " bytes left over)";
        ok = false;
    }
    assembler_ = FrameAssembler{};
    return ok;
}
