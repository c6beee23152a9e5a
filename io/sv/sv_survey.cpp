#include "io/sv/sv_survey.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <memory>

namespace {

struct Tracked {
    SvStreamSummary summary;
    std::unique_ptr<SvContinuity> continuity;
};

}  // namespace

bool surveySvStreams(PacketReader& packets, double seconds, SvSurvey& survey, std::string& error) {
    std::vector<Tracked> streams;
    std::deque<SvSample> discard;
    SvFrame frame;
    std::optional<SvClock> start;
    bool ok = true;
    while (true) {
        CapturedPacket packet;
        const PacketReader::Status status = packets.next(packet);
        if (status == PacketReader::Status::End) break;
        if (status == PacketReader::Status::Error) {
            error = packets.error();
            ok = false;
            break;
        }
        if (!start) start = packet.time;
        for (Tracked& t : streams) t.continuity->clock(packet.time);
        const double elapsed = static_cast<double>(packet.time.seconds - start->seconds) +
                               static_cast<double>(packet.time.nanoseconds - start->nanoseconds) * 1e-9;
        if (seconds > 0 && elapsed >= seconds) break;
        if (status == PacketReader::Status::Timeout) continue;

        ++survey.packets;
        SvFault fault{};
        std::size_t offset = 0;
        const SvDecode result = decodeSvFrame(packet.bytes, frame, fault, offset);
        if (result == SvDecode::NotSampledValues) {
            ++survey.otherPackets;
            continue;
        }
        if (result == SvDecode::Malformed) {
            survey.malformed.note(fault, survey.packets, offset);
            continue;
        }
        // A frame may in principle mix streams; each ASDU counts for its own,
        // and a frame once for every stream it carries.
        std::vector<std::size_t> seenHere;
        for (const SvAsdu& asdu : frame.asdus) {
            auto it = std::find_if(streams.begin(), streams.end(), [&](const Tracked& t) {
                const SvStreamSummary& k = t.summary;
                return k.svId == asdu.svId && k.appId == frame.appId && k.source == frame.source;
            });
            if (it == streams.end()) {
                Tracked t;
                t.summary.svId = std::string(asdu.svId);
                t.summary.appId = frame.appId;
                t.summary.source = frame.source;
                t.continuity = std::make_unique<SvContinuity>();
                streams.push_back(std::move(t));
                it = streams.end() - 1;
            }
            const std::size_t k = static_cast<std::size_t>(it - streams.begin());
            SvStreamSummary& s = it->summary;
            if (std::find(seenHere.begin(), seenHere.end(), k) == seenHere.end()) {
                seenHere.push_back(k);
                ++s.frames;
                const std::size_t n = static_cast<std::size_t>(std::count_if(
                    frame.asdus.begin(), frame.asdus.end(), [&](const SvAsdu& a) { return a.svId == asdu.svId; }));
                s.asdusPerFrameMin = s.frames == 1 ? n : std::min(s.asdusPerFrameMin, n);
                s.asdusPerFrameMax = std::max(s.asdusPerFrameMax, n);
            }
            s.vlanId = frame.vlanId;
            s.smpSynch = asdu.smpSynch;
            s.confRev = asdu.confRev;
            s.channels = asdu.channels();
            SvArrival a;
            a.stamp = svStamp(packet.time, asdu.refreshTime);
            a.smpCnt = asdu.smpCnt;
            a.smpRate = asdu.smpRate;
            it->continuity->offer(a, discard);
            discard.clear();
        }
    }
    for (Tracked& t : streams) {
        t.continuity->finish(discard);
        discard.clear();
        t.summary.rate = t.continuity->rate();
        t.summary.rateEstimated = t.continuity->rateEstimated();
        t.summary.continuity = t.continuity->counts();
        survey.streams.push_back(std::move(t.summary));
    }
    return ok;
}

std::vector<std::string> svSurveyTable(const SvSurvey& survey) {
    std::vector<std::string> lines;
    char line[256];
    std::snprintf(line, sizeof line, "%-24s %-6s %-17s %6s %5s %8s %7s %10s %10s", "svID", "APPID", "source", "rate",
                  "ASDUs", "smpSynch", "confRev", "frames", "lost");
    lines.emplace_back(line);
    for (const SvStreamSummary& s : survey.streams) {
        char rate[16];
        std::snprintf(rate, sizeof rate, s.rateEstimated ? "~%u" : "%u", s.rate);
        char asdus[48];
        if (s.asdusPerFrameMin == s.asdusPerFrameMax) {
            std::snprintf(asdus, sizeof asdus, "%zu", s.asdusPerFrameMin);
        } else {
            std::snprintf(asdus, sizeof asdus, "%zu-%zu", s.asdusPerFrameMin, s.asdusPerFrameMax);
        }
        std::snprintf(line, sizeof line, "%-24s 0x%04x %-17s %6s %5s %8u %7u %10llu %10llu", s.svId.c_str(), s.appId,
                      formatMacAddress(s.source).c_str(), s.rate == 0 ? "?" : rate, asdus, s.smpSynch, s.confRev,
                      static_cast<unsigned long long>(s.frames), static_cast<unsigned long long>(s.continuity.lost));
        lines.emplace_back(line);
    }
    return lines;
}

std::string svRateEstimateNote(const std::string& svId, uint32_t rate) {
    return "stream '" + svId + "': the rate " + std::to_string(rate) +
           " Hz is an estimate (~ in the table): the stream names none and its smpCnt never wrapped at the top of "
           "a second in the capture, so it was taken from the count's pace over the capture clock; a longer capture "
           "(over a second) tells it exactly";
}

std::vector<std::string> svSurveyIrregularities(const SvSurvey& survey) {
    std::vector<std::string> lines;
    for (const SvStreamSummary& s : survey.streams) {
        if (s.rateEstimated) lines.push_back(svRateEstimateNote(s.svId, s.rate));
        const SvContinuityCounts& c = s.continuity;
        if (c.duplicates + c.reordered + c.late + c.breaks + c.stops + c.badCount == 0) continue;
        lines.push_back("stream '" + s.svId + "': " + std::to_string(c.duplicates) + " duplicated, " +
                        std::to_string(c.reordered) + " reordered, " + std::to_string(c.late) + " late, " +
                        std::to_string(c.badCount) + " with smpCnt beyond the rate, " + std::to_string(c.breaks) +
                        " breaks, " + std::to_string(c.stops) + " stops");
    }
    return lines;
}
