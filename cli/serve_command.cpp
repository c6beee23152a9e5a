// orvane serve: the measurement model as a PMU on the network, one PMU
// block per input. PDCs send command frames over TCP or UDP (send CFG-1/2/3
// or the header, data on or off) and receive the reports as data frames,
// paced in real time or as fast as they take them; or the frames go by UDP
// to a unicast or multicast destination without any command.
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress.h"
#include "io/comtrade/comtrade_sample_source.h"
#include "io/csv/csv_sample_reader.h"
#include "net/host_port.h"
#include "stream/file_run.h"
#include "stream/frame_output.h"
#include "stream/serve_stream.h"

namespace {

// A built-in signal without --duration runs for a day: until Ctrl-C, for
// any practical purpose.
constexpr double kDefaultSignalDuration = 86400.0;

// One PMU block's input as given on the command line.
struct InputChoice {
    enum class Kind { Csv, Comtrade, Signal } kind;
    std::string text;
};

struct ServeOptions {
    std::vector<InputChoice> inputs;  // in the order given
    std::vector<std::string> stations;
    std::vector<int64_t> pmuIdCodes;
    std::string listen = "127.0.0.1:4712";
    std::optional<std::string> udp, udpTo, multicastInterface;
    int64_t ttl = 1;
    double configInterval = 60.0;
    bool mixed = false;
    bool testMode = false;
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

bool has(const ServeOptions& o, InputChoice::Kind kind) {
    for (const InputChoice& input : o.inputs) {
        if (input.kind == kind) return true;
    }
    return false;
}

int serveCommand(ServeOptions& o) {
    if (o.inputs.empty()) throw UsageError("give one of --input FILE, --comtrade FILE or --signal NAME (each may be repeated for several PMU blocks)");
    const bool anySignal = has(o, InputChoice::Kind::Signal);
    const bool anyComtrade = has(o, InputChoice::Kind::Comtrade);
    const bool onlyCsv = !anySignal && !anyComtrade;
    // A recording takes the configuration-port options; a CSV has them in
    // its columns.
    if (!anySignal) refuseGiven(o.shapeOptions, "--signal");
    if (onlyCsv) refuseGiven(o.portOptions, "--signal or --comtrade");
    if (!anyComtrade) refuseGiven(o.recording.options, "--comtrade recordings");
    readRecordingOptions(o.recording, o.ports.comtrade);
    const size_t blocks = o.inputs.size();
    if (o.stations.size() > blocks) throw UsageError("more --station names than inputs");
    if (o.pmuIdCodes.size() > blocks) throw UsageError("more --pmu-idcode values than inputs");
    HostPort listenAddress;
    std::string error;
    if (!parseHostPort(o.listen, "--listen", listenAddress, error)) throw UsageError(error);
    UdpRoads roads;
    roads.ttl = static_cast<int>(o.ttl);
    roads.configInterval = o.configInterval;
    roads.onCommand = o.mixed;
    if (o.multicastInterface) roads.multicastInterface = *o.multicastInterface;
    if (o.udp) {
        HostPort address;
        if (!parseHostPort(*o.udp, "--udp", address, error)) throw UsageError(error);
        roads.commands = address;
    }
    if (o.udpTo) {
        HostPort address;
        if (!parseHostPort(*o.udpTo, "--udp-to", address, error)) throw UsageError(error);
        roads.dataTo = address;
    }
    if (o.mixed && !o.udpTo) throw UsageError("--mixed needs --udp-to ADDR:PORT (where the data frames go)");
    if (o.choice.buildTag == "auto" && (blocks != 1 || !anyComtrade)) {
        throw UsageError("--build auto needs --comtrade, one recording (a CSV or a signal has no rate of its own)");
    }
    o.ports.nominalFrequencyGiven = o.portOptions[kNominalFrequencyOption]->count() > 0;

    std::vector<std::unique_ptr<SampleSource>> sources;
    std::vector<std::unique_ptr<BlockDriver>> drivers;
    std::vector<StreamSettings> settings;
    std::vector<ServeInput> roadsToModel;
    const SampleRateBuild* build = nullptr;
    const uint16_t idCode = static_cast<uint16_t>(o.idCode);
    for (size_t k = 0; k < blocks; ++k) {
        const InputChoice& input = o.inputs[k];
        std::unique_ptr<SampleSource> source;
        double timeOffset = 0.0;
        int clockQuality = 0;
        if (input.kind == InputChoice::Kind::Comtrade) {
            source = openRecording(input.text, o.ports, o.choice.buildTag, timeOffset, error);
            // The recording's time-quality code says how good its clock was.
            if (auto* recording = dynamic_cast<ComtradeSampleSource*>(source.get())) {
                clockQuality = recording->recording().config.timeQuality;
            }
        }
        build = buildByTag(o.choice.buildTag);
        if (input.kind == InputChoice::Kind::Csv) {
            source = CsvSampleReader::open(input.text, error);
        } else if (input.kind == InputChoice::Kind::Signal) {
            if (!o.shape.duration) o.shape.duration = kDefaultSignalDuration;
            source = makeSignalSource(input.text, o.shape, o.ports.ports, build->fs, error);
        }
        if (!source) return failWith(2, error);
        std::unique_ptr<BlockDriver> driver = makeDriver(o.choice, error);
        if (!driver) return failWith(2, error);
        StreamSettings block = streamSettingsFor(build->modelName, build->fs, idCode);
        if (blocks > 1) block.station = "ORVANE PMU " + std::to_string(k + 1);
        if (k < o.stations.size()) block.station = o.stations[k];
        block.idCode = static_cast<uint16_t>(k < o.pmuIdCodes.size() ? o.pmuIdCodes[k] : o.idCode + static_cast<int64_t>(k));
        if (block.idCode == 0xFFFF) return failWith(2, "IDCODE of PMU block " + std::to_string(k + 1) + " would be 65535; give --pmu-idcode");
        block.timeOffset = timeOffset;
        block.testMode = o.testMode;
        if (clockQuality > 0) block.clockQuality = static_cast<uint8_t>(clockQuality);
        block.synchronised = block.clockQuality != 0xF;
        settings.push_back(block);
        roadsToModel.push_back(ServeInput{source.get(), driver.get()});
        sources.push_back(std::move(source));
        drivers.push_back(std::move(driver));
    }
    ServeStream stream(roadsToModel, build->fs, settings, idCode, !o.noPace,
                       [](const std::string& line) { note(line); });
    auto finishAll = [&drivers] {
        for (auto& driver : drivers) driver->finish();
    };
    // The first sample fixes the nominal frequency of the configuration,
    // which PDCs may ask for before any report exists.
    if (!stream.prepare()) return failWith(stream.exitStatus(), stream.error());
    TcpServer server;
    if (!server.listen(listenAddress, error) || !stream.openUdp(roads, error)) {
        finishAll();
        return failWith(1, error);
    }
    installStopHandlers();
    std::string udpText;
    if (stream.udpCommands()) udpText += ", UDP commands on " + formatHostPort(stream.udpCommands()->address());
    if (o.udpTo) udpText += std::string(o.mixed ? ", data by UDP to " : ", spontaneous UDP to ") + *o.udpTo;
    std::fprintf(stderr, "orvane serve: listening on %s (IDCODE %u, %s, %s, %s%s)\n",
                 formatHostPort(server.address()).c_str(), idCode, build->modelName,
                 blocks == 1 ? sources[0]->name().c_str() : (std::to_string(blocks) + " PMU blocks").c_str(),
                 o.noPace ? "unpaced" : "paced in real time", udpText.c_str());
    std::fflush(stderr);

    ProgressDisplay display("orvane serve: " + sources[0]->name());
    const int status = stream.serve(server, gStopRequested, [&display](uint64_t samples, std::optional<double> f) {
        display.update(samples, f);
    });
    display.clear();
    if (status != 0) return failWith(status, stream.error());
    std::string udpCounts;
    if (o.udp || o.udpTo) {
        udpCounts = ", " + std::to_string(stream.udpFramesSent()) + " UDP datagrams sent, " +
                    std::to_string(stream.udpFramesLost()) + " not sent";
    }
    note(std::string(gStopRequested != 0 ? "stopped" : "input ended") + " after " +
         std::to_string(stream.samples()) + " samples, " + std::to_string(stream.reports()) + " reports" + udpCounts);
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<ServeOptions>();
    CLI::App* app = root.add_subcommand("serve", "serve the reports as C37.118.2 frames to PDCs over TCP and UDP");
    describe(app, 
        "usage: orvane serve (--input FILE.csv | --comtrade FILE | --signal NAME)... [signal options]\n"
        "                    [--build 10k|14p4k|4k|auto] [--station NAME]... [--pmu-idcode N]...\n"
        "                    [--listen ADDR:PORT] [--udp ADDR:PORT] [--udp-to ADDR:PORT [--mixed] [--ttl N]\n"
        "                    [--multicast-interface ADDR] [--config-interval S]] [--test-mode]\n"
        "                    [--no-pace] [--idcode N] [--deliverable PATH | --in-process]\n"
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
        "Several inputs make several PMU blocks in one stream, aligned on the first\n"
        "input's report instants; a block whose input ended or has no report at an\n"
        "instant is sent as absent data flagged 'do not use'.\n");
    const struct {
        const char* name;
        InputChoice::Kind kind;
        const char* help;
    } inputOptions[] = {
        {"--input", InputChoice::Kind::Csv, "sample CSV, as for 'orvane run'; repeat for several PMU blocks"},
        {"--comtrade", InputChoice::Kind::Comtrade,
         "a COMTRADE recording (.cfg or .cff), as for 'orvane run'; frames carry its absolute time"},
        {"--signal", InputChoice::Kind::Signal, "a built-in signal (runs until Ctrl-C unless --duration)"},
    };
    for (const auto& option : inputOptions) {
        const std::string name = option.name;
        const InputChoice::Kind kind = option.kind;
        app->add_option_function<std::string>(
               name,
               [o, kind, name](const std::string& text) {
                   if (text.empty()) throw CLI::ValidationError("option '" + name + "' needs a value");
                   o->inputs.push_back(InputChoice{kind, text});
               },
               option.help)
            ->type_name(kind == InputChoice::Kind::Signal ? "NAME" : "FILE")
            ->trigger_on_parse()
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    }
    app->add_option_function<std::string>(
           "--station", [o](const std::string& text) { o->stations.push_back(text); },
           "station name of the next PMU block, in input order (default ORVANE PMU, or ORVANE PMU k)")
        ->type_name("NAME")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    app->add_option_function<int64_t>(
           "--pmu-idcode",
           [o](int64_t value) {
               if (value < 1 || value > 65534) throw CLI::ValidationError("option '--pmu-idcode' takes 1..65534");
               o->pmuIdCodes.push_back(value);
           },
           "IDCODE of the next PMU block, in input order (default: --idcode plus the block's index from 0)")
        ->type_name("N")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    addRoadOptions(app, o->choice, true);
    app->add_option("--listen", o->listen,
                    "where to listen (default 127.0.0.1:4712; port 0: any free port, printed at start)")
        ->type_name("ADDR:PORT");
    app->add_flag("--no-pace", o->noPace, "as fast as the clients take the frames, not in real time");
    addInteger(app, "--idcode", 1, 65534, o->idCode, "IDCODE of the stream, 1..65534 (default 1)");
    addText(app, "--udp", o->udp, "also answer command datagrams on this UDP address, data back to the sender")
        ->type_name("ADDR:PORT");
    addText(app, "--udp-to", o->udpTo,
            "send data frames by UDP to this unicast or multicast address without any command, the "
            "configuration every --config-interval seconds")
        ->type_name("ADDR:PORT");
    app->add_flag("--mixed", o->mixed,
                  "with --udp-to: TCP clients send the commands, the data frames they turn on go by UDP");
    addInteger(app, "--ttl", 1, 255, o->ttl, "hop limit of --udp-to datagrams, 1..255 (default 1)");
    addText(app, "--multicast-interface", o->multicastInterface,
            "IPv4 address of the interface for multicast (default 127.0.0.1)")
        ->type_name("ADDR");
    addNumber(app, "--config-interval", o->configInterval,
              "seconds between configuration frames to --udp-to (default 60)")
        ->type_name("S")
        ->check(CLI::Range(0.1, 86400.0));
    app->add_flag("--test-mode", o->testMode, "flag every report as test data (STAT data error 10)");
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
