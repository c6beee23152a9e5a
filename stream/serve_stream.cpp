#include "stream/serve_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "io/run_description.h"

namespace {

// Unpaced streams wait while a receiver has this much unsent.
constexpr size_t kUnpacedBacklog = 256u << 10;
// Longest wait in poll() while the stream runs: keeps Ctrl-C and pacing
// responsive.
constexpr int kMaxPollMs = 50;
constexpr int kIdlePollMs = 200;
// Command datagrams are small; anything longer is refused as too long.
constexpr size_t kMaxDatagram = 65536;
constexpr size_t kMaxUdpPeers = 256;

std::string blockName(size_t k) { return "PMU block " + std::to_string(k + 1); }

std::string describeSpan(double seconds) {
    char text[64];
    if (seconds >= 2 * 86400.0) {
        std::snprintf(text, sizeof text, "%.0f days", seconds / 86400.0);
    } else {
        std::snprintf(text, sizeof text, "%.3f s", seconds);
    }
    return text;
}

int64_t realtimeNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

}  // namespace

void LatencyHistogram::add(int64_t nanoseconds) {
    const int64_t bin = std::clamp<int64_t>(nanoseconds / kBinNs, 0, static_cast<int64_t>(kBins) - 1);
    ++bins_[static_cast<std::size_t>(bin)];
    ++count_;
}

double LatencyHistogram::quantile(double q) const {
    const double wanted = std::ceil(q * static_cast<double>(count_));
    uint64_t seen = 0;
    for (std::size_t b = 0; b < kBins; ++b) {
        seen += bins_[b];
        if (static_cast<double>(seen) >= wanted && seen > 0) return static_cast<double>((b + 1) * kBinNs) * 1e-9;
    }
    return static_cast<double>(kBins * kBinNs) * 1e-9;
}

ServeStream::ServeStream(std::vector<ServeInput> inputs, double sampleRate, std::vector<StreamSettings> blocks,
                         uint16_t streamIdCode, bool paced, std::function<void(const std::string&)> log)
    : sampleRate_(sampleRate),
      blockSettings_(std::move(blocks)),
      streamIdCode_(streamIdCode),
      paced_(paced),
      log_(std::move(log)) {
    for (size_t k = 0; k < inputs.size(); ++k) {
        Input input;
        input.road = inputs[k];
        input.block = PmuBlockStep(sampleRate);
        if (k < blockSettings_.size()) input.block.setUnsynchronised(!blockSettings_[k].synchronised);
        inputs_.push_back(input);
    }
}

ServeStream::ServeStream(SampleSource& source, BlockDriver& driver, double sampleRate, const StreamSettings& settings,
                         bool paced, std::function<void(const std::string&)> log)
    : ServeStream({ServeInput{&source, &driver}}, sampleRate, {settings}, settings.idCode, paced, std::move(log)) {}

bool ServeStream::fail(FaultKind fault, const std::string& message) {
    fault_ = fault;
    error_ = message;
    return false;
}

bool ServeStream::prepare() {
    for (size_t k = 0; k < inputs_.size(); ++k) {
        Input& input = inputs_[k];
        SampleSource& source = *input.road.source;
        const SampleSource::Status status = source.next(input.in);
        if (status == SampleSource::Status::Error) return fail(FaultKind::BadInput, source.error());
        if (status == SampleSource::Status::End) return fail(FaultKind::BadInput, source.name() + ": no samples to serve");
        input.havePending = true;
        input.lastNominal = input.in.nominalFrequency;
        blockSettings_[k].nominalFrequency = input.in.nominalFrequency;
    }
    // Every block's Time counts from its own origin (a recording's UTC
    // midnight, 1970 for a signal or a sample CSV); the blocks are lined up
    // on UTC. Inputs whose first samples lie far apart could only meet
    // after the one behind ran through all that lies between, or never:
    // refused, with both starts.
    for (size_t k = 1; k < inputs_.size(); ++k) {
        const double apart = utcAheadOfLead(k);
        if (std::fabs(apart) > kMostSecondsApart) {
            return fail(FaultKind::BadInput, blockName(k) + " (" + inputs_[k].road.source->name() + ") starts at " +
                               utcText(blockSettings_[k].timeOffset, inputs_[k].in.time) + ", " +
                               blockName(0) + " (" + inputs_[0].road.source->name() + ") at " +
                               utcText(blockSettings_[0].timeOffset, inputs_[0].in.time) +
                               ": their blocks cannot be lined up on UTC (" + describeSpan(std::fabs(apart)) +
                               " apart, at most " + std::to_string(static_cast<int>(kMostSecondsApart)) +
                               " s allowed); a built-in signal starts at its --start-time in seconds since 1970 (give "
                               "the other input's start), or serve them apart");
        }
    }
    std::string problem;
    if (!framer_.configure(blockSettings_, streamIdCode_, problem)) {
        return fail(FaultKind::BadInput, inputs_[0].road.source->name() + ": first sample: " + problem);
    }
    framer_.setTime(inputs_[0].in.time);
    for (Input& input : inputs_) {
        if (!input.road.driver->start()) return fail(FaultKind::Failed, "the block did not start: " + input.road.driver->error());
    }
    return true;
}

bool ServeStream::openUdp(const UdpTransports& roads, std::string& error) {
    roads_ = roads;
    if (roads.commands) {
        udpCommands_ = std::make_unique<UdpSocket>();
        if (!udpCommands_->open(*roads.commands, roads.multicastInterface, error)) return false;
    }
    if (roads.dataTo) {
        if (!resolveUdpPeer(*roads.dataTo, dataTo_, error)) return false;
        udpData_ = std::make_unique<UdpSocket>();
        if (!udpData_->openFor(dataTo_, roads.ttl, roads.multicastInterface, error)) return false;
    }
    return true;
}

void ServeStream::connected(TcpServer::ClientId client, const std::string& peer) {
    clients_.emplace(client, Client{PmuConnection(framer_), peer});
    log_("client " + peer + " connected");
}

void ServeStream::received(TcpServer::ClientId client, std::span<const uint8_t> bytes) {
    auto found = clients_.find(client);
    if (found == clients_.end()) return;
    PmuConnection& connection = found->second.connection;
    reply_.clear();
    notes_.clear();
    const bool ok = connection.receive(bytes, reply_, notes_);
    for (const std::string& note : notes_) {
        log_("client " + found->second.peer + ": " + note);
    }
    if (!reply_.empty()) server_->send(client, reply_);
    if (!ok) server_->drop(client, "sent a bad frame: " + connection.error());
}

void ServeStream::disconnected(TcpServer::ClientId client, const std::string& reason) {
    auto found = clients_.find(client);
    if (found == clients_.end()) return;
    log_("client " + found->second.peer + " disconnected: " + reason);
    clients_.erase(found);
}

void ServeStream::readable(int fd) {
    if (!udpCommands_ || fd != udpCommands_->fd()) return;
    datagram_.resize(kMaxDatagram);
    // A bounded number per call, so that a flood cannot starve the stream.
    for (int k = 0; k < 64; ++k) {
        UdpPeer from;
        std::string error;
        const Received got = udpCommands_->receive(datagram_, from, 0, error);
        if (got.outcome == ReceiveOutcome::Nothing || (got.outcome == ReceiveOutcome::Data && got.size == 0)) return;
        if (got.outcome != ReceiveOutcome::Data) {
            log_("UDP: refused a datagram: " + error);
            if (got.outcome == ReceiveOutcome::Failed) return;
            continue;
        }
        auto found = udpPeers_.find(from);
        if (found == udpPeers_.end()) found = udpPeers_.emplace(from, PmuConnection(framer_)).first;
        const std::string peer = "UDP client " + formatUdpPeer(from);
        reply_.clear();
        notes_.clear();
        const bool ok =
            found->second.receiveDatagram(std::span<const uint8_t>(datagram_.data(), got.size), reply_,
                                          notes_);
        for (const std::string& note : notes_) log_(peer + ": " + note);
        if (!reply_.empty()) sendUdp(reply_, from);
        if (!ok) log_(peer + ": refused a datagram: " + found->second.error());
        // A peer keeps its state while it has data on or was sent a
        // configuration (what it knows decides STAT bit 10), within a bound
        // so that strangers cannot grow the table.
        if (!found->second.dataOn() && (!found->second.configSent() || udpPeers_.size() > kMaxUdpPeers)) {
            udpPeers_.erase(found);
        }
    }
}

void ServeStream::sendUdp(const std::vector<uint8_t>& frames, const UdpPeer& to) {
    // One frame per datagram: receivers take a datagram as one frame.
    size_t at = 0;
    while (at + 4 <= frames.size()) {
        const size_t size = (static_cast<size_t>(frames[at + 2]) << 8) | frames[at + 3];
        if (size < 4 || at + size > frames.size()) break;
        std::string error;
        UdpSocket& socket = (udpData_ && to == dataTo_) || !udpCommands_ ? *udpData_ : *udpCommands_;
        if (socket.send(std::span<const uint8_t>(frames.data() + at, size), to, error)) {
            ++udpSent_;
        } else {
            ++udpLost_;
        }
        at += size;
    }
}

bool ServeStream::tcpReceivers() const {
    for (const auto& [id, client] : clients_) {
        if (client.connection.dataOn()) return true;
    }
    return false;
}

bool ServeStream::receiversWaiting() const {
    if (udpData_ && !roads_.onCommand) return true;
    if (tcpReceivers()) return true;
    for (const auto& [peer, connection] : udpPeers_) {
        if (connection.dataOn()) return true;
    }
    return false;
}

size_t ServeStream::largestQueue() const {
    size_t largest = 0;
    for (const auto& [id, client] : clients_) {
        if (client.connection.dataOn()) largest = std::max(largest, server_->queued(id));
    }
    return largest;
}

double ServeStream::utcAheadOfLead(size_t k) const {
    // Origins are whole seconds apart (or near it): their difference first,
    // so that the fractions of the Times keep their digits.
    return (blockSettings_[k].timeOffset - blockSettings_[0].timeOffset) + (inputs_[k].in.time - inputs_[0].in.time);
}

bool ServeStream::stepFollower(size_t k) {
    // A follower steps every sample of its own that lies less than one and
    // a half sample periods after the lead's on UTC: it runs one sample
    // ahead, so that it has reported every instant the lead has even where
    // an instant falls on a sample and the rounding of its Time (2.4e-7 s
    // at a Unix time) puts its strobe one sample later than the lead's.
    // One sample a call once they run side by side, none while it starts
    // later, its catch-up while it started earlier (bounded by
    // kMostSecondsApart). Instants lie at least three samples apart within
    // every build's reporting capacity, so the one ahead never reports the
    // next instant before the lead's frame goes.
    const double period = 1.0 / sampleRate_;
    Input& input = inputs_[k];
    while (!input.ended) {
        if (!input.havePending) {
            const SampleSource::Status status = input.road.source->next(input.in);
            if (status != SampleSource::Status::Sample) {
                input.ended = true;
                framer_.endBlock(k);
                log_(blockName(k) + " (" + input.road.source->name() + ") " +
                     (status == SampleSource::Status::End ? "ended" : "failed: " + input.road.source->error()) +
                     "; its block is absent from now on");
                return true;
            }
            input.havePending = true;
        }
        if (utcAheadOfLead(k) >= 1.5 * period) return true;
        stepFollowerSample(k);
    }
    return true;
}

void ServeStream::stepFollowerSample(size_t k) {
    Input& input = inputs_[k];
    input.havePending = false;
    std::string problem;
    if (input.in.nominalFrequency != input.lastNominal) problem = nominalFrequencyProblem(input.in.nominalFrequency);
    ReportQuality quality = 0;
    if (problem.empty()) {
        bool afterNonFinite = false;
        const PmuBlockStep::Result result =
            input.block.step(*input.road.driver, input.in, input.out, input.road.source->sampleQuality(),
                             input.road.source->sampleRestarts(), quality, afterNonFinite);
        if (afterNonFinite) noteNonFiniteRestart(input, k);
        if (result == PmuBlockStep::Result::RestartFailed) {
            problem = "did not start again: " + input.road.driver->error();
        } else if (result == PmuBlockStep::Result::StepFailed) {
            problem = input.road.driver->error();
        }
    }
    if (problem.empty() && input.out.reportStrobe) {
        problem = framer_.takeReport(k, input.out, input.in.reportRate, input.in.nominalFrequency, quality).problem;
    }
    input.lastNominal = input.in.nominalFrequency;
    if (!problem.empty()) {
        input.ended = true;
        framer_.endBlock(k);
        log_(blockName(k) + " (" + input.road.source->name() + ") stopped: " + problem +
             "; its block is absent from now on");
    }
}

bool ServeStream::step() {
    Input& lead = inputs_[0];
    SampleSource& source = *lead.road.source;
    if (!lead.havePending) {
        const SampleSource::Status status = source.next(lead.in);
        if (status == SampleSource::Status::End) {
            ended_ = true;
            return false;
        }
        if (status == SampleSource::Status::Error) return fail(FaultKind::BadInput, source.error());
    }
    lead.havePending = false;
    return stepTaken(source.sampleQuality(), source.sampleRestarts());
}

void ServeStream::drainFeed() {
    Input& lead = inputs_[0];
    while (fault_ == FaultKind::None) {
        switch (feed_->take(live_)) {
            case LiveSampleFeed::Take::Sample:
                lead.in = live_.in;
                captureNs_ = live_.captureNs;
                if (!stepTaken(live_.quality, live_.restart)) return;
                break;
            case LiveSampleFeed::Take::Empty: return;
            case LiveSampleFeed::Take::End: ended_ = true; return;
            case LiveSampleFeed::Take::Error: fail(FaultKind::BadInput, feed_->error()); return;
        }
    }
}

void ServeStream::noteNonFiniteRestart(const Input& input, size_t block) {
    if (++nonFiniteRestarts_ <= 5) {
        log_(blockName(block) + " (" + input.road.source->name() + "): the block started afresh at time " +
             describeTime(input.in.time) + " after non-finite input; its reports since were flagged");
    }
}

bool ServeStream::stepTaken(ReportQuality quality, bool restart) {
    Input& lead = inputs_[0];
    SampleSource& source = *lead.road.source;
    if (lead.in.nominalFrequency != lead.lastNominal) {
        const std::string problem = nominalFrequencyProblem(lead.in.nominalFrequency);
        if (!problem.empty()) {
            return fail(FaultKind::BadInput, source.name() + ": sample " + std::to_string(samples_ + 1) + " (time " +
                               describeTime(lead.in.time) + "): " + problem);
        }
        lead.lastNominal = lead.in.nominalFrequency;
    }
    ReportQuality word = 0;
    bool afterNonFinite = false;
    const PmuBlockStep::Result result =
        lead.block.step(*lead.road.driver, lead.in, lead.out, quality, restart, word, afterNonFinite);
    if (afterNonFinite) noteNonFiniteRestart(lead, 0);
    if (result != PmuBlockStep::Result::Stepped) {
        return fail(FaultKind::Failed, describeBlockFailure(source.name(),
                                            result == PmuBlockStep::Result::StepFailed ? "stopped" : "did not start again",
                                            samples_ + 1, lead.in.time, lead.road.driver->error()));
    }
    ++samples_;
    // The other blocks step the same sample instant before the frame goes.
    for (size_t k = 1; k < inputs_.size(); ++k) stepFollower(k);
    if (lead.out.reportStrobe) {
        const TakenReport taken =
            framer_.takeReport(0, lead.out, lead.in.reportRate, lead.in.nominalFrequency, word);
        if (!taken.framed()) return fail(FaultKind::BadInput, source.name() + ": " + taken.problem);
        ++reports_;
        broadcast();
    }
    return true;
}

void ServeStream::resendConfigIfDue() {
    // Also in mixed mode: a receiver (or a capture) of the UDP data alone
    // can then decode it.
    if (!udpData_) return;
    const Clock::time_point now = Clock::now();
    const bool changed = dataToConfigCount_ != framer_.configCount();
    if (configEverSent_ && !changed && now - lastConfigSent_ < std::chrono::duration<double>(roads_.configInterval)) {
        return;
    }
    std::vector<uint8_t> config;
    framer_.encodeConfig(FrameType::Config2, config);
    sendUdp(config, dataTo_);
    dataToConfigCount_ = framer_.configCount();
    lastConfigSent_ = now;
    configEverSent_ = true;
}

void ServeStream::broadcast() {
    bool sent = false;
    bool plainReady = false;
    bool flaggedReady = false;
    // Frames differ only by the configuration-change bit: encode each
    // variant once, whatever the number of clients.
    auto frameFor = [&](uint16_t knownConfigCount) -> const std::vector<uint8_t>& {
        if (framer_.configChangeFlagFor(knownConfigCount)) {
            if (!flaggedReady) framer_.encodeData(true, frameFlagged_);
            flaggedReady = true;
            return frameFlagged_;
        }
        if (!plainReady) framer_.encodeData(false, framePlain_);
        plainReady = true;
        return framePlain_;
    };
    const bool mixed = udpData_ && roads_.onCommand;
    for (const auto& [id, client] : clients_) {
        const PmuConnection& connection = client.connection;
        if (!connection.dataOn() || mixed) continue;
        server_->send(id, frameFor(connection.knownConfigCount()));
        sent = true;
    }
    for (const auto& [peer, connection] : udpPeers_) {
        if (!connection.dataOn()) continue;
        sendUdp(frameFor(connection.knownConfigCount()), peer);
        sent = true;
    }
    if (udpData_ && (!mixed || tcpReceivers())) {
        resendConfigIfDue();
        uint16_t known = dataToConfigCount_;
        if (mixed) {
            for (const auto& [id, client] : clients_) {
                if (client.connection.dataOn()) known = client.connection.knownConfigCount();
            }
        }
        sendUdp(frameFor(known), dataTo_);
        sent = true;
    }
    if (feed_ == nullptr || !sent || captureNs_ == 0) return;
    const int64_t now = realtimeNanoseconds();
    captureToSend_.add(now - captureNs_);
    const ModelInputs& in = inputs_[0].in;
    const double whole = std::floor(in.time);
    const int64_t sampleNs =
        (static_cast<int64_t>(blockSettings_[0].timeOffset) + static_cast<int64_t>(whole)) * 1000000000 +
        std::llround((in.time - whole) * 1e9);
    sampleToSend_.add(now - sampleNs);
}

int ServeStream::pacedBatch(Clock::time_point now) {
    // Sample k is due k/Fs after the anchor; step what is due, at most a
    // second's worth before looking at the sockets again.
    const double elapsed = std::chrono::duration<double>(now - anchorTime_).count();
    const uint64_t due = anchorSample_ + static_cast<uint64_t>(elapsed * sampleRate_) + 1;
    const uint64_t limit = std::min<uint64_t>(due - std::min(due, samples_), static_cast<uint64_t>(sampleRate_));
    int stepped = 0;
    for (uint64_t k = 0; k < limit && step(); ++k) ++stepped;
    return stepped;
}

FaultKind ServeStream::serve(TcpServer& server, volatile std::sig_atomic_t& stop, const SampleProgress& progress) {
    server_ = &server;
    if (udpCommands_) server.watch(udpCommands_->fd());
    uint64_t shownAt = 0;
    if (feed_ != nullptr) {
        server.setWakeFd(wakeFd_);
        if (inputs_[0].havePending) {
            inputs_[0].havePending = false;
            stepTaken(inputs_[0].road.source->sampleQuality(), inputs_[0].road.source->sampleRestarts());
        }
        feed_->start();
        while (stop == 0 && !ended_ && fault_ == FaultKind::None) {
            server.poll(kMaxPollMs, *this);
            drainFeed();
            if (samples_ - shownAt >= 4096) {
                shownAt = samples_;
                if (progress) progress(samples_, std::nullopt);
            }
        }
        feed_->stop();
        server.setWakeFd(-1);
    }
    while (feed_ == nullptr && stop == 0 && !ended_ && fault_ == FaultKind::None) {
        const bool wanted = receiversWaiting();
        if (wanted && !running_) {
            running_ = true;
            anchorTime_ = Clock::now();
            anchorSample_ = samples_;
        }
        if (!wanted) running_ = false;

        int timeoutMs = kIdlePollMs;
        if (running_ && paced_) {
            const double nextDue = static_cast<double>(samples_ - anchorSample_) / sampleRate_;
            const double elapsed = std::chrono::duration<double>(Clock::now() - anchorTime_).count();
            timeoutMs = std::clamp(static_cast<int>((nextDue - elapsed) * 1000.0), 0, kMaxPollMs);
        } else if (running_) {
            timeoutMs = largestQueue() > kUnpacedBacklog ? kMaxPollMs : 0;
        }
        server.poll(timeoutMs, *this);
        if (stop != 0 || !running_ || !receiversWaiting()) continue;

        if (paced_) {
            pacedBatch(Clock::now());
        } else {
            // A tenth of a second of samples between looks at the sockets,
            // unless a receiver's backlog says wait.
            const uint64_t batch = static_cast<uint64_t>(sampleRate_ / 10);
            for (uint64_t k = 0; k < batch && largestQueue() <= kUnpacedBacklog && step(); ++k) {
            }
        }
        if (samples_ - shownAt >= 4096) {
            shownAt = samples_;
            if (progress) progress(samples_, inputs_[0].road.source->fractionConsumed());
        }
    }
    for (Input& input : inputs_) input.road.driver->finish();
    // Let the receivers have what is queued for them before closing.
    server.closeAll(ended_ ? 5000 : 500, *this);
    return fault_;
}

std::string ServeStream::endSummary(bool stopped, bool udp) const {
    std::string text = std::string(stopped ? "stopped" : "input ended") + " after " + std::to_string(samples_) +
                       " samples, " + std::to_string(reports_) + " reports";
    if (udp) {
        text += ", " + std::to_string(udpSent_) + " UDP datagrams sent, " + std::to_string(udpLost_) + " not sent";
    }
    return text;
}
