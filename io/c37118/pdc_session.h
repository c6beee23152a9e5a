// The PDC's side of the conversation with a PMU stream: it asks for the
// configuration, turns data frames on once it has one, turns every data
// frame into CSV rows, and asks again when the PMU flags a configuration
// change. Knows nothing of sockets: bytes in, bytes out.
#ifndef ORVANE_IO_C37118_PDC_SESSION_H
#define ORVANE_IO_C37118_PDC_SESSION_H

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "io/c37118/config_frame.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/frame_assembler.h"

// Hears each configuration and each decoded data frame as the session takes
// them, on the session's thread; what it keeps is its own business.
class PdcObserver {
public:
    virtual ~PdcObserver() = default;
    virtual void configured(const ConfigFrame& config) = 0;
    virtual void received(const ConfigFrame& config, const DataFrame& data) = 0;
};

class PdcSession {
public:
    // `configCommand`: the command that asks for the configuration (CFG-2
    // or CFG-3).
    PdcSession(uint16_t idCode, uint16_t configCommand) : idCode_(idCode), configCommand_(configCommand) {}

    // Appends the command frame to `out`.
    void command(uint16_t command, std::vector<uint8_t>& out) const;

    // Takes bytes from the PMU and appends the CSV text they give to `rows`
    // (the header line with the first configuration), lines for a log to
    // `notes` and the command frames to send back to `reply`. Stops taking
    // frames once `maxDataFrames` (0: no limit) data frames went by. False,
    // with error() set, when the stream cannot go on.
    bool receive(std::span<const uint8_t> bytes, uint64_t maxDataFrames, std::vector<uint8_t>& reply, std::string& rows,
                 std::vector<std::string>& notes);

    // Null: nobody listens (the default).
    void observe(PdcObserver* observer) { observer_ = observer; }

    // The same for one UDP datagram, which must hold whole frames. A bad
    // datagram is noted and skipped: a stranger's datagram or one damaged
    // on the way does not end the stream.
    bool receiveDatagram(std::span<const uint8_t> bytes, uint64_t maxDataFrames, std::vector<uint8_t>& reply,
                         std::string& rows, std::vector<std::string>& notes);

    // A new connection to the PMU: forgets partial frames, asks for the
    // configuration again (appended to `out`) and turns data frames on once
    // it came. The configuration may have changed meanwhile.
    void restart(std::vector<uint8_t>& out);

    uint64_t dataFrames() const { return dataFrames_; }
    // Data frames with at least one block flagged "do not use", and
    // blocks so flagged.
    uint64_t blocksNotToUse() const { return blocksNotToUse_; }
    bool haveConfig() const { return haveConfig_; }
    uint64_t headerFrames() const { return headerFrames_; }
    // Data frames skipped because no configuration had come yet.
    uint64_t skippedBeforeConfig() const { return skippedBeforeConfig_; }
    const std::string& error() const { return error_; }

private:
    bool handle(const FrameHeader& header, std::vector<uint8_t>& reply, std::string& rows,
                std::vector<std::string>& notes);
    bool fail(const std::string& message);

    uint16_t idCode_;
    uint16_t configCommand_;
    FrameAssembler assembler_;
    std::vector<uint8_t> frame_;
    ConfigFrame config_;
    DataFrame data_;
    bool haveConfig_ = false;
    bool dataOnSent_ = false;
    std::string csvHeader_;
    uint64_t blocksNotToUse_ = 0;
    uint64_t skippedBeforeConfig_ = 0;
    uint64_t headerFrames_ = 0;
    bool awaitingConfig_ = false;
    std::chrono::steady_clock::time_point lastRequest_ = std::chrono::steady_clock::now();
    uint64_t dataFrames_ = 0;
    std::string error_;
    PdcObserver* observer_ = nullptr;
};

#endif  // ORVANE_IO_C37118_PDC_SESSION_H
