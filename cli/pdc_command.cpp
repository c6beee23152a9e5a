// orvane pdc: a small phasor data concentrator. Connects to a PMU over TCP
// or UDP (or only listens for one that sends on its own), asks for its
// configuration, turns data frames on and prints every block of every
// report as a CSV row; with --reconnect it survives the PMU going away.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "net/host_port.h"
#include "stream/pdc_client.h"
#include "stream/stop_request.h"
#include "web/live_server.h"

namespace {

struct PdcOptions {
    PdcSettings settings;
    std::string target;
    std::optional<std::string> mixed, listenUdp;
    int64_t idCode = 1;
    int64_t count = 0;
    CLI::Option* http = nullptr;
    std::string httpAddress;
};

int pdcCommand(PdcOptions& o) {
    const bool spontaneous = o.listenUdp.has_value();
    if (o.target.empty() && !spontaneous) {
        throw UsageError("give the PMU's address, HOST:PORT (e.g. 127.0.0.1:4712), or --listen-udp ADDR:PORT");
    }
    PdcSettings& settings = o.settings;
    if (spontaneous && (!o.target.empty() || settings.overUdp || o.mixed || settings.reconnect)) {
        throw UsageError("--listen-udp only listens: no PMU address, --over-udp, --udp-data or --reconnect with it");
    }
    if (settings.overUdp && o.mixed) throw UsageError("give --over-udp or --udp-data, not both");
    std::string error;
    if (!spontaneous && !parseHostPort(o.target, "address", settings.pmu, error)) throw UsageError(error);
    if (!(settings.timeout > 0.0 && settings.timeout <= 86400.0)) throw UsageError("option '--timeout' must lie in 0..86400 seconds");
    if (o.mixed || spontaneous) {
        HostPort local;
        if (!parseHostPort(o.mixed ? *o.mixed : *o.listenUdp, o.mixed ? "--udp-data" : "--listen-udp", local, error)) {
            throw UsageError(error);
        }
        settings.udpLocal = local;
    }
    HostPort httpAddress;
    const bool live = o.http->count() > 0;
    if (live && !parseHostPort(o.httpAddress.empty() ? kDefaultLiveAddress : o.httpAddress, "option '--http'",
                               httpAddress, error))
        throw UsageError(error);
    settings.listenOnly = spontaneous;
    settings.idCode = static_cast<uint16_t>(o.idCode);
    settings.count = static_cast<uint64_t>(o.count);
    PdcClient client(settings, note, [](const std::string& rows) {
        std::fputs(rows.c_str(), stdout);
        std::fflush(stdout);
    });
    // The UDP socket: data (and commands with --over-udp) from the PMU.
    if (!client.openUdp(error)) return failWith(1, error);

    // The live view listens before the PMU is asked for anything, so that a
    // taken port fails before any output.
    LiveState liveState;
    LiveServer liveServer(liveState);
    if (live) {
        if (!liveServer.start(httpAddress, error)) return failWith(1, error);
        note("live view on http://" + formatHostPort(liveServer.address()) + "/");
        client.observe(&liveState);
    }

    const FaultKind fault = client.run(stopOnInterrupt(false), error);
    liveServer.stop();
    return fault == FaultKind::None ? 0 : failWith(exitStatusOf(fault), error);
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<PdcOptions>();
    CLI::App* app = root.add_subcommand("pdc", "receive a C37.118.2 PMU stream over TCP or UDP and print its reports");
    describe(app, 
        "usage: orvane pdc HOST:PORT [--over-udp | --udp-data ADDR:PORT] [--reconnect] [--idcode N] [--count N]\n"
        "                  [--timeout S] [--cfg3] [--header] [--multicast-interface ADDR]\n"
        "                  [--http [ADDR:PORT]]\n"
        "       orvane pdc --listen-udp ADDR:PORT [--count N] [--timeout S] [--multicast-interface ADDR]\n"
        "\n"
        "Connects to a PMU that speaks IEEE C37.118.2 over TCP (such as 'orvane serve'),\n"
        "requests its CFG-2 frame, turns data frames on and prints one CSV row per\n"
        "PMU block of every data frame on standard output:\n"
        "  timestamp,soc,fracsec,idcode,stat,frequency,rocof,phasor1_magnitude,phasor1_angle,...\n"
        "Phasors come out as magnitude and angle (rad) in the frame's own units (RMS\n"
        "for 'orvane serve'); frequency in Hz, ROCOF in Hz/s; STAT in hexadecimal.\n"
        "The configuration and other notes go to standard error. When a data frame\n"
        "signals a configuration change (STAT bit 10), the configuration is requested\n"
        "again. Ctrl-C turns data frames off and ends.\n"
        "\n"
        "--over-udp sends the commands by UDP to HOST:PORT and takes the data from there;\n"
        "--udp-data sends them over TCP and takes the data on a UDP address (a multicast\n"
        "group is joined); --listen-udp only listens there for a PMU that sends on its\n"
        "own, and prints data once a configuration frame came.\n"
        "\n"
        "--http serves a live view of the stream to a browser while the PDC runs:\n"
        "phasor diagrams, strip charts of frequency, ROCOF and magnitude, the\n"
        "stream's health and its configuration. Without an address it listens on\n"
        "127.0.0.1:8080 (this machine only); open the address it prints.\n");
    app->add_option("address", o->target, "the PMU's address, e.g. 127.0.0.1:4712")->type_name("HOST:PORT");
    addInteger(app, "--idcode", 1, 65534, o->idCode, "IDCODE of the stream to address, 1..65534 (default 1)");
    addInteger(app, "--count", 1, INT64_MAX, o->count, "stop after N data frames (default: until the stream ends)");
    addNumber(app, "--timeout", o->settings.timeout, "give up when no frame arrives for S seconds (default 10)")->type_name("S");
    app->add_flag("--cfg3", o->settings.cfg3, "request CFG-3 instead of CFG-2");
    app->add_flag("--over-udp", o->settings.overUdp, "commands and data by UDP with HOST:PORT");
    addText(app, "--udp-data", o->mixed, "commands over TCP, data received by UDP on this address")->type_name("ADDR:PORT");
    addText(app, "--listen-udp", o->listenUdp, "no commands: receive what a PMU sends to this UDP address")
        ->type_name("ADDR:PORT");
    app->add_option("--multicast-interface", o->settings.multicastInterface,
                    "IPv4 address of the interface that joins a multicast group (default 127.0.0.1)")
        ->type_name("ADDR");
    app->add_flag("--reconnect", o->settings.reconnect,
                  "when the PMU goes away, connect again (pauses from 0.25 s doubling to 8 s) until --timeout "
                  "passes without a frame");
    app->add_flag("--header", o->settings.header, "also request the header frame and print its text");
    o->http = app->add_option("--http", o->httpAddress,
                              "serve a live view in the browser at ADDR:PORT (default 127.0.0.1:8080)")
                  ->expected(0, 1)
                  ->type_name("[ADDR:PORT]");
    app->footer(
        "exit status: 0 done (count reached, stream ended or Ctrl-C), 1 connection or\n"
        "stream failure, 2 usage");
    return {app, [o] { return pdcCommand(*o); }};
}

const CommandRegistration kRegistration(setup);

}  // namespace
