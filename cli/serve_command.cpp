// orvane serve: the measurement model as a PMU on the network. PDCs connect
// over TCP, send command frames (send CFG-1/2/3 or the header, data on or
// off) and receive the model's reports as data frames, paced in real time
// or as fast as they can take them.
#include <sys/eventfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress.h"
#include "io/csv/csv_sample_reader.h"
#include "net/host_port.h"
#include "stream/file_run.h"
#include "stream/frame_output.h"
#include "stream/serve_stream.h"
#include "stream/sv_capture.h"

namespace {

// A built-in signal without --duration runs for a day: until Ctrl-C, for
// any practical purpose.
constexpr double kDefaultSignalDuration = 86400.0;

struct ServeOptions {
    std::optional<std::string> input, comtrade, signal, sv;
    SvOptions svOptions;
    std::string listen = "127.0.0.1:4712";
    bool noPace = false;
    int64_t idCode = 1;
    DriverChoice choice;
    FileRunSettings ports;
    SignalShape shape;
    RecordingOptions recording;
    std::vector<CLI::Option*> portOptions, shapeOptions;
};

volatile std::sig_atomic_t gStopRequested = 0;

void requestStop(int) { gStopRequested = 1; }

void installStopHandlers() {
    struct sigaction action{};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: poll() returns at once on Ctrl-C
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int serveCommand(ServeOptions& o) {
    if ((o.input ? 1 : 0) + (o.signal ? 1 : 0) + (o.comtrade ? 1 : 0) + (o.sv ? 1 : 0) != 1) {
        throw UsageError("give one of --input FILE, --comtrade FILE, --signal NAME or --sv IFACE");
    }
    if (o.sv) {
        readSvOptions(o.svOptions, o.ports.sv);
        if (o.noPace) throw UsageError("--no-pace has no effect with --sv: the arriving samples set the pace");
    } else {
        refuseGiven(o.svOptions.options, "--sv");
    }
    // A recording takes the configuration-port options; a CSV has them in
    // its columns.
    if (!o.signal) refuseGiven(o.shapeOptions, "--signal");
    if (o.input) refuseGiven(o.portOptions, "--signal or --comtrade");
    if (!o.comtrade) refuseGiven(o.recording.options, "--comtrade recordings");
    readRecordingOptions(o.recording, o.ports.comtrade);
    HostPort listenAddress;
    std::string error;
    if (!parseHostPort(o.listen, "--listen", listenAddress, error)) throw UsageError(error);
    if (o.choice.buildTag == "auto" && !o.comtrade && !o.sv) {
        throw UsageError("--build auto needs --comtrade or --sv (a CSV or a signal has no rate of its own)");
    }
    o.ports.nominalFrequencyGiven = o.portOptions[kNominalFrequencyOption]->count() > 0;

    std::unique_ptr<SampleSource> source;
    SvSampleSource* capture = nullptr;
    std::unique_ptr<SvGapBridge> bridge;
    double timeOffset = 0.0;
    if (o.comtrade) {
        SourceFacts facts;
        source = openRecording(*o.comtrade, o.ports, o.choice.buildTag, facts, error);
        timeOffset = facts.epochShift;
    } else if (o.sv) {
        note("waiting for a sampled-values stream on " + *o.sv);
        auto sv = openSvStream(*o.sv, true, o.ports.sv, o.ports.ports, o.choice.buildTag, timeOffset, bridge, error);
        capture = sv.get();
        source = std::move(sv);
    }
    const SampleRateBuild* build = buildByTag(o.choice.buildTag);
    if (o.input) {
        source = CsvSampleReader::open(*o.input, error);
    } else if (o.signal) {
        if (!o.shape.duration) o.shape.duration = kDefaultSignalDuration;
        source = makeSignalSource(*o.signal, o.shape, o.ports.ports, build->fs, error);
    }
    if (!source) return failWith(2, error);
    std::unique_ptr<BlockDriver> driver = makeDriver(o.choice, error);
    if (!driver) return failWith(2, error);

    const uint16_t idCode = static_cast<uint16_t>(o.idCode);
    StreamSettings settings = streamSettingsFor(build->modelName, build->fs, idCode);
    settings.timeOffset = timeOffset;
    ServeStream stream(*source, *driver, build->fs, settings, !o.noPace,
                       [](const std::string& line) { note(line); });
    // The first sample fixes the nominal frequency of the configuration,
    // which PDCs may ask for before any report exists.
    if (!stream.prepare()) return failWith(stream.exitStatus(), stream.error());
    // A live stream is read on a thread of its own, which wakes the serving
    // loop through an eventfd when samples are waiting.
    std::unique_ptr<LiveSampleFeed> feed;
    const int wakeFd = capture != nullptr ? eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC) : -1;
    if (capture != nullptr) {
        if (wakeFd < 0) return failWith(1, "cannot create an eventfd for the capture thread");
        feed = std::make_unique<LiveSampleFeed>(
            *source, [capture] { return svNanoseconds(capture->stream().lastCapture()); },
            [wakeFd] {
                const uint64_t one = 1;
                [[maybe_unused]] const ssize_t n = write(wakeFd, &one, sizeof one);
            });
        stream.setLiveFeed(feed.get(), wakeFd);
    }
    TcpServer server;
    if (!server.listen(listenAddress, error)) {
        driver->finish();
        return failWith(1, error);
    }
    installStopHandlers();
    std::fprintf(stderr, "orvane serve: listening on %s (IDCODE %u, %s, %s, %s)\n",
                 formatHostPort(server.address()).c_str(), idCode, build->modelName, source->name().c_str(),
                 capture != nullptr ? "paced by the arriving samples" : o.noPace ? "unpaced" : "paced in real time");
    std::fflush(stderr);

    ProgressDisplay display("orvane serve: " + source->name());
    const int status = stream.serve(server, gStopRequested, [&display](uint64_t samples, std::optional<double> f) {
        display.update(samples, f);
    });
    display.clear();
    feed.reset();
    if (wakeFd >= 0) close(wakeFd);
    if (capture != nullptr) {
        for (const std::string& line : svStreamNotes(*capture, bridge.get())) note(line);
        const LatencyHistogram& a = stream.captureToSend();
        const LatencyHistogram& b = stream.sampleToSend();
        if (a.count() > 0) {
            char line[256];
            std::snprintf(line, sizeof line,
                          "latency over %llu reports: SV capture to data frame sent median %.3f ms, 99th percentile "
                          "%.3f ms; sample instant to sent median %.3f ms, 99th percentile %.3f ms",
                          static_cast<unsigned long long>(a.count()), a.quantile(0.5) * 1e3, a.quantile(0.99) * 1e3,
                          b.quantile(0.5) * 1e3, b.quantile(0.99) * 1e3);
            note(line);
        }
    }
    if (status != 0) return failWith(status, stream.error());
    note(std::string(gStopRequested != 0 ? "stopped" : "input ended") + " after " +
                    std::to_string(stream.samples()) + " samples, " + std::to_string(stream.reports()) + " reports");
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<ServeOptions>();
    CLI::App* app = root.add_subcommand("serve", "serve the reports as C37.118.2 frames to PDCs over TCP");
    describe(app, 
        "usage: orvane serve (--input FILE.csv | --comtrade FILE | --signal NAME [signal options]\n"
        "                     | --sv IFACE [--sv-id ID | --appid N | --sv-mac MAC])\n"
        "                    [--build 10k|14p4k|4k|auto]\n"
        "                    [--listen ADDR:PORT] [--no-pace] [--idcode N] [--deliverable PATH | --in-process]\n"
        "\n"
        "Serves the model's reports as IEEE C37.118.2 frames over TCP. A PDC connects,\n"
        "asks for the configuration (CFG-1, CFG-2 or CFG-3) or the header, and turns\n"
        "data frames on and off with command frames. One positive-sequence phasor in\n"
        "floating-point polar form: magnitude RMS (the model's peak magnitude divided\n"
        "by sqrt(2)), angle in rad; frequency in Hz and ROCOF in Hz/s as floats.\n"
        "\n"
        "The model starts with the first client that turns data frames on and runs\n"
        "while at least one client has them on. Every such client receives the same\n"
        "frames from the moment it turned them on. A client that disconnects, sends\n"
        "a malformed frame or does not keep up is dropped; the others go on. When\n"
        "the input ends, the server closes the connections and exits. Ctrl-C stops it.\n"
        "\n"
        "With --sv IFACE the samples are a sampled-values stream captured live (root or\n"
        "CAP_NET_RAW): the model steps each sample as it arrives, whether or not a PDC\n"
        "listens, and the server ends a second after the stream stops.\n");
    addText(app, "--input", o->input, "sample CSV, as for 'orvane run'")->type_name("FILE");
    addText(app, "--comtrade", o->comtrade,
            "a COMTRADE recording (.cfg or .cff), as for 'orvane run'; frames carry its absolute time")
        ->type_name("FILE");
    addText(app, "--signal", o->signal, "a built-in signal (runs until Ctrl-C unless --duration)")->type_name("NAME");
    addText(app, "--sv", o->sv, "a sampled-values stream captured live on this interface")
        ->type_name("IFACE")
        ->group("Sampled values");
    addSvOptions(app, o->svOptions);
    addRoadOptions(app, o->choice, true);
    app->add_option("--listen", o->listen,
                    "where to listen (default 127.0.0.1:4712; port 0: any free port, printed at start)")
        ->type_name("ADDR:PORT");
    app->add_flag("--no-pace", o->noPace, "as fast as the clients take the frames, not in real time");
    addInteger(app, "--idcode", 1, 65534, o->idCode, "IDCODE of the stream, 1..65534 (default 1)");
    addRecordingOptions(app, o->recording);
    o->portOptions = addPortOptions(app, o->ports.ports);
    o->shapeOptions = addSignalOptions(app, o->shape);
    app->footer(signalHelp() +
                "\nThe nominal frequency must be 50 or 60 Hz: frames cannot say any other.\n"
                "exit status: 0 input ended or stopped by Ctrl-C, 1 the model failed or the\n"
                "server could not listen, 2 bad input or usage");
    return {app, [o] { return serveCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
