// orvane serve: the measurement model as a PMU on the network, one PMU
// block per input. PDCs send command frames over TCP or UDP (send CFG-1/2/3
// or the header, data on or off) and receive the reports as data frames,
// paced in real time, as fast as they take them or as a live sampled-values
// stream arrives; or the frames go by UDP to a unicast or multicast
// destination without any command.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/progress.h"
#include "net/host_port.h"
#include "stream/serve_inputs.h"
#include "stream/serve_stream.h"
#include "stream/stop_request.h"

namespace {

struct ServeOptions {
    ServeInputSettings in;
    SvOptions svOptions;
    std::string listen = "127.0.0.1:4712";
    std::optional<std::string> udp, udpTo;
    UdpTransports roads;
    int64_t ttl = 1;
    bool noPace = false;
    RecordingOptions recording;
    std::vector<CLI::Option*> portOptions, shapeOptions;
};

UdpTransports udpTransports(const ServeOptions& o) {
    UdpTransports roads = o.roads;
    roads.ttl = static_cast<int>(o.ttl);
    std::string error;
    HostPort address;
    if (o.udp) {
        if (!parseHostPort(*o.udp, "--udp", address, error)) throw UsageError(error);
        roads.commands = address;
    }
    if (o.udpTo) {
        if (!parseHostPort(*o.udpTo, "--udp-to", address, error)) throw UsageError(error);
        roads.dataTo = address;
    }
    if (roads.onCommand && !o.udpTo) throw UsageError("--mixed needs --udp-to ADDR:PORT (where the data frames go)");
    return roads;
}

int serveCommand(ServeOptions& o) {
    if (o.in.inputs.empty()) {
        throw UsageError("give one of --input FILE, --comtrade FILE, --signal NAME or --sv IFACE (each but --sv may be "
                         "repeated for several PMU blocks)");
    }
    const size_t blocks = o.in.inputs.size();
    const bool live = o.in.any(&InputKind::live);
    std::vector<const InputKind*> kinds;
    for (const InputChoice& input : o.in.inputs) kinds.push_back(input.kind);
    if (live) {
        // The arriving samples pace every block: a second input would have
        // to keep step with the network.
        if (blocks != 1) throw UsageError("--sv is the only input when given: it cannot share the stream");
        readSvOptions(o.svOptions, o.in.ports.sv);
        if (o.noPace) throw UsageError("--no-pace has no effect with --sv: the arriving samples set the pace");
    } else {
        refuseGiven(o.svOptions.options, "--sv");
    }
    // Every input takes the configuration-port options (a CSV of thirteen
    // columns has them in its columns, refused when the file is opened);
    // the shape options are a signal's, made at the build's rate. A
    // recording takes the recording options; --phases names a plain CSV's
    // columns too.
    const bool anyMade = std::any_of(kinds.begin(), kinds.end(), [](const InputKind* k) { return !k->ownRate; });
    if (!anyMade) refuseGiven(o.shapeOptions, "--signal");
    const RecordingOptionUse use = recordingOptionUse(kinds);
    if (use != RecordingOptionUse::All) {
        const bool phases = use == RecordingOptionUse::PhasesOnly;
        refuseGiven(phases ? recordingOnlyOptions(o.recording) : o.recording.options,
                    phases ? "--comtrade recordings" : "--comtrade recordings and plain CSVs");
    }
    for (const CLI::Option* option : o.portOptions) o.in.ports.portsGiven = o.in.ports.portsGiven || option->count() > 0;
    readRecordingOptions(o.recording, o.in.ports.comtrade);
    if (o.in.stations.size() > blocks) throw UsageError("more --station names than inputs");
    if (o.in.pmuIdCodes.size() > blocks) throw UsageError("more --pmu-idcode values than inputs");
    HostPort listenAddress;
    std::string error;
    if (!parseHostPort(o.listen, "--listen", listenAddress, error)) throw UsageError(error);
    const UdpTransports roads = udpTransports(o);
    if (o.in.choice.buildTag == "auto" && (blocks != 1 || !o.in.inputs[0].kind->ownRate)) {
        throw UsageError("--build auto needs one input, a file or --sv (a signal has no rate of its own)");
    }
    o.in.ports.nominalFrequencyGiven = o.portOptions[kNominalFrequencyOption]->count() > 0;

    if (live) note("waiting for a sampled-values stream on " + o.in.inputs[0].text);
    ServeInputs inputs;
    if (!inputs.open(o.in, error)) return failWith(2, error);
    const SampleRateBuild& build = inputs.build();
    const uint16_t idCode = static_cast<uint16_t>(o.in.idCode);
    ServeStream stream(inputs.roads(), build.fs, inputs.blocks(), idCode, !o.noPace,
                       [](const std::string& line) { note(line); });
    // The first sample fixes the nominal frequency of the configuration,
    // which PDCs may ask for before any report exists.
    if (!stream.prepare()) return failWith(exitStatusOf(stream.fault()), stream.error());
    if (!inputs.attachLive(stream, error)) return failWith(1, error);
    TcpServer server;
    if (!server.listen(listenAddress, error) || !stream.openUdp(roads, error)) {
        inputs.finishBlocks();
        return failWith(1, error);
    }
    volatile std::sig_atomic_t& stopRequested = stopOnInterrupt(true);
    std::string udpText;
    if (stream.udpCommands()) udpText += ", UDP commands on " + formatHostPort(stream.udpCommands()->address());
    if (o.udpTo) udpText += std::string(o.roads.onCommand ? ", data by UDP to " : ", spontaneous UDP to ") + *o.udpTo;
    std::fprintf(stderr, "orvane serve: listening on %s (IDCODE %u, %s, %s, %s%s)\n",
                 formatHostPort(server.address()).c_str(), idCode, build.modelName,
                 blocks == 1 ? inputs.leadName().c_str() : (std::to_string(blocks) + " PMU blocks").c_str(),
                 live ? "paced by the arriving samples" : o.noPace ? "unpaced" : "paced in real time",
                 udpText.c_str());
    std::fflush(stderr);

    ProgressDisplay display("orvane serve: " + inputs.leadName());
    const FaultKind fault = stream.serve(server, stopRequested, [&display](uint64_t samples, std::optional<double> f) {
        display.update(samples, f);
    });
    display.clear();
    for (const std::string& line : inputs.finishLive(stream)) note(line);
    if (fault != FaultKind::None) return failWith(exitStatusOf(fault), stream.error());
    note(stream.endSummary(stopRequested != 0, o.udp || o.udpTo));
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<ServeOptions>();
    CLI::App* app = root.add_subcommand("serve", "serve the reports as C37.118.2 frames to PDCs over TCP and UDP");
    describe(app, 
        "usage: orvane serve (--input FILE.csv | --comtrade FILE | --signal NAME)... [signal options]\n"
        "       orvane serve --sv IFACE [--sv-id ID | --appid N | --sv-mac MAC]\n"
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
        "input's report instants on UTC (a recording's Time counts from its UTC midnight,\n"
        "a signal's --start-time and a CSV's time from 1970; inputs starting more than\n"
        "60 s apart are refused); a block whose input ended or has no report at an\n"
        "instant is sent as absent data flagged 'do not use'.\n"
        "\n"
        "With --sv IFACE the samples are a sampled-values stream captured live (root or\n"
        "CAP_NET_RAW), the only input: the model steps each sample as it arrives,\n"
        "whether or not a PDC listens, and the server ends a second after the stream\n"
        "stops. Lost or flagged samples are bridged; reports leaning on gaps longer\n"
        "than the bridge's proven span (2 ms) are sent 'do not use'.\n");
    for (const InputKind* kind : inputKinds()) {
        if (kind->serveHelp == nullptr) continue;
        addRepeated(
            app, kind->option, [o, kind](const std::string& text) { o->in.inputs.push_back(InputChoice{kind, text}); },
            kind->serveHelp)
            ->type_name(kind->typeName);
    }
    addSvOptions(app, o->svOptions);
    addRepeated(
        app, "--station", [o](const std::string& text) { o->in.stations.push_back(text); },
        "station name of the next PMU block, in input order (default ORVANE PMU, or ORVANE PMU k)")
        ->type_name("NAME");
    addInteger(
        app, "--pmu-idcode", 1, 65534, [o](int64_t value) { o->in.pmuIdCodes.push_back(value); },
        "IDCODE of the next PMU block, in input order (default: --idcode plus the block's index from 0)")
        ->trigger_on_parse()
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    addRoadOptions(app, o->in.choice, true);
    app->add_option("--listen", o->listen,
                    "where to listen (default 127.0.0.1:4712; port 0: any free port, printed at start)")
        ->type_name("ADDR:PORT");
    app->add_flag("--no-pace", o->noPace, "as fast as the clients take the frames, not in real time");
    addInteger(app, "--idcode", 1, 65534, o->in.idCode, "IDCODE of the stream, 1..65534 (default 1)");
    addText(app, "--udp", o->udp, "also answer command datagrams on this UDP address, data back to the sender")
        ->type_name("ADDR:PORT");
    addText(app, "--udp-to", o->udpTo,
            "send data frames by UDP to this unicast or multicast address without any command, the "
            "configuration every --config-interval seconds")
        ->type_name("ADDR:PORT");
    app->add_flag("--mixed", o->roads.onCommand,
                  "with --udp-to: TCP clients send the commands, the data frames they turn on go by UDP");
    addInteger(app, "--ttl", 1, 255, o->ttl, "hop limit of --udp-to datagrams, 1..255 (default 1)");
    app->add_option("--multicast-interface", o->roads.multicastInterface,
                    "IPv4 address of the interface for multicast (default 127.0.0.1)")
        ->type_name("ADDR");
    addNumber(app, "--config-interval", [o](double s) {
                  if (!(s >= 0.1 && s <= 86400.0)) {
                      throw CLI::ValidationError("option '--config-interval': must lie in 0.1..86400 s");
                  }
                  o->roads.configInterval = s;
              },
              "seconds between configuration frames to --udp-to, 0.1..86400 (default 60)")
        ->type_name("S");
    app->add_flag("--test-mode", o->in.testMode, "flag every report as test data (STAT data error 10)");
    addRecordingOptions(app, o->recording);
    o->portOptions = addPortOptions(app, o->in.ports.ports);
    o->shapeOptions = addSignalOptions(app, o->in.ports.shape);
    app->footer(signalHelp() +
                "\nThe nominal frequency must be 50 or 60 Hz: frames cannot say any other.\n"
                "exit status: 0 input ended or stopped by Ctrl-C, 1 the model failed or the\n"
                "server could not listen, 2 bad input or usage");
    return {app, [o] { return serveCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
