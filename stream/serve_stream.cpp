#include "stream/serve_stream.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

// Unpaced streams wait while a receiver has this much unsent.
constexpr size_t kUnpacedBacklog = 256u << 10;
// Longest wait in poll() while the stream runs: keeps Ctrl-C and pacing
// responsive.
constexpr int kMaxPollMs = 50;
constexpr int kIdlePollMs = 200;

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

ServeStream::ServeStream(SampleSource& source, BlockDriver& driver, double sampleRate,
                         const StreamSettings& settings, bool paced, std::function<void(const std::string&)> log)
    : source_(source),
      driver_(driver),
      sampleRate_(sampleRate),
      settings_(settings),
      paced_(paced),
      log_(std::move(log)) {}

bool ServeStream::fail(int status, const std::string& message) {
    exitStatus_ = status;
    error_ = message;
    return false;
}

bool ServeStream::prepare() {
    const SampleSource::Status status = source_.next(in_);
    if (status == SampleSource::Status::Error) return fail(2, source_.error());
    if (status == SampleSource::Status::End) return fail(2, source_.name() + ": no samples to serve");
    havePending_ = true;
    settings_.nominalFrequency = in_.nominalFrequency;
    std::string problem;
    if (!framer_.configure(settings_, problem)) return fail(2, source_.name() + ": first sample: " + problem);
    framer_.setTime(in_.time);
    lastNominal_ = in_.nominalFrequency;
    if (!driver_.start()) return fail(1, "the block did not start: " + driver_.error());
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

bool ServeStream::receiversWaiting() const {
    for (const auto& [id, client] : clients_) {
        if (client.connection.dataOn()) return true;
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

bool ServeStream::step() {
    if (!havePending_) {
        const SampleSource::Status status = source_.next(in_);
        if (status == SampleSource::Status::End) {
            ended_ = true;
            return false;
        }
        if (status == SampleSource::Status::Error) return fail(2, source_.error());
    }
    havePending_ = false;
    return stepTaken();
}

void ServeStream::drainFeed() {
    while (exitStatus_ == 0) {
        switch (feed_->take(in_, captureNs_)) {
            case LiveSampleFeed::Take::Sample:
                if (!stepTaken()) return;
                break;
            case LiveSampleFeed::Take::Empty: return;
            case LiveSampleFeed::Take::End: ended_ = true; return;
            case LiveSampleFeed::Take::Error: fail(2, feed_->error()); return;
        }
    }
}

bool ServeStream::stepTaken() {
    if (in_.nominalFrequency != lastNominal_) {
        const std::string problem = nominalFrequencyProblem(in_.nominalFrequency);
        if (!problem.empty()) {
            return fail(2, source_.name() + ": sample " + std::to_string(samples_ + 1) + " (time " +
                               describeTime(in_.time) + "): " + problem);
        }
        lastNominal_ = in_.nominalFrequency;
    }
    if (!driver_.step(in_, out_)) {
        return fail(1, source_.name() + ": the block stopped at sample " + std::to_string(samples_ + 1) + " (time " +
                           describeTime(in_.time) + "): " + driver_.error());
    }
    ++samples_;
    if (out_.reportStrobe) {
        bool ok = true;
        std::string problem;
        framer_.takeReport(out_, in_.reportRate, in_.nominalFrequency, ok, problem);
        if (!ok) return fail(2, source_.name() + ": " + problem);
        ++reports_;
        broadcast();
    }
    return true;
}

void ServeStream::broadcast() {
    bool sent = false;
    bool plainReady = false;
    bool flaggedReady = false;
    for (const auto& [id, client] : clients_) {
        const PmuConnection& connection = client.connection;
        if (!connection.dataOn()) continue;
        // Frames differ only by the configuration-change bit: encode each
        // variant once, whatever the number of clients.
        if (framer_.configChangeFlagFor(connection.knownConfigCount())) {
            if (!flaggedReady) framer_.encodeData(true, frameFlagged_);
            flaggedReady = true;
            server_->send(id, frameFlagged_);
        } else {
            if (!plainReady) framer_.encodeData(false, framePlain_);
            plainReady = true;
            server_->send(id, framePlain_);
        }
        sent = true;
    }
    if (feed_ == nullptr || !sent || captureNs_ == 0) return;
    const int64_t now = realtimeNanoseconds();
    captureToSend_.add(now - captureNs_);
    const double whole = std::floor(in_.time);
    const int64_t sampleNs = (static_cast<int64_t>(settings_.timeOffset) + static_cast<int64_t>(whole)) * 1000000000 +
                             std::llround((in_.time - whole) * 1e9);
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

int ServeStream::serve(TcpServer& server, volatile std::sig_atomic_t& stop, const SampleProgress& progress) {
    server_ = &server;
    uint64_t shownAt = 0;
    if (feed_ != nullptr) {
        server.setWakeFd(wakeFd_);
        if (havePending_) {
            havePending_ = false;
            stepTaken();
        }
        feed_->start();
        while (stop == 0 && !ended_ && exitStatus_ == 0) {
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
    while (feed_ == nullptr && stop == 0 && !ended_ && exitStatus_ == 0) {
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
            if (progress) progress(samples_, source_.fractionConsumed());
        }
    }
    driver_.finish();
    // Let the receivers have what is queued for them before closing.
    server.closeAll(ended_ ? 5000 : 500, *this);
    return exitStatus_;
}
