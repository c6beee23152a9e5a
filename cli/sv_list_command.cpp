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
    CLI::Option* durationOption = nullptr;
    CLI::Option* secondsOption = nullptr;
};

int listCommand(ListOptions& o) {
    if (o.source.empty()) throw UsageError("give a capture file or an interface");
    std::string error;
    const bool file = std::filesystem::exists(o.source);
    if (o.durationOption->count() > 0 && o.secondsOption->count() > 0) {
        throw UsageError("give --duration only (--seconds is its old spelling)");
    }
    if (o.secondsOption->count() > 0) {
        note("note: --seconds is now --duration, as in every other command; --seconds will go in the next release");
    }
    if (file && o.durationOption->count() + o.secondsOption->count() > 0) {
        throw UsageError("--duration applies to an interface only");
    }
    std::unique_ptr<PacketReader> packets =
        file ? openCaptureFile(o.source, error) : openCaptureInterface(o.source, error);
    if (!packets) return failWith(2, error);
    if (!file) note("listening on " + o.source + " for " + std::to_string(o.seconds) + " s");
    SvSurvey survey;
    const bool ok = surveySvStreams(*packets, file ? 0.0 : o.seconds, survey, error);
    // The table on standard output; irregularities and malformed frames
    // noted on standard error after it.
    for (const std::string& line : svSurveyTable(survey)) std::printf("%s\n", line.c_str());
    for (const std::string& line : svSurveyIrregularities(survey)) note(line);
    for (const std::string& line : survey.malformed.describe()) note(line);
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
             "usage: orvane sv-list FILE|IFACE [--duration S]\n"
             "\n"
             "Lists the IEC 61850-9-2 sampled-values streams in a capture file (pcap or\n"
             "pcapng), or seen on a network interface for a few seconds (capturing needs\n"
             "root or the CAP_NET_RAW capability): svID, APPID, source MAC, sample rate,\n"
             "ASDUs per frame, smpSynch, confRev, frames and lost samples, one line each.\n"
             "Duplicates, reordering, stops and malformed frames are noted on standard error.\n");
    app->add_option("source", o->source, "a capture file, or an interface to listen on")->type_name("FILE|IFACE");
    for (const char* name : {"--duration", "--seconds"}) {
        const std::string option = name;
        CLI::Option* added = addNumber(app, option, [o, option](double s) {
            if (!(s > 0.0 && s <= 3600.0)) {
                throw CLI::ValidationError("option '" + option + "': must be above 0 and at most 3600");
            }
            o->seconds = s;
        }, option == "--duration" ? "how long to listen on an interface, s (default 3)"
                                  : "old spelling of --duration, kept for this release")->type_name("S");
        (option == "--duration" ? o->durationOption : o->secondsOption) = added;
    }
    app->footer("exit status: 0 streams listed, 1 no stream seen, 2 bad capture, interface or usage");
    return {app, [o] { return listCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
