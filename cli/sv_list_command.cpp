// orvane sv-list: the sampled-values streams of a capture file, or of a few
// seconds on a network interface, one line each.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/options.h"
#include "io/sv/sv_survey.h"

namespace {

struct ListOptions {
    std::string source;
    double seconds = 3.0;
    CLI::Option* secondsOption = nullptr;
};

int listCommand(ListOptions& o) {
    if (o.source.empty()) throw UsageError("give a capture file or an interface");
    std::string error;
    const bool file = std::filesystem::exists(o.source);
    if (file && o.secondsOption->count() > 0) throw UsageError("--seconds applies to an interface only");
    std::unique_ptr<PacketReader> packets =
        file ? openCaptureFile(o.source, error) : openCaptureInterface(o.source, error);
    if (!packets) return failWith(2, error);
    if (!file) note("listening on " + o.source + " for " + std::to_string(o.seconds) + " s");
    SvSurvey survey;
    const bool ok = surveySvStreams(*packets, file ? 0.0 : o.seconds, survey, error);
    std::printf("%-24s %-6s %-17s %6s %5s %8s %7s %10s %10s\n", "svID", "APPID", "source", "rate", "ASDUs",
                "smpSynch", "confRev", "frames", "lost");
    for (const SvStreamSummary& s : survey.streams) {
        char rate[16];
        std::snprintf(rate, sizeof rate, "%u", s.rate);
        char asdus[16];
        if (s.asdusPerFrameMin == s.asdusPerFrameMax) {
            std::snprintf(asdus, sizeof asdus, "%zu", s.asdusPerFrameMin);
        } else {
            std::snprintf(asdus, sizeof asdus, "%zu-%zu", s.asdusPerFrameMin, s.asdusPerFrameMax);
        }
        std::printf("%-24s 0x%04x %-17s %6s %5s %8u %7u %10llu %10llu\n", s.svId.c_str(), s.appId,
                    formatMacAddress(s.source).c_str(), s.rate == 0 ? "?" : rate, asdus, s.smpSynch, s.confRev,
                    static_cast<unsigned long long>(s.frames), static_cast<unsigned long long>(s.continuity.lost));
        const SvContinuityCounts& c = s.continuity;
        if (c.duplicates + c.reordered + c.late + c.breaks + c.stops + c.badCount > 0) {
            note("stream '" + s.svId + "': " + std::to_string(c.duplicates) + " duplicated, " +
                 std::to_string(c.reordered) + " reordered, " + std::to_string(c.late) + " late, " +
                 std::to_string(c.badCount) + " with smpCnt beyond the rate, " + std::to_string(c.breaks) +
                 " breaks, " + std::to_string(c.stops) + " stops");
        }
    }
    for (std::size_t k = 0; k < kSvFaultKinds; ++k) {
        if (survey.malformed.count[k] == 0) continue;
        note(std::to_string(survey.malformed.count[k]) + " malformed frames skipped: " +
             svFaultText(static_cast<SvFault>(k)) + " (first: packet " +
             std::to_string(survey.malformed.firstPacket[k]) + ", byte " +
             std::to_string(survey.malformed.firstOffset[k]) + ")");
    }
    if (!ok) return failWith(2, o.source + ": " + error);
    if (survey.streams.empty()) {
        return failWith(1, o.source + ": no sampled-values stream " + (file ? "in the capture" : "seen"));
    }
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<ListOptions>();
    CLI::App* app = root.add_subcommand("sv-list", "list the sampled-values streams of a capture or an interface");
    describe(app,
             "usage: orvane sv-list FILE|IFACE [--seconds N]\n"
             "\n"
             "Lists the IEC 61850-9-2 sampled-values streams in a capture file (pcap or\n"
             "pcapng), or seen on a network interface for a few seconds (capturing needs\n"
             "root or the CAP_NET_RAW capability): svID, APPID, source MAC, sample rate,\n"
             "ASDUs per frame, smpSynch, confRev, frames and lost samples, one line each.\n"
             "Duplicates, reordering, stops and malformed frames are noted on standard error.\n");
    app->add_option("source", o->source, "a capture file, or an interface to listen on")->type_name("FILE|IFACE");
    o->secondsOption = addNumber(app, "--seconds", [o](double s) {
        if (!(s > 0.0 && s <= 3600.0)) throw CLI::ValidationError("option '--seconds': must be above 0 and at most 3600");
        o->seconds = s;
    }, "how long to listen on an interface, s (default 3)")->type_name("S");
    app->footer("exit status: 0 streams listed, 1 no stream seen, 2 bad capture, interface or usage");
    return {app, [o] { return listCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
