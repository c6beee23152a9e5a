// One PDC's conversation with the PMU stream: it sends command frames, the
// PMU answers with configuration or header frames and starts or stops data
// frames. Knows nothing of sockets: bytes in, bytes out.
#ifndef ORVANE_IO_C37118_PMU_CONNECTION_H
#define ORVANE_IO_C37118_PMU_CONNECTION_H

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/c37118/frame_assembler.h"
#include "io/c37118/pmu_stream_framer.h"

class PmuConnection {
public:
    explicit PmuConnection(PmuStreamFramer& framer) : framer_(framer) {}

    // Takes bytes from the PDC and appends the frames to send back to
    // `reply`; `notes` collects one line per command, for a log. False, with
    // error() set, when the bytes are not a well-formed command stream (wrong
    // SYNC, bad CRC, a frame that is no command): the connection cannot be
    // trusted any further and should be closed.
    bool receive(std::span<const uint8_t> bytes, std::vector<uint8_t>& reply, std::vector<std::string>& notes);
    const std::string& error() const { return error_; }
    // The same for one UDP datagram, which must hold whole frames. A bad
    // datagram is refused (false, error() says why) without ending the
    // conversation: the next datagram is judged on its own.
    bool receiveDatagram(std::span<const uint8_t> bytes, std::vector<uint8_t>& reply, std::vector<std::string>& notes);

    bool dataOn() const { return dataOn_; }
    // CFGCNT of the last configuration frame sent to this PDC.
    uint16_t knownConfigCount() const { return knownConfigCount_; }
    bool configSent() const { return configSent_; }

private:
    void sendConfig(FrameType type, std::vector<uint8_t>& reply);

    PmuStreamFramer& framer_;
    FrameAssembler assembler_;
    std::vector<uint8_t> frame_;
    std::vector<uint8_t> scratch_;
    bool dataOn_ = false;
    bool configSent_ = false;
    uint16_t knownConfigCount_ = 0;
    std::string error_;
};

#endif  // ORVANE_IO_C37118_PMU_CONNECTION_H
