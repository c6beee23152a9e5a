// Ethernet frames kept in memory: a writer that records what a publisher
// sends, and a reader that plays it back in the same order, for a road
// through sampled values that touches neither files nor sockets.
#ifndef ORVANE_IO_SV_PACKET_TAPE_H
#define ORVANE_IO_SV_PACKET_TAPE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "io/sv/packet_capture.h"

// The recorded frames, back to back, with where each starts and its stamp.
struct PacketTape {
    struct Entry {
        std::size_t offset;
        std::size_t size;
        SvClock time;
    };
    std::vector<uint8_t> bytes;
    std::vector<Entry> entries;

    // Keeps the storage (no allocation while a tape of the same size is
    // written again).
    void clear() {
        bytes.clear();
        entries.clear();
    }
};

class PacketTapeWriter : public PacketWriter {
public:
    explicit PacketTapeWriter(PacketTape& tape) : tape_(tape) {}
    bool write(std::span<const uint8_t> frame, const SvClock& time) override;
    bool close() override { return true; }
    const std::string& error() const override { return error_; }

private:
    PacketTape& tape_;
    std::string error_;
};

// Plays a tape that outlives it. The stamp of the frame last handed out is
// the newest input a receiver has seen.
class PacketTapeReader : public PacketReader {
public:
    explicit PacketTapeReader(const PacketTape& tape) : tape_(tape) {}
    Status next(CapturedPacket& packet) override;
    const std::string& error() const override { return error_; }
    double fractionRead() const override;
    // Nothing before the first frame.
    bool started() const { return next_ > 0; }
    const SvClock& lastTime() const { return tape_.entries[next_ - 1].time; }

private:
    const PacketTape& tape_;
    std::size_t next_ = 0;
    std::string error_;
};

#endif  // ORVANE_IO_SV_PACKET_TAPE_H
