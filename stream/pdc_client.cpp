#include "stream/pdc_client.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "io/c37118/command_frame.h"
#include "net/tcp_client.h"

namespace {

// Waits for a reconnection attempt: 0.25 s, doubling to at most 8 s.
double nextBackoff(double backoff) { return backoff < 0.25 ? 0.25 : (backoff * 2 > 8.0 ? 8.0 : backoff * 2); }

// How long a command waits for its reply before the next one goes.
constexpr double kReplyWait = 2.0;

std::string formatSeconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

double secondsSince(std::chrono::steady_clock::time_point then) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - then).count();
}

}  // namespace

PdcClient::PdcClient(const PdcSettings& settings, std::function<void(const std::string&)> note,
                     std::function<void(const std::string&)> rows)
    : settings_(settings), note_(std::move(note)), rows_(std::move(rows)) {}

bool PdcClient::openUdp(std::string& error) {
    if (settings_.overUdp) {
        if (!resolveUdpPeer(settings_.pmu, pmuPeer_, error)) return false;
        HostPort any{pmuPeer_.storage.ss_family == AF_INET6 ? "::" : "0.0.0.0", 0};
        return udp_.open(any, settings_.multicastInterface, error);
    }
    if (settings_.udpLocal) return udp_.open(*settings_.udpLocal, settings_.multicastInterface, error);
    return true;
}

void PdcClient::sleepSeconds(double seconds, volatile std::sig_atomic_t& stop) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (stop == 0 && std::chrono::steady_clock::now() < until) usleep(20000);
}

bool PdcClient::sendCommands(std::string& why) {
    if (out_.empty() || settings_.listenOnly) return true;
    const bool sent = fd_ >= 0 ? sendAllTcp(fd_, out_, why) : udp_.send(out_, pmuPeer_, why);
    if (!sent) why = "cannot send the command: " + why;
    return sent;
}

FaultKind PdcClient::run(volatile std::sig_atomic_t& stop, std::string& error) {
    const PdcSettings& o = settings_;
    const std::string server = o.listenOnly ? "UDP " + formatHostPort(*o.udpLocal) : formatHostPort(o.pmu);
    if (!o.overUdp && !o.listenOnly) {
        fd_ = connectTcp(o.pmu, static_cast<int>(o.timeout * 1000.0), error);
        while (fd_ < 0 && o.reconnect && stop == 0) {
            note_(error + "; trying again");
            sleepSeconds(1.0, stop);
            fd_ = connectTcp(o.pmu, static_cast<int>(o.timeout * 1000.0), error);
        }
        if (fd_ < 0) return FaultKind::Failed;
    }
    const uint16_t configCommand = o.cfg3 ? kCommandSendConfig3 : kCommandSendConfig2;
    PdcSession session(o.idCode, configCommand);
    session.observe(observer_);
    // One command at a time: a PMU that reads one frame per receive would
    // lose the second of two sent together. The header request waits for
    // its frame (or kReplyWait) before the configuration is asked for.
    const double replyWait = std::min(kReplyWait, o.timeout / 2.0);
    bool configAsked = o.listenOnly;
    if (o.header && !o.listenOnly) {
        session.command(kCommandSendHeader, out_);
    } else if (!o.listenOnly) {
        session.command(configCommand, out_);
        configAsked = true;
    }
    if (o.listenOnly) {
        note_("listening on " + server + " for a PMU that sends on its own; waiting for its configuration frame");
    }
    bool ok = sendCommands(error);
    const auto started = std::chrono::steady_clock::now();
    auto lastFrame = started;
    bool ended = false;
    double backoff = 0.0;
    uint64_t reconnections = 0;
    std::string rows;
    std::vector<std::string> notes;
    std::vector<uint8_t> bytes(65536);
    while (ok && stop == 0 && !ended && (o.count == 0 || session.dataFrames() < o.count)) {
        Received got;
        bool datagram = false;
        if (fd_ >= 0) got = receiveTcp(fd_, std::span<uint8_t>(bytes.data(), 8192), udp_.fd() >= 0 ? 20 : 100, error);
        if (got.outcome == ReceiveOutcome::Nothing && udp_.fd() >= 0) {
            UdpPeer from;
            got = udp_.receive(bytes, from, fd_ >= 0 ? 20 : 100, error);
            datagram = true;
            if (got.outcome == ReceiveOutcome::TooLong) {
                note_("skipped a datagram: " + error);
                got = {};
            } else if (got.outcome == ReceiveOutcome::Failed) {
                // The socket itself failed: nothing more will come on it.
                ok = false;
                break;
            } else if (got.size == 0) {
                got = {};  // an empty datagram carries no frame
            }
        }
        if (!configAsked && ok && (session.headerFrames() > 0 || secondsSince(started) > replyWait)) {
            if (session.headerFrames() == 0) {
                note_("no header frame within " + formatSeconds(replyWait) + "; asking for the configuration");
            }
            out_.clear();
            session.command(configCommand, out_);
            configAsked = true;
            ok = sendCommands(error);
        }
        const double quiet = secondsSince(lastFrame);
        if (got.outcome == ReceiveOutcome::Nothing) {
            if (quiet > o.timeout) {
                ok = false;
                error = "no frame for " + formatSeconds(o.timeout);
                if (!session.haveConfig() && session.skippedBeforeConfig() == 0 && o.listenOnly) {
                    error += " (nothing arrived: is the PMU sending to this address?)";
                }
            } else if (o.overUdp && (o.reconnect || !session.haveConfig()) && quiet > nextBackoff(backoff) + backoff) {
                // A datagram may be lost and UDP has no connection to lose:
                // ask again, less and less often.
                backoff = nextBackoff(backoff);
                out_.clear();
                session.restart(out_);
                ok = sendCommands(error);
            }
            continue;
        }
        if (got.outcome != ReceiveOutcome::Data) {
            const bool failed = got.outcome == ReceiveOutcome::Failed;
            if (failed) error = "connection failed: " + error;
            if (!o.reconnect) {
                ended = true;
                if (failed) ok = false;
                break;
            }
            // The PMU went away: connect again with growing pauses, until
            // the timeout passes without a frame.
            close(fd_);
            fd_ = -1;
            note_("lost the connection to " + server + (failed ? " (" + error + ")" : "") + "; reconnecting");
            while (fd_ < 0 && stop == 0) {
                backoff = nextBackoff(backoff);
                sleepSeconds(backoff, stop);
                if (secondsSince(lastFrame) > o.timeout) break;
                fd_ = connectTcp(o.pmu, 1000, error);
            }
            if (fd_ < 0) {
                if (stop != 0) break;
                ok = false;
                error = "could not reconnect within " + std::to_string(static_cast<int>(o.timeout)) + " s: " + error;
                break;
            }
            ++reconnections;
            note_("reconnected to " + server + "; requesting the configuration again");
            out_.clear();
            session.restart(out_);
            ok = sendCommands(error);
            continue;
        }
        lastFrame = std::chrono::steady_clock::now();
        backoff = 0.0;
        out_.clear();
        rows.clear();
        notes.clear();
        const std::span<const uint8_t> received(bytes.data(), got.size);
        ok = datagram ? session.receiveDatagram(received, o.count, out_, rows, notes)
                      : session.receive(received, o.count, out_, rows, notes);
        for (const std::string& line : notes) note_(line);
        rows_(rows);
        if (!ok) {
            error = session.error();
        } else {
            ok = sendCommands(error);
        }
    }
    if (!ended && !o.listenOnly && (fd_ >= 0 || o.overUdp)) {
        out_.clear();
        session.command(kCommandDataOff, out_);
        std::string ignored;
        sendCommands(ignored);
    }
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (session.blocksNotToUse() != 0) {
        note_(std::to_string(session.blocksNotToUse()) + " PMU blocks were flagged 'do not use' (STAT bits 15-14)");
    }
    if (reconnections != 0) note_("reconnected " + std::to_string(reconnections) + " times");
    if (!ok) {
        error = server + ": " + error;
        return FaultKind::Failed;
    }
    if (!session.haveConfig()) {
        error = server + " closed the connection before sending a configuration";
        return FaultKind::Failed;
    }
    if (ended) note_("the PMU ended the stream after " + std::to_string(session.dataFrames()) + " data frames");
    return FaultKind::None;
}
