#include "io/sv/packet_tape.h"

bool PacketTapeWriter::write(std::span<const uint8_t> frame, const SvClock& time) {
    tape_.entries.push_back({tape_.bytes.size(), frame.size(), time});
    tape_.bytes.insert(tape_.bytes.end(), frame.begin(), frame.end());
    return true;
}

PacketReader::Status PacketTapeReader::next(CapturedPacket& packet) {
    if (next_ >= tape_.entries.size()) return Status::End;
    const PacketTape::Entry& e = tape_.entries[next_++];
    packet.bytes = std::span<const uint8_t>(tape_.bytes.data() + e.offset, e.size);
    packet.time = e.time;
    return Status::Packet;
}

double PacketTapeReader::fractionRead() const {
    return tape_.entries.empty() ? 1.0
                                 : static_cast<double>(next_) / static_cast<double>(tape_.entries.size());
}
