// The PMU serving loop: steps the block through a sample source while
// PDCs want data, answers their commands, and sends every report to each
// PDC that has data frames on. Paced: sample k is stepped no earlier than
// k/Fs seconds after the stream (re)started. Unpaced: as fast as the
// slowest receiving PDC takes the frames.
#ifndef ORVANE_STREAM_SERVE_STREAM_H
#define ORVANE_STREAM_SERVE_STREAM_H

#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host/block_driver.h"
#include "io/c37118/pmu_connection.h"
#include "io/c37118/report_framer.h"
#include "io/sample_source.h"
#include "net/tcp_server.h"
#include "stream/run_loop.h"

class ServeStream : public TcpServer::Handler {
public:
    // `log` hears one line per client event (connected, command, gone).
    ServeStream(SampleSource& source, BlockDriver& driver, double sampleRate, const StreamSettings& settings,
                bool paced, std::function<void(const std::string&)> log);

    // Reads the first sample, configures the stream from it and starts the
    // block. False, with error() and exitStatus() set, when it cannot.
    bool prepare();
    // Serves until the input ends (0), `stop` becomes non-zero (0), or the
    // block or the input fails (error() says why; 1 or 2).
    int serve(TcpServer& server, volatile std::sig_atomic_t& stop, const SampleProgress& progress);

    uint64_t samples() const { return samples_; }
    uint64_t reports() const { return reports_; }
    const std::string& error() const { return error_; }
    int exitStatus() const { return exitStatus_; }

    void connected(TcpServer::ClientId client, const std::string& peer) override;
    void received(TcpServer::ClientId client, std::span<const uint8_t> bytes) override;
    void disconnected(TcpServer::ClientId client, const std::string& reason) override;

private:
    using Clock = std::chrono::steady_clock;

    bool receiversWaiting() const;
    size_t largestQueue() const;
    // One sample through the block; false when the input ended or failed.
    bool step();
    void broadcast();
    bool fail(int status, const std::string& message);
    int pacedBatch(Clock::time_point now);

    SampleSource& source_;
    BlockDriver& driver_;
    double sampleRate_;
    StreamSettings settings_;
    bool paced_;
    std::function<void(const std::string&)> log_;
    TcpServer* server_ = nullptr;
    ReportFramer framer_;
    struct Client {
        PmuConnection connection;
        std::string peer;
    };
    std::map<TcpServer::ClientId, Client> clients_;

    ModelInputs in_;
    ModelOutputs out_;
    bool havePending_ = false;  // in_ holds a sample not yet stepped
    bool ended_ = false;
    double lastNominal_ = 0.0;
    uint64_t samples_ = 0;
    uint64_t reports_ = 0;
    bool running_ = false;
    Clock::time_point anchorTime_;
    uint64_t anchorSample_ = 0;

    std::vector<uint8_t> reply_;
    std::vector<uint8_t> frameFlagged_;
    std::vector<uint8_t> framePlain_;
    std::vector<std::string> notes_;
    std::string error_;
    int exitStatus_ = 0;
};

#endif  // ORVANE_STREAM_SERVE_STREAM_H
