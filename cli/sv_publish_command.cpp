// orvane sv-publish: a merging unit for testing subscribers. Samples of a
// built-in signal, a sample CSV or a COMTRADE recording go out as
// sampled-values frames, in real time on an interface or into a capture
// file, with frames lost, duplicated or reordered on request.
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "io/sv/sv_publisher.h"
#include "stream/sv_publish.h"
#include "stream/stop_request.h"

namespace {

struct PublishOptions {
    std::optional<std::string> signal, input, comtrade, interface, pcap, svId, dropSpan;
    std::optional<int64_t> appId;
    int64_t rate = 4000, asdus = 1, smpSynch = 2, faultSeed = 1;
    SvPublisherOptions publisher;
    SvPublishInput in;
    RecordingOptions recording;
    std::vector<CLI::Option*> shapeOptions;
};

int publishCommand(PublishOptions& o) {
    if ((o.signal ? 1 : 0) + (o.input ? 1 : 0) + (o.comtrade ? 1 : 0) != 1) {
        throw UsageError("give one of --signal NAME, --input FILE.csv or --comtrade FILE");
    }
    if ((o.interface ? 1 : 0) + (o.pcap ? 1 : 0) != 1) throw UsageError("give either --interface IFACE or --pcap FILE");
    if (!o.signal) refuseGiven(o.shapeOptions, "--signal");
    if (!o.comtrade) refuseGiven(o.recording.options, "--comtrade recordings");
    SvPublisherOptions& options = o.publisher;
    options.rate = static_cast<uint32_t>(o.rate);
    options.asdusPerFrame = static_cast<std::size_t>(o.asdus);
    if (o.svId) options.svId = *o.svId;
    if (o.appId) options.link.appId = static_cast<uint16_t>(*o.appId);
    options.smpSynch = static_cast<uint8_t>(o.smpSynch);
    options.seed = static_cast<uint64_t>(o.faultSeed);
    std::string error;
    if (!SvPublisher::check(options, error)) throw UsageError(error);
    if (o.dropSpan && !readSvDropSpan(*o.dropSpan, options, error)) throw UsageError(error);

    o.in.signal = o.signal.value_or("");
    o.in.csvPath = o.input.value_or("");
    o.in.comtradePath = o.comtrade.value_or("");
    readRecordingOptions(o.recording, o.in.read);
    double epochShift = 0.0;
    const std::unique_ptr<SampleSource> source = openPublishInput(o.in, static_cast<double>(o.rate), epochShift, error);
    if (!source) return failWith(2, error);
    // Ctrl-C ends a real-time stream cleanly; writing a file it just stops.
    static volatile std::sig_atomic_t never = 0;
    volatile std::sig_atomic_t& stop = o.interface ? stopOnInterrupt(false) : never;
    SvPublisherCounts counts;
    const FaultKind fault = publishSvStream(*source, epochShift, options, {o.interface.value_or(""), o.pcap.value_or("")},
                                       stop, [](const std::string& line) { note(line); }, counts, error);
    if (fault != FaultKind::None) return failWith(exitStatusOf(fault), error);
    note(svPublishSummary(counts));
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<PublishOptions>();
    CLI::App* app = root.add_subcommand("sv-publish", "send samples as sampled-values frames (a merging unit for tests)");
    describe(app,
             "usage: orvane sv-publish (--signal NAME [signal options] | --input FILE.csv | --comtrade FILE)\n"
             "                         (--interface IFACE | --pcap FILE) [--rate N] [--asdus N] [--sv-id ID]\n"
             "                         [--appid N] [--smp-synch 0|1|2] [--lose F] [--duplicate F] [--reorder F]\n"
             "                         [--fault-seed N] [--drop-span FROM:SECONDS]\n"
             "\n"
             "Plays a merging unit: the three phases go out as IEC 61850-9-2 sampled values\n"
             "in the eight-channel protection data set (IA IB IC IN UA UB UC UN; the phases\n"
             "are UA, UB, UC at 10 mV per count, UN their sum, the currents zero). On an\n"
             "interface (needs root or CAP_NET_RAW) frames leave in real time, smpCnt 0 at\n"
             "the top of each second of the system clock; into a pcap file they are stamped\n"
             "at their last sample's instant. A CSV's samples are taken to be 1/rate apart;\n"
             "a COMTRADE recording is resampled to the rate when it has another.\n");
    addText(app, "--signal", o->signal, "a built-in signal (listed below)")->type_name("NAME");
    addText(app, "--input", o->input, "a sample CSV, as for 'orvane run'")->type_name("FILE");
    addText(app, "--comtrade", o->comtrade, "a COMTRADE recording (.cfg or .cff)")->type_name("FILE");
    addText(app, "--interface", o->interface, "send on this network interface in real time")->type_name("IFACE");
    addText(app, "--pcap", o->pcap, "write the frames into this pcap file (written only when complete)")
        ->type_name("FILE");
    addInteger(app, "--rate", 1, 65535, o->rate, "samples per second (default 4000: 80 per cycle at 50 Hz)");
    addInteger(app, "--asdus", 1, 255, o->asdus, "ASDUs (samples) per frame (default 1)");
    addText(app, "--sv-id", o->svId, "svID of the stream (default ORVANE_MU01)")->type_name("ID");
    addInteger(app, "--appid", 0, 0xFFFF, o->appId, "APPID of the stream, decimal or 0x hex (default 0x4000)", true);
    addInteger(app, "--smp-synch", 0, 2, o->smpSynch, "smpSynch: 0 none, 1 local, 2 global (default 2)");
    const std::string faults = "Faults (a seeded draw per frame)";
    addFraction(app, "--lose", o->publisher.loseFraction, "fraction of frames dropped")->group(faults);
    addFraction(app, "--duplicate", o->publisher.duplicateFraction, "fraction of frames sent twice")->group(faults);
    addFraction(app, "--reorder", o->publisher.reorderFraction, "fraction of frames sent after the next one")->group(faults);
    addInteger(app, "--fault-seed", 0, INT64_MAX, o->faultSeed, "seed of the fault draw (default 1)")->group(faults);
    addText(app, "--drop-span", o->dropSpan,
            "an outage: no frames from FROM s after the first sample for SECONDS s")
        ->type_name("FROM:SECONDS")
        ->group(faults);
    addNumber(app, "--nominal-frequency", o->in.ports.nominalFrequency,
              "nominal frequency of the signal, Hz (default 50)")->type_name("HZ");
    addRecordingOptions(app, o->recording);
    o->shapeOptions = addSignalOptions(app, o->in.shape);
    app->footer(signalHelp() + "\nexit status: 0 sent, 1 sending or writing failed, 2 bad input or usage");
    return {app, [o] { return publishCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
