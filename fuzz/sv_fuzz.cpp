// The sampled-values decoder on any bytes as one Ethernet frame: a refusal
// names a kind and an offset inside the frame; an accepted frame's fields
// lie inside it, encode again to a frame that decodes to the same values,
// and its ASDUs pass through the continuity stage (duplicates, reordering,
// gaps, rate finding) without harm.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "io/sv/sv_continuity.h"
#include "io/sv/sv_frame.h"

namespace {

bool inside(std::span<const uint8_t> part, std::span<const uint8_t> whole) {
    return part.empty() || (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    SvFrame frame;
    SvFault fault{};
    std::size_t offset = 0;
    const SvDecode result = decodeSvFrame(bytes, frame, fault, offset);
    if (result == SvDecode::Malformed) {
        FUZZ_CHECK(offset <= size, "fault offset %zu beyond the frame's %zu bytes", offset, size);
        FUZZ_CHECK(static_cast<std::size_t>(fault) < kSvFaultKinds, "unknown fault kind");
        return 0;
    }
    if (result != SvDecode::Frame) return 0;
    FUZZ_CHECK(!frame.asdus.empty(), "a frame without ASDUs accepted");

    std::vector<std::vector<int32_t>> values(frame.asdus.size());
    std::vector<std::vector<uint32_t>> qualities(frame.asdus.size());
    std::vector<SvAsduFields> fields(frame.asdus.size());
    for (std::size_t k = 0; k < frame.asdus.size(); ++k) {
        const SvAsdu& a = frame.asdus[k];
        FUZZ_CHECK(inside(a.seqData, bytes) && a.seqData.size() % kSvChannelBytes == 0, "seqData outside the frame");
        FUZZ_CHECK(a.svId.empty() || (reinterpret_cast<const uint8_t*>(a.svId.data()) >= data &&
                                      reinterpret_cast<const uint8_t*>(a.svId.data()) + a.svId.size() <= data + size),
                   "svID outside the frame");
        for (std::size_t c = 0; c < a.channels(); ++c) {
            values[k].push_back(a.value(c));
            qualities[k].push_back(a.quality(c));
        }
        fields[k] = SvAsduFields{a.svId, a.dataSet, a.smpCnt, a.confRev, a.refreshTime, a.smpSynch, a.smpRate,
                                 values[k], qualities[k]};
    }
    // BER lengths go to 0xFFFF, an ASDU count to 255: only frames the
    // encoder can express are compared.
    if (frame.asdus.size() < 256 && size < 60000) {
        SvLinkFields link;
        link.destination = frame.destination;
        link.source = frame.source;
        link.vlanId = frame.vlanId;
        link.vlanPriority = frame.vlanPriority;
        link.appId = frame.appId;
        link.simulated = frame.simulated;
        std::vector<uint8_t> again;
        encodeSvFrame(link, fields, again);
        SvFrame back;
        FUZZ_CHECK(decodeSvFrame(again, back, fault, offset) == SvDecode::Frame, "re-encoded frame refused: %s",
                   svFaultText(fault));
        FUZZ_CHECK(back.asdus.size() == frame.asdus.size(), "ASDU count changed");
        for (std::size_t k = 0; k < back.asdus.size(); ++k) {
            const SvAsdu& a = back.asdus[k];
            FUZZ_CHECK(a.svId == frame.asdus[k].svId && a.smpCnt == frame.asdus[k].smpCnt &&
                           a.confRev == frame.asdus[k].confRev && a.channels() == values[k].size(),
                       "ASDU %zu changed on the way round", k);
            for (std::size_t c = 0; c < a.channels(); ++c) {
                FUZZ_CHECK(a.value(c) == values[k][c] && a.quality(c) == qualities[k][c], "channel %zu changed", c);
            }
        }
    }

    // The ASDUs as arrivals, stamped from the frame's own bytes.
    SvContinuity continuity(frame.asdus.size() % 2 == 0 ? 0 : 4000, 1 + size % 16);
    std::deque<SvSample> out;
    for (std::size_t k = 0; k < frame.asdus.size(); ++k) {
        SvArrival arrival;
        arrival.stamp = SvClock{static_cast<int64_t>(frame.appId) + static_cast<int64_t>(k % 3),
                                static_cast<int64_t>(frame.asdus[k].confRev % 1000000000u)};
        arrival.smpCnt = frame.asdus[k].smpCnt;
        arrival.smpRate = frame.asdus[k].smpRate;
        continuity.offer(arrival, out);
    }
    continuity.finish(out);
    for (std::size_t i = 1; i < out.size(); ++i) {
        FUZZ_CHECK(out[i].index > out[i - 1].index, "samples out of order after the continuity stage");
    }
    return 0;
}
