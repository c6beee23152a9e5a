// The PMU serving loop: steps one block per input through its sample
// source while PDCs want data, answers their commands (TCP connections and
// UDP datagrams), and sends every report instant as one data frame holding
// a PMU block per input. Paced: sample k is stepped no earlier than k/Fs
// seconds after the stream (re)started. Unpaced: as fast as the slowest
// receiving PDC takes the frames.
//
// UDP roads: a command socket where each PDC is known by its address and
// answered there; and a destination (unicast or multicast) that either
// receives data without any command, with the configuration resent at a
// fixed interval, or (mixed) receives the data frames that TCP clients
// turned on by command.
#ifndef ORVANE_STREAM_SERVE_STREAM_H
#define ORVANE_STREAM_SERVE_STREAM_H

#include <chrono>
#include <csignal>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/block_driver.h"
#include "io/c37118/pmu_connection.h"
#include "io/c37118/pmu_stream_framer.h"
#include "io/sample_source.h"
#include "net/tcp_server.h"
#include "net/udp_socket.h"
#include "stream/model_driver.h"
#include "stream/pmu_block_step.h"
#include "stream/run_loop.h"
#include "stream/sv_capture.h"

// Delays in 10 µs bins up to 2 s (beyond: the last bin), filled without
// allocating; quantiles read from the bins.
class LatencyHistogram {
public:
    LatencyHistogram() : bins_(kBins, 0) {}
    void add(int64_t nanoseconds);
    uint64_t count() const { return count_; }
    // The delay below which a share `q` of them lie, s (upper bin edge).
    double quantile(double q) const;

private:
    static constexpr std::size_t kBins = 200000;
    static constexpr int64_t kBinNs = 10000;
    std::vector<uint32_t> bins_;
    uint64_t count_ = 0;
};

// One PMU block's input: its samples and its model.
struct ServeInput {
    SampleSource* source = nullptr;
    BlockDriver* driver = nullptr;
};

struct UdpTransports {
    std::optional<HostPort> commands;  // answer command datagrams here
    std::optional<HostPort> dataTo;    // send data frames there
    int ttl = 1;
    std::string multicastInterface;  // empty: loopback
    double configInterval = 60.0;    // s between configuration frames to dataTo
    bool onCommand = false;          // dataTo gets what TCP clients turn on (mixed)
};

class ServeStream : public TcpServer::Handler {
public:
    // `log` hears one line per client event (connected, command, gone).
    ServeStream(std::vector<ServeInput> inputs, double sampleRate, std::vector<StreamSettings> blocks,
                uint16_t streamIdCode, bool paced, std::function<void(const std::string&)> log);
    // Convenience for one input.
    ServeStream(SampleSource& source, BlockDriver& driver, double sampleRate, const StreamSettings& settings,
                bool paced, std::function<void(const std::string&)> log);

    // Reads the first sample of every input, configures the stream from
    // them and starts the blocks. False, with error() and fault() set,
    // when it cannot.
    bool prepare();
    // Opens the UDP sockets; false with `error` when one cannot be opened.
    bool openUdp(const UdpTransports& roads, std::string& error);
    const UdpSocket* udpCommands() const { return udpCommands_.get(); }
    // Serves until the first input ends or `stop` becomes non-zero (None),
    // or the leading block or its input fails (error() says why).
    FaultKind serve(TcpServer& server, volatile std::sig_atomic_t& stop, const SampleProgress& progress);

    // Live: the samples come from `feed` (over the same source, whose first
    // sample prepare() reads itself) as they arrive, and the block steps each
    // at once whether or not a PDC listens, so its filters never see a jump.
    // `wakeFd` becomes readable when the feed has samples; serve() starts the
    // feed. Every report sent then adds to the latency figures.
    void setLiveFeed(LiveSampleFeed* feed, int wakeFd) {
        feed_ = feed;
        wakeFd_ = wakeFd;
    }
    // From the capture of the newest frame whose data a report used to the
    // moment its data frame was handed to the sockets.
    const LatencyHistogram& captureToSend() const { return captureToSend_; }
    // From the instant of the sample that completed the report (its `Time`
    // plus the time offset) to the same moment.
    const LatencyHistogram& sampleToSend() const { return sampleToSend_; }

    uint64_t samples() const { return samples_; }
    uint64_t reports() const { return reports_; }
    uint64_t udpFramesSent() const { return udpSent_; }
    uint64_t udpFramesLost() const { return udpLost_; }
    // "stopped" or "input ended" after so many samples and reports, with
    // the UDP counts when `udp`.
    std::string endSummary(bool stopped, bool udp) const;
    const std::string& error() const { return error_; }
    FaultKind fault() const { return fault_; }

    void connected(TcpServer::ClientId client, const std::string& peer) override;
    void received(TcpServer::ClientId client, std::span<const uint8_t> bytes) override;
    void disconnected(TcpServer::ClientId client, const std::string& reason) override;
    void readable(int fd) override;

private:
    using Clock = std::chrono::steady_clock;

    struct Input {
        ServeInput road;
        ModelInputs in;
        ModelOutputs out;
        bool havePending = false;  // `in` holds a sample not yet stepped
        bool ended = false;
        double lastNominal = 0.0;
        // Restarts, the quality word of each of this block's samples and
        // repeated reports.
        PmuBlockStep block{0.0};
    };
    // Logs the first few fresh starts after non-finite input.
    void noteNonFiniteRestart(const Input& input, size_t block);
    uint64_t nonFiniteRestarts_ = 0;

    // Seconds by which block k's pending sample lies after the lead's, on
    // UTC (each block's Time plus its origin).
    double utcAheadOfLead(size_t k) const;
    // Follower k's pending sample through its block, its report to the
    // framer.
    void stepFollowerSample(size_t k);
    // Blocks whose first samples lie further apart on UTC are refused.
    static constexpr double kMostSecondsApart = 60.0;

    bool receiversWaiting() const;
    bool tcpReceivers() const;
    size_t largestQueue() const;
    // One sample through every block; false when the leading input ended
    // or failed.
    bool step();
    // The sample in the leading input's `in` through every block: its
    // source's quality word `quality`, the block started afresh first when
    // `restart` (what the source said of this sample).
    bool stepTaken(ReportQuality quality, bool restart);
    // Steps every sample the live feed holds.
    void drainFeed();
    bool stepFollower(size_t k);
    void broadcast();
    void sendUdp(const std::vector<uint8_t>& frames, const UdpPeer& to);
    void resendConfigIfDue();
    bool fail(FaultKind fault, const std::string& message);
    int pacedBatch(Clock::time_point now);

    std::vector<Input> inputs_;
    double sampleRate_;
    std::vector<StreamSettings> blockSettings_;
    uint16_t streamIdCode_;
    bool paced_;
    std::function<void(const std::string&)> log_;
    TcpServer* server_ = nullptr;
    PmuStreamFramer framer_;
    struct Client {
        PmuConnection connection;
        std::string peer;
    };
    std::map<TcpServer::ClientId, Client> clients_;
    std::map<UdpPeer, PmuConnection> udpPeers_;

    UdpTransports roads_;
    std::unique_ptr<UdpSocket> udpCommands_;
    std::unique_ptr<UdpSocket> udpData_;
    UdpPeer dataTo_;
    uint16_t dataToConfigCount_ = 0;
    Clock::time_point lastConfigSent_{};
    bool configEverSent_ = false;
    uint64_t udpSent_ = 0;
    uint64_t udpLost_ = 0;

    bool ended_ = false;
    uint64_t samples_ = 0;
    uint64_t reports_ = 0;
    bool running_ = false;
    Clock::time_point anchorTime_;
    uint64_t anchorSample_ = 0;

    LiveSampleFeed* feed_ = nullptr;
    int wakeFd_ = -1;
    int64_t captureNs_ = 0;
    LiveSampleFeed::Sample live_;
    LatencyHistogram captureToSend_;
    LatencyHistogram sampleToSend_;

    std::vector<uint8_t> reply_;
    std::vector<uint8_t> frameFlagged_;
    std::vector<uint8_t> framePlain_;
    std::vector<uint8_t> datagram_;
    std::vector<std::string> notes_;
    std::string error_;
    FaultKind fault_ = FaultKind::None;
};

#endif  // ORVANE_STREAM_SERVE_STREAM_H
