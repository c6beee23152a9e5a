// orvane pdc: a small phasor data concentrator. Connects to a PMU over TCP,
// asks for its configuration, turns data frames on and prints every report
// as a CSV row.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cli/options.h"
#include "io/c37118/command_frame.h"
#include "io/c37118/pdc_session.h"
#include "net/host_port.h"
#include "net/tcp_client.h"
#include "web/live_server.h"

namespace {

struct PdcOptions {
    std::string target;
    int64_t idCode = 1;
    int64_t count = 0;
    double timeout = 10.0;
    bool cfg3 = false;
    bool header = false;
    CLI::Option* http = nullptr;
    std::string httpAddress;
};

volatile std::sig_atomic_t gStopRequested = 0;

void requestStop(int) { gStopRequested = 1; }

int pdcCommand(const PdcOptions& o) {
    if (o.target.empty()) throw UsageError("give the PMU's address, HOST:PORT (e.g. 127.0.0.1:4712)");
    HostPort address;
    std::string error;
    if (!parseHostPort(o.target, "address", address, error)) throw UsageError(error);
    if (!(o.timeout > 0.0 && o.timeout <= 86400.0)) throw UsageError("option '--timeout' must lie in 0..86400 seconds");
    HostPort httpAddress;
    const bool live = o.http->count() > 0;
    if (live && !parseHostPort(o.httpAddress.empty() ? kDefaultLiveAddress : o.httpAddress, "option '--http'",
                               httpAddress, error))
        throw UsageError(error);

    // The live view listens before the PMU is asked for anything, so that a
    // taken port fails before any output.
    LiveState liveState;
    LiveServer liveServer(liveState);
    if (live) {
        if (!liveServer.start(httpAddress, error)) return failWith(1, error);
        note("live view on http://" + formatHostPort(liveServer.address()) + "/");
    }

    const int fd = connectTcp(address, static_cast<int>(o.timeout * 1000.0), error);
    if (fd < 0) return failWith(1, error);
    struct sigaction action{};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    const std::string server = formatHostPort(address);
    const uint16_t configCommand = o.cfg3 ? kCommandSendConfig3 : kCommandSendConfig2;
    PdcSession session(static_cast<uint16_t>(o.idCode), configCommand);
    if (live) session.observe(&liveState);
    std::vector<uint8_t> out;
    if (o.header) session.command(kCommandSendHeader, out);
    session.command(configCommand, out);
    bool ok = sendAllTcp(fd, out, error);
    if (!ok) error = "cannot send the command: " + error;
    const uint64_t count = static_cast<uint64_t>(o.count);
    auto lastFrame = std::chrono::steady_clock::now();
    bool ended = false;
    std::string rows;
    std::vector<std::string> notes;
    while (ok && gStopRequested == 0 && !ended && (count == 0 || session.dataFrames() < count)) {
        uint8_t bytes[8192];
        const long n = receiveTcp(fd, bytes, 100, error);
        if (n == 0) {
            const double quiet = std::chrono::duration<double>(std::chrono::steady_clock::now() - lastFrame).count();
            if (quiet > o.timeout) {
                ok = false;
                error = "no frame for " + std::to_string(static_cast<int>(o.timeout)) + " s";
            }
            continue;
        }
        if (n < 0) {
            ended = true;
            if (n == -2) {
                ok = false;
                error = "connection failed: " + error;
            }
            break;
        }
        lastFrame = std::chrono::steady_clock::now();
        out.clear();
        rows.clear();
        notes.clear();
        ok = session.receive(std::span<const uint8_t>(bytes, static_cast<size_t>(n)), count, out, rows, notes);
        for (const std::string& line : notes) note(line);
        std::fputs(rows.c_str(), stdout);
        std::fflush(stdout);
        if (!ok) {
            error = session.error();
        } else if (!out.empty() && !sendAllTcp(fd, out, error)) {
            ok = false;
            error = "cannot send the command: " + error;
        }
    }
    if (!ended) {
        out.clear();
        session.command(kCommandDataOff, out);
        std::string ignored;
        sendAllTcp(fd, out, ignored);
    }
    close(fd);
    liveServer.stop();
    if (!ok) return failWith(1, server + ": " + error);
    if (!session.haveConfig()) return failWith(1, server + " closed the connection before sending a configuration");
    if (ended) note("the PMU ended the stream after " + std::to_string(session.dataFrames()) + " data frames");
    return 0;
}

Command setup(CLI::App& root) {
    auto o = std::make_shared<PdcOptions>();
    CLI::App* app = root.add_subcommand("pdc", "connect to a C37.118.2 PMU over TCP and print its reports");
    describe(app, 
        "usage: orvane pdc HOST:PORT [--idcode N] [--count N] [--timeout S] [--cfg3] [--header]\n"
        "                           [--http [ADDR:PORT]]\n"
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
        "--http serves a live view of the stream to a browser while the PDC runs:\n"
        "phasor diagrams, strip charts of frequency, ROCOF and magnitude, the\n"
        "stream's health and its configuration. Without an address it listens on\n"
        "127.0.0.1:8080 (this machine only); open the address it prints.\n");
    app->add_option("address", o->target, "the PMU's address, e.g. 127.0.0.1:4712")->type_name("HOST:PORT");
    addInteger(app, "--idcode", 1, 65534, o->idCode, "IDCODE of the stream to address, 1..65534 (default 1)");
    addInteger(app, "--count", 1, INT64_MAX, o->count, "stop after N data frames (default: until the stream ends)");
    addNumber(app, "--timeout", o->timeout, "give up when no frame arrives for S seconds (default 10)")->type_name("S");
    app->add_flag("--cfg3", o->cfg3, "request CFG-3 instead of CFG-2");
    app->add_flag("--header", o->header, "also request the header frame and print its text");
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
