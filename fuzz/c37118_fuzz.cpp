// The synchrophasor frame decoders on any byte stream: the assembler cuts
// it into frames, and each frame goes to the decoder of its type (data
// frames under the latest configuration decoded, or a default one). The
// same bytes are also offered whole to every decoder with FRAMESIZE and CRC
// made right, so that the fuzzer reaches past the frame check into the
// bodies. A refusal must say why; nothing may crash. The bytes also go, as
// UDP datagrams, whole and sealed, to both sides of the conversation: the
// PMU's (commands) and the PDC's (configuration and data).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "io/c37118/command_frame.h"
#include "io/c37118/config_frame.h"
#include "io/c37118/crc_ccitt.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/frame_assembler.h"
#include "io/c37118/frame_common.h"
#include "io/c37118/pdc_session.h"
#include "io/c37118/pmu_connection.h"

namespace {

// A configuration of one PMU with three phasors, one analog and one digital
// word in float polar format, for data frames that come before any.
ConfigFrame defaultConfig() {
    ConfigFrame config;
    PmuConfig pmu;
    pmu.station = "FUZZ";
    pmu.phasors.resize(3);
    pmu.analogs.resize(1);
    pmu.digitals.resize(1);
    config.pmus.push_back(pmu);
    return config;
}

void decodeAny(std::span<const uint8_t> frame, ConfigFrame& config) {
    std::string error;
    FrameHeader header;
    if (!checkFrame(frame, header, error)) {
        FUZZ_CHECK(!error.empty(), "a frame refused without a reason");
        return;
    }
    bool decoded = false;
    switch (header.type) {
        case FrameType::Data: {
            DataFrame data;
            decoded = decodeDataFrame(frame, config, data, error);
            if (decoded) FUZZ_CHECK(data.pmus.size() == config.pmus.size(), "data blocks differ from configuration");
            break;
        }
        case FrameType::Header: {
            HeaderFrame text;
            decoded = decodeHeaderFrame(frame, text, error);
            break;
        }
        case FrameType::Config1:
        case FrameType::Config2:
        case FrameType::Config3: {
            ConfigFrame next;
            decoded = decodeConfigFrame(frame, next, error);
            if (decoded) config = std::move(next);
            break;
        }
        case FrameType::Command: {
            CommandFrame command;
            decoded = decodeCommandFrame(frame, command, error);
            break;
        }
    }
    FUZZ_CHECK(decoded || !error.empty(), "a frame refused without a reason");
}

// The bytes as one frame with FRAMESIZE and CHK set to agree with them.
std::vector<uint8_t> sealed(const uint8_t* data, std::size_t size) {
    std::vector<uint8_t> frame(data, data + size);
    if (frame.size() < kMinimumFrameSize || frame.size() > 65535) return {};
    frame[0] = kSyncLeadByte;
    frame[2] = static_cast<uint8_t>(frame.size() >> 8);
    frame[3] = static_cast<uint8_t>(frame.size() & 0xFF);
    const uint16_t check = crcCcitt(frame.data(), frame.size() - kCheckSize);
    frame[frame.size() - 2] = static_cast<uint8_t>(check >> 8);
    frame[frame.size() - 1] = static_cast<uint8_t>(check & 0xFF);
    return frame;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    ConfigFrame config = defaultConfig();

    const std::vector<uint8_t> frame = sealed(data, size);
    if (!frame.empty()) decodeAny(frame, config);

    // The UDP road: each datagram judged alone, the conversation going on.
    static PmuStreamFramer* framer = [] {
        auto* f = new PmuStreamFramer;
        std::string ignored;
        f->configure({StreamSettings{}, StreamSettings{.idCode = 2}}, 1, ignored);
        return f;
    }();
    PmuConnection connection(*framer);
    PdcSession session(1, kCommandSendConfig2);
    std::vector<uint8_t> reply;
    std::vector<std::string> notes;
    std::string rows;
    for (std::span<const uint8_t> datagram : {std::span<const uint8_t>(data, size), std::span<const uint8_t>(frame)}) {
        if (!connection.receiveDatagram(datagram, reply, notes)) {
            FUZZ_CHECK(!connection.error().empty(), "a datagram refused without a reason");
        }
        FUZZ_CHECK(session.receiveDatagram(datagram, 0, reply, rows, notes), "a PDC gave up on one datagram");
    }

    // The stream, in reads of a few sizes.
    FrameAssembler assembler;
    std::vector<uint8_t> next;
    FrameHeader header;
    std::size_t offset = 0;
    std::size_t chunk = 1;
    while (offset < size) {
        const std::size_t take = std::min(chunk, size - offset);
        assembler.append(std::span<const uint8_t>(data + offset, take));
        offset += take;
        chunk = chunk * 3 + 1;
        FrameAssembler::Result result;
        while ((result = assembler.next(next, header)) == FrameAssembler::Result::Frame) decodeAny(next, config);
        if (result == FrameAssembler::Result::Failed) {
            FUZZ_CHECK(!assembler.error().empty(), "the stream failed without a reason");
            break;
        }
    }
    return 0;
}
