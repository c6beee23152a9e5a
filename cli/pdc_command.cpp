// orvane pdc: a small phasor data concentrator. Connects to a PMU over TCP,
// asks for its configuration, turns data frames on and prints every report
// as a CSV row.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_options.h"
#include "cli/command_registry.h"
#include "cli/host_port.h"
#include "cli/tcp_client.h"
#include "io/c37118/command_frame.h"
#include "io/c37118/config_frame.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/frame_assembler.h"
#include "io/c37118/report_text.h"

namespace {

constexpr const char* kUsage =
    "usage: orvane pdc HOST:PORT [--idcode N] [--count N] [--timeout S] [--cfg3] [--header]\n"
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
    "options:\n"
    "  --idcode N    IDCODE of the stream to address, 1..65534 (default 1)\n"
    "  --count N     stop after N data frames (default: until the stream ends)\n"
    "  --timeout S   give up when no frame arrives for S seconds (default 10)\n"
    "  --cfg3        request CFG-3 instead of CFG-2\n"
    "  --header      also request the header frame and print its text\n"
    "  --help        this text\n"
    "\n"
    "exit status: 0 done (count reached, stream ended or Ctrl-C), 1 connection or\n"
    "stream failure, 2 usage\n";

volatile std::sig_atomic_t gStopRequested = 0;

void requestStop(int) { gStopRequested = 1; }

int usageError(const std::string& message) {
    std::fprintf(stderr, "orvane pdc: %s\n(try 'orvane pdc --help')\n", message.c_str());
    return 2;
}

class PdcSession {
public:
    PdcSession(int fd, uint16_t idCode, std::string server) : fd_(fd), idCode_(idCode), server_(std::move(server)) {}

    bool sendCommand(uint16_t command) {
        CommandFrame frame;
        frame.idCode = idCode_;
        frame.command = command;
        std::string error;
        encodeCommandFrame(frame, buffer_, error);
        size_t sent = 0;
        while (sent < buffer_.size()) {
            const ssize_t n = send(fd_, buffer_.data() + sent, buffer_.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return fail(std::string("cannot send the command: ") + std::strerror(errno));
            sent += static_cast<size_t>(n);
        }
        return true;
    }

    // Handles one frame from the PMU; false when the stream cannot go on.
    bool handle(const std::vector<uint8_t>& frame, const FrameHeader& header) {
        std::string error;
        switch (header.type) {
        case FrameType::Config1:
        case FrameType::Config2:
        case FrameType::Config3: {
            ConfigFrame config;
            if (!decodeConfigFrame(frame, config, error)) return fail("bad configuration frame: " + error);
            std::fprintf(stderr, "orvane pdc: %s\n", describeConfig(config).c_str());
            const bool first = !haveConfig_;
            config_ = config;
            haveConfig_ = true;
            awaitingConfig_ = false;
            if (first) {
                std::printf("%s\n", dataCsvHeader(config_).c_str());
                std::fflush(stdout);
                return sendCommand(kCommandDataOn);
            }
            return true;
        }
        case FrameType::Header: {
            HeaderFrame text;
            if (!decodeHeaderFrame(frame, text, error)) return fail("bad header frame: " + error);
            std::fprintf(stderr, "orvane pdc: header: %s\n", text.text.c_str());
            return true;
        }
        case FrameType::Data: {
            if (!haveConfig_) {
                std::fprintf(stderr, "orvane pdc: skipped a data frame that came before any configuration\n");
                return true;
            }
            if (!decodeDataFrame(frame, config_, data_, error)) return fail("bad data frame: " + error);
            rows_.clear();
            appendDataRows(config_, data_, rows_);
            std::fputs(rows_.c_str(), stdout);
            std::fflush(stdout);
            ++dataFrames_;
            bool changed = false;
            for (const PmuData& pmu : data_.pmus) changed = changed || (pmu.stat & kStatConfigChange) != 0;
            // The bit stays set while a change is pending and until this
            // PDC has the new configuration: ask again at most once a second.
            const auto now = std::chrono::steady_clock::now();
            if (changed && !awaitingConfig_ && now - lastRequest_ >= std::chrono::seconds(1)) {
                std::fprintf(stderr, "orvane pdc: the PMU signals a configuration change; requesting it again\n");
                awaitingConfig_ = true;
                lastRequest_ = now;
                return sendCommand(configCommand_);
            }
            return true;
        }
        case FrameType::Command: return fail("the PMU sent a command frame, which only a PDC sends");
        }
        return true;
    }

    bool fail(const std::string& message) {
        error_ = server_ + ": " + message;
        return false;
    }

    void setConfigCommand(uint16_t command) { configCommand_ = command; }
    uint64_t dataFrames() const { return dataFrames_; }
    bool haveConfig() const { return haveConfig_; }
    const std::string& error() const { return error_; }

private:
    int fd_;
    uint16_t idCode_;
    std::string server_;
    uint16_t configCommand_ = kCommandSendConfig2;
    std::vector<uint8_t> buffer_;
    ConfigFrame config_;
    DataFrame data_;
    std::string rows_;
    bool haveConfig_ = false;
    bool awaitingConfig_ = false;
    std::chrono::steady_clock::time_point lastRequest_ = std::chrono::steady_clock::now();
    uint64_t dataFrames_ = 0;
    std::string error_;
};

int pdcCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    // The one positional argument is the address; everything else is an
    // option, with the value of those that take one.
    std::vector<std::string> optionArgs;
    std::string target;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg.rfind("--", 0) == 0) {
            optionArgs.push_back(arg);
            const bool takesValue = arg == "--idcode" || arg == "--count" || arg == "--timeout";
            if (takesValue && i + 1 < args.size()) optionArgs.push_back(args[++i]);
        } else if (target.empty()) {
            target = arg;
        } else {
            optionArgs.push_back(arg);
        }
    }
    if (target.empty()) return usageError("give the PMU's address, HOST:PORT (e.g. 127.0.0.1:4712)");
    const std::vector<OptionSpec> accepted = {
        {"idcode", true}, {"count", true}, {"timeout", true}, {"cfg3", false}, {"header", false},
    };
    CommandOptions options;
    std::string error;
    if (!options.parse(optionArgs, accepted, error)) return usageError(error);
    HostPort address;
    if (!parseHostPort(target, "address", address, error)) return usageError(error);
    int64_t idCode = 1;
    int64_t count = 0;
    double timeout = 10.0;
    if (!options.integer("idcode", 1, 65534, idCode, error) || !options.integer("count", 1, INT64_MAX, count, error) ||
        !options.number("timeout", timeout, error)) {
        return usageError(error);
    }
    if (!(timeout > 0.0 && timeout <= 86400.0)) return usageError("option '--timeout' must lie in 0..86400 seconds");

    const int fd = connectTcp(address, static_cast<int>(timeout * 1000.0), error);
    if (fd < 0) {
        std::fprintf(stderr, "orvane pdc: %s\n", error.c_str());
        return 1;
    }
    struct sigaction action{};
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    PdcSession session(fd, static_cast<uint16_t>(idCode), formatHostPort(address));
    session.setConfigCommand(options.has("cfg3") ? kCommandSendConfig3 : kCommandSendConfig2);
    bool ok = (!options.has("header") || session.sendCommand(kCommandSendHeader)) &&
              session.sendCommand(options.has("cfg3") ? kCommandSendConfig3 : kCommandSendConfig2);
    FrameAssembler assembler;
    std::vector<uint8_t> frame;
    auto lastFrame = std::chrono::steady_clock::now();
    bool ended = false;
    while (ok && gStopRequested == 0 && !ended && (count == 0 || session.dataFrames() < static_cast<uint64_t>(count))) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, 100);
        if (ready <= 0) {
            const double quiet = std::chrono::duration<double>(std::chrono::steady_clock::now() - lastFrame).count();
            if (quiet > timeout) ok = session.fail("no frame for " + std::to_string(static_cast<int>(timeout)) + " s");
            continue;
        }
        uint8_t bytes[8192];
        const ssize_t n = recv(fd, bytes, sizeof bytes, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ended = true;
            if (n < 0) ok = session.fail(std::string("connection failed: ") + std::strerror(errno));
            break;
        }
        lastFrame = std::chrono::steady_clock::now();
        assembler.append(std::span<const uint8_t>(bytes, static_cast<size_t>(n)));
        FrameHeader header;
        FrameAssembler::Result result;
        while (ok && (result = assembler.next(frame, header)) == FrameAssembler::Result::Frame) {
            ok = session.handle(frame, header);
            if (count != 0 && session.dataFrames() >= static_cast<uint64_t>(count)) break;
        }
        if (ok && result == FrameAssembler::Result::Failed) ok = session.fail("bad stream: " + assembler.error());
    }
    if (!ended) session.sendCommand(kCommandDataOff);
    close(fd);
    if (!ok) {
        std::fprintf(stderr, "orvane pdc: %s\n", session.error().c_str());
        return 1;
    }
    if (!session.haveConfig()) {
        std::fprintf(stderr, "orvane pdc: %s closed the connection before sending a configuration\n",
                     formatHostPort(address).c_str());
        return 1;
    }
    if (ended) {
        std::fprintf(stderr, "orvane pdc: the PMU ended the stream after %llu data frames\n",
                     static_cast<unsigned long long>(session.dataFrames()));
    }
    return 0;
}

const CommandRegistration kRegistration({"pdc", "connect to a C37.118.2 PMU over TCP and print its reports",
                                         pdcCommand});

}  // namespace
