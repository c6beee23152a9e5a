// What sampled-values streams a capture holds: for each stream (svID, APPID
// and source MAC) its rate, how it is framed and synchronised, and how
// complete it is.
#ifndef ORVANE_IO_SV_SV_SURVEY_H
#define ORVANE_IO_SV_SV_SURVEY_H

#include <cstdint>
#include <string>
#include <vector>

#include "io/sv/packet_capture.h"
#include "io/sv/sv_continuity.h"
#include "io/sv/sv_stream.h"

struct SvStreamSummary {
    std::string svId;
    uint16_t appId = 0;
    MacAddress source{};
    std::optional<uint16_t> vlanId;
    uint32_t rate = 0;  // 0: could not be told (no wrap, too short)
    bool rateEstimated = false;  // from the count's pace, not read from the stream
    std::size_t asdusPerFrameMin = 0;
    std::size_t asdusPerFrameMax = 0;
    uint8_t smpSynch = 0;  // of the last frame
    uint32_t confRev = 0;  // of the last frame
    std::size_t channels = 0;
    uint64_t frames = 0;
    SvContinuityCounts continuity;  // lost, duplicated, reordered, stops ...
};

struct SvSurvey {
    std::vector<SvStreamSummary> streams;  // in order of first appearance
    SvMalformedCounts malformed;
    uint64_t packets = 0;
    uint64_t otherPackets = 0;  // not sampled values
};

// Reads `packets` to their end, or, for a live capture, for `seconds` of the
// capture clock (0: to the end). False, with `error` set, when the capture
// fails; what was seen until then is in `survey`.
bool surveySvStreams(PacketReader& packets, double seconds, SvSurvey& survey, std::string& error);

// The streams as a table, a heading and one line each: svID, APPID, source,
// rate, ASDUs per frame, smpSynch, confRev, frames, lost samples.
std::vector<std::string> svSurveyTable(const SvSurvey& survey);
// What else befell each stream (duplicates, reordering, late samples,
// breaks, stops), one line for each stream that had any.
// The note that says a stream's rate is an estimate, in the same words for
// sv-list and a run of the capture.
std::string svRateEstimateNote(const std::string& svId, uint32_t rate);

std::vector<std::string> svSurveyIrregularities(const SvSurvey& survey);

#endif  // ORVANE_IO_SV_SV_SURVEY_H
