// Sampled-values streams as the samples of a run or of the live PMU: a
// capture file or an interface opened for one build, what the stream went
// through said in a few lines, and a feed that reads a live interface on its
// own thread so that the serving loop never waits on the network.
#ifndef ORVANE_STREAM_SV_CAPTURE_H
#define ORVANE_STREAM_SV_CAPTURE_H

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "io/gap_bridge.h"
#include "io/sv/sv_sample_source.h"
#include "model/ports.h"
#include "stream/input_table.h"

// The recordings' gap bridge on a live or captured stream: a lost sample,
// and one its sender flagged unusable, is bridged by the same rule as a
// missing value of a recording (the same phase one measured period
// earlier, for at most the filters' memory), and gives the quality word of
// the samples whose measurements lean on it. The first usable sample after a run of flagged
// ones longer than the filters' memory is a fresh start of the model.
class SvGapBridge : public SampleGapFiller {
public:
    SvGapBridge(uint32_t rate, double nominalFrequency) : bridge_(rate, nominalFrequency) {}
    void fill(double phase[3], SampleGapFlags& flags) override;
    uint64_t bridged() const { return bridge_.bridgedSamples(); }
    uint64_t unbridged() const { return bridge_.unbridgedSamples(); }
    std::size_t memorySamples() const { return bridge_.memorySamples(); }
    // The quality word of the sample last filled: kQualityBridged while a
    // run bridged within the proven span lies within the filters' memory,
    // kQualityMissing while a longer run or a sample left missing does.
    ReportQuality quality() const { return quality_; }
    const GapBridge& bridge() const { return bridge_; }

private:
    GapBridge bridge_;
    uint64_t flaggedRun_ = 0;  // consecutive flagged samples up to now
    ReportQuality quality_ = 0;
};

// Opens the capture file `path` (or, with `live`, the interface of that
// name), takes the stream `settings.sv` selects and prepares it for the
// build `buildTag` ("auto": the build at the stream's rate or the nearest
// above, written back), its lost and flagged samples bridged. Its facts'
// time origin is the midnight its `Time` counts from; once read it says
// what the stream went through. Null, with `error` set, when it cannot.
std::unique_ptr<OpenedInput> openSvInput(const std::string& path, bool live, const InputSettings& settings,
                                         std::string& buildTag, std::string& error);

// The stream itself from frames of any reader, named `name`, prepared the
// same way; `live` takes the resampler's live setting, as a stream from an
// interface does. `epochShift` receives the seconds from 1970 to its
// midnight, `bridge` the gap bridge set on it (it must outlive the source).
std::unique_ptr<SvSampleSource> prepareSvStream(std::unique_ptr<PacketReader> packets, const std::string& name,
                                                bool live, const SvStreamOptions& options, const ModelInputs& ports,
                                                std::string& buildTag, double& epochShift,
                                                std::unique_ptr<SvGapBridge>& bridge, std::string& error);

// What the stream went through, one line each: the stream taken, samples
// lost, duplicated, reordered, late, flagged by quality; every kind of
// malformed frame with its count and first place; samples bridged; why the
// samples ended.
std::vector<std::string> svStreamNotes(const SvSampleSource& source, const SvGapBridge* bridge);

// Capture time as nanoseconds since 1970.
inline int64_t svNanoseconds(const SvClock& c) { return c.seconds * 1000000000 + c.nanoseconds; }

// Samples of a source whose next() waits on the outside world, read ahead
// on a thread of their own into a bounded ring (no allocation per sample).
// The reader thread stops at the source's end or error, or when the ring is
// full until the consumer takes samples.
class LiveSampleFeed {
public:
    enum class Take { Sample, Empty, End, Error };
    // One sample with what the source said of it when it was read (the
    // source has moved on by the time the consumer takes it).
    struct Sample {
        ModelInputs in;
        int64_t captureNs = 0;
        ReportQuality quality = 0;  // SampleSource::sampleQuality()
        bool restart = false;       // SampleSource::sampleRestarts()
    };

    // `captureNs` is asked after each sample: the capture time of the
    // newest frame the sample's data came with. `onSample` runs on the
    // reader thread when a sample lands in an empty ring and when the source
    // ends (to wake the consumer).
    LiveSampleFeed(SampleSource& source, std::function<int64_t()> captureNs, std::function<void()> onSample,
                   std::size_t capacity = 1u << 16);
    ~LiveSampleFeed();
    LiveSampleFeed(const LiveSampleFeed&) = delete;
    LiveSampleFeed& operator=(const LiveSampleFeed&) = delete;

    void start();
    // Never waits: the oldest queued sample, or what the source said last.
    Take take(Sample& sample);
    // Asks the reader thread to stop and waits for it (it stops at the
    // source's next return).
    void stop();
    const std::string& error() const { return error_; }

private:
    void run();

    SampleSource& source_;
    std::function<int64_t()> captureNs_;
    std::function<void()> onSample_;
    std::vector<Sample> ring_;
    std::size_t head_ = 0;  // next to take
    std::size_t count_ = 0;
    bool finished_ = false;
    bool failed_ = false;
    bool stopRequested_ = false;
    std::string error_;
    std::mutex mutex_;
    std::condition_variable space_;
    std::thread thread_;
};

#endif  // ORVANE_STREAM_SV_CAPTURE_H
