// orvane serve: the measurement model as a PMU on the network. PDCs connect
// over TCP, send command frames (send CFG-1/2/3 or the header, data on or
// off) and receive the model's reports as data frames, paced in real time
// or as fast as they can take them.
#include <csignal>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/built_in_signals.h"
#include "cli/c37118_output.h"
#include "cli/command_options.h"
#include "cli/command_registry.h"
#include "cli/driver_factory.h"
#include "cli/file_run.h"
#include "cli/progress_meter.h"
#include "cli/serve_stream.h"
#include "cli/tcp_server.h"
#include "io/comtrade/comtrade_sample_source.h"
#include "io/csv/csv_sample_reader.h"

namespace {

constexpr const char* kDefaultListen = "127.0.0.1:4712";
// A built-in signal without --duration runs for a day: until Ctrl-C, for
// any practical purpose.
constexpr const char* kDefaultSignalDuration = "86400";

constexpr const char* kUsage =
    "usage: orvane serve (--input FILE.csv | --comtrade FILE | --signal NAME [signal options])\n"
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
    "options:\n"
    "  --input FILE        sample CSV, as for 'orvane run'\n"
    "  --comtrade FILE     a COMTRADE recording (.cfg or .cff), as for 'orvane run';\n"
    "                      the configuration ports come from --report-rate,\n"
    "                      --nominal-frequency (default: the recording's line\n"
    "                      frequency), --report-mode, --magnitude-coeffs, --phase-coeffs;\n"
    "                      frames carry the recording's absolute time\n"
    "  --signal NAME       a built-in signal (runs until Ctrl-C unless --duration)\n"
    "  --build TAG         sample-rate build: 10k, 14p4k or 4k (default 10k); auto with\n"
    "                      --comtrade: the recording's rate or the next build above\n"
    "  --listen ADDR:PORT  where to listen (default 127.0.0.1:4712; port 0: any free\n"
    "                      port, printed at start)\n"
    "  --no-pace           as fast as the clients take the frames, not in real time\n"
    "  --idcode N          IDCODE of the stream, 1..65534 (default 1)\n"
    "  --deliverable PATH  drive this deliverable instead of the build's own\n"
    "  --in-process        call the model's methods linked into the tool\n"
    "  --help              this text\n"
    "\n"
    "The nominal frequency must be 50 or 60 Hz: frames cannot say any other.\n"
    "exit status: 0 input ended or stopped by Ctrl-C, 1 the model failed or the\n"
    "server could not listen, 2 bad input or usage\n"
    "\n";

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

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane serve: %s\n(try 'orvane serve --help')\n", message.c_str());
    return 2;
}

int serveCommand(const std::vector<std::string>& argsIn) {
    for (const std::string& arg : argsIn) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::fputs(signalHelp().c_str(), stdout);
            return 0;
        }
    }
    std::vector<OptionSpec> accepted = {
        {"build", true},  {"input", true},   {"signal", true},      {"listen", true},
        {"no-pace", false}, {"idcode", true}, {"deliverable", true}, {"in-process", false},
        {"comtrade", true},
    };
    for (const OptionSpec& spec : signalOptionSpecs()) accepted.push_back(spec);

    std::vector<std::string> args = argsIn;
    bool durationGiven = false;
    for (const std::string& arg : args) durationGiven = durationGiven || arg.rfind("--duration", 0) == 0;
    CommandOptions options;
    std::string error;
    if (!options.parse(args, accepted, error)) return usageError(error);
    const int sources = (options.has("input") ? 1 : 0) + (options.has("signal") ? 1 : 0) + (options.has("comtrade") ? 1 : 0);
    if (sources != 1) return usageError("give one of --input FILE, --comtrade FILE or --signal NAME");
    if (!options.has("signal")) {
        // A recording takes the configuration-port options; a CSV has them
        // in its columns.
        const bool comtrade = options.has("comtrade");
        for (const OptionSpec& spec : signalOptionSpecs()) {
            const bool port = spec.name == "report-rate" || spec.name == "nominal-frequency" ||
                              spec.name == "report-mode" || spec.name == "magnitude-coeffs" || spec.name == "phase-coeffs";
            if (options.has(spec.name) && !(comtrade && port)) {
                return usageError("option '--" + spec.name + "' applies to --signal" + (port ? " or --comtrade" : "") +
                                  " only");
            }
        }
    } else if (!durationGiven) {
        args.push_back("--duration");
        args.push_back(kDefaultSignalDuration);
        options = CommandOptions();
        options.parse(args, accepted, error);
    }
    if (options.has("deliverable") && options.has("in-process")) {
        return usageError("give either --deliverable or --in-process, not both");
    }
    HostPort listenAddress;
    if (!parseHostPort(options.text("listen", kDefaultListen), "--listen", listenAddress, error)) {
        return usageError(error);
    }
    uint16_t idCode = 1;
    if (!readIdCode(options, idCode, error)) return usageError(error);

    DriverChoice choice;
    if (!readDriverChoice(options, choice, error)) return usageError(error);

    std::unique_ptr<SampleSource> source;
    StreamSettings settings;
    if (options.has("comtrade")) {
        FileRunSettings ports;
        if (!readPortOptions(options, ports, error)) return usageError(error);
        ComtradeReadOptions readOptions;
        auto recording = ComtradeSampleSource::open(options.text("comtrade"), readOptions, error);
        if (!recording) {
            std::fprintf(stderr, "orvane serve: %s\n", error.c_str());
            return 2;
        }
        if (choice.buildTag == "auto") choice.buildTag = buildTagForRate(recording->recording().maxRate());
        const SampleRateBuild* build = buildByTag(choice.buildTag);
        if (build == nullptr) return usageError("unknown build '" + choice.buildTag + "' (expected 10k, 14p4k, 4k or auto)");
        const double lineFrequency = recording->recording().config.lineFrequency;
        if (!ports.nominalFrequencyGiven && (lineFrequency == 50.0 || lineFrequency == 60.0)) {
            ports.ports.nominalFrequency = lineFrequency;
        }
        if (!recording->prepare(build->fs, ports.ports, error)) {
            std::fprintf(stderr, "orvane serve: %s\n", error.c_str());
            return 2;
        }
        settings = streamSettingsFor(*build, idCode);
        settings.timeOffset = static_cast<double>(recording->recording().origin.epochSecondsOfOrigin());
        source = std::move(recording);
    } else if (choice.buildTag == "auto") {
        return usageError("--build auto needs --comtrade (a CSV or a signal has no rate of its own)");
    }
    const SampleRateBuild* build = buildByTag(choice.buildTag);
    if (build == nullptr) return usageError("unknown build '" + choice.buildTag + "' (expected 10k, 14p4k or 4k)");
    if (options.has("input")) {
        source = CsvSampleReader::open(options.text("input"), error);
        settings = streamSettingsFor(*build, idCode);
    } else if (options.has("signal")) {
        source = makeSignalSource(options.text("signal"), options, build->fs, error);
        settings = streamSettingsFor(*build, idCode);
    }
    if (!source) {
        std::fprintf(stderr, "orvane serve: %s\n", error.c_str());
        return 2;
    }
    std::unique_ptr<BlockDriver> driver = makeDriver(choice, error);
    if (!driver) {
        std::fprintf(stderr, "orvane serve: %s\n", error.c_str());
        return 2;
    }

    ServeStream stream(*source, *driver, *build, settings, !options.has("no-pace"));
    // The first sample fixes the nominal frequency of the configuration,
    // which PDCs may ask for before any report exists.
    if (!stream.prepare()) {
        std::fprintf(stderr, "orvane serve: %s\n", stream.error().c_str());
        return stream.exitStatus();
    }
    TcpServer server;
    if (!server.listen(listenAddress, error)) {
        driver->finish();
        std::fprintf(stderr, "orvane serve: %s\n", error.c_str());
        return 1;
    }
    installStopHandlers();
    std::fprintf(stderr, "orvane serve: listening on %s (IDCODE %u, %s, %s, %s)\n",
                 formatHostPort(server.address()).c_str(), idCode, build->modelName, source->name().c_str(),
                 options.has("no-pace") ? "unpaced" : "paced in real time");
    std::fflush(stderr);

    ProgressMeter progress("orvane serve: " + source->name());
    const int status = stream.serve(server, gStopRequested, progress);
    progress.done();
    if (status != 0) {
        std::fprintf(stderr, "orvane serve: %s\n", stream.error().c_str());
    } else {
        std::fprintf(stderr, "orvane serve: %s after %llu samples, %llu reports\n",
                     gStopRequested != 0 ? "stopped" : "input ended",
                     static_cast<unsigned long long>(stream.samples()), static_cast<unsigned long long>(stream.reports()));
    }
    return status;
}

const CommandRegistration kRegistration({"serve", "serve the reports as C37.118.2 frames to PDCs over TCP",
                                         serveCommand});

}  // namespace
