// Ethernet frames from and to the outside: capture files (pcap and pcapng)
// and network interfaces. The one file that implements this is the only
// place that knows the capture library.
#ifndef ORVANE_IO_SV_PACKET_CAPTURE_H
#define ORVANE_IO_SV_PACKET_CAPTURE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "io/sv/sv_time.h"

struct CapturedPacket {
    std::span<const uint8_t> bytes;  // valid until the next call to next()
    SvClock time;                    // capture time
};

class PacketReader {
public:
    enum class Status { Packet, Timeout, End, Error };
    virtual ~PacketReader() = default;
    // The next frame; Timeout when a live interface had none for a while
    // (`packet.time` is then the clock's reading), End at the end of a
    // file, Error with error() set.
    virtual Status next(CapturedPacket& packet) = 0;
    virtual const std::string& error() const = 0;
    // The share of a file read so far, 0..1; nothing for an interface.
    virtual double fractionRead() const { return 0.0; }
};

// Reads a pcap or pcapng file of Ethernet frames. Null, with `error` set
// ("FILE: what"), when it cannot be opened or is no such capture.
std::unique_ptr<PacketReader> openCaptureFile(const std::string& path, std::string& error);

// Captures from a network interface as frames arrive (no batching), keeping
// only sampled-values frames, with or without a VLAN tag. Null, with `error`
// set, when the interface does not exist or may not be opened (capturing
// needs root or the CAP_NET_RAW capability).
std::unique_ptr<PacketReader> openCaptureInterface(const std::string& interface, std::string& error);

class PacketWriter {
public:
    virtual ~PacketWriter() = default;
    // False, with error() set, when the frame could not be written or sent.
    virtual bool write(std::span<const uint8_t> frame, const SvClock& time) = 0;
    // Ends the output: a file is complete (renamed into place) only now.
    virtual bool close() = 0;
    virtual const std::string& error() const = 0;
};

// Writes a pcap file; it appears under `path` only when close() succeeds.
std::unique_ptr<PacketWriter> createCaptureFile(const std::string& path, std::string& error);

// Sends frames out of a network interface as they are written (the time is
// ignored: the caller paces them).
std::unique_ptr<PacketWriter> openInjectionInterface(const std::string& interface, std::string& error);

#endif  // ORVANE_IO_SV_PACKET_CAPTURE_H
