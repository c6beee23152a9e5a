#include "stream/sv_publish.h"

#include <cmath>
#include <ctime>
#include <exception>
#include <string>
#include <memory>
#include <vector>

#include "io/comtrade/comtrade_sample_source.h"
#include "io/csv/csv_sample_source.h"
#include "io/sv/packet_capture.h"

std::unique_ptr<SampleSource> openPublishInput(const SvPublishInput& input, double rate, double& epochShift,
                                               std::string& error) {
    epochShift = 0.0;
    if (!input.signal.empty()) return makeSignalSource(input.signal, input.shape, input.ports, rate, error);
    if (!input.csvPath.empty()) return CsvSampleSource::open(input.csvPath, error);
    auto recording = ComtradeSampleSource::open(input.comtradePath, input.read, error);
    if (!recording || !recording->prepare(rate, input.ports, error)) return nullptr;
    epochShift = static_cast<double>(recording->recording().origin.epochSecondsOfOrigin());
    return recording;
}

void svFirstSampleAt(double time, double epochShift, uint32_t rate, int64_t& startSecond, uint64_t& firstSample) {
    startSecond = static_cast<int64_t>(std::floor(time + epochShift));
    // A signal or recording starting at 80000.37 s is smpCnt 0.37 x rate of
    // second 80000, not smpCnt 0 (which would move every sample 0.37 s
    // early).
    firstSample = 0;
    if (rate == 0) return;
    const double within = time + epochShift - static_cast<double>(startSecond);
    firstSample = static_cast<uint64_t>(std::llround(within * rate));
    if (firstSample >= rate) {
        firstSample -= rate;
        ++startSecond;
    }
}

namespace {

void sleepUntil(int64_t second, int64_t nanoseconds, const volatile std::sig_atomic_t& stop) {
    timespec due{static_cast<time_t>(second + nanoseconds / 1000000000), static_cast<long>(nanoseconds % 1000000000)};
    while (stop == 0 && clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &due, nullptr) != 0) {
    }
}

}  // namespace

FaultKind publishSvStream(SampleSource& source, double epochShift, const SvPublisherOptions& options,
                    const SvPublishTarget& target, const volatile std::sig_atomic_t& stop,
                    void (*started)(const std::string& line), SvPublisherCounts& counts, std::string& error) {
    ModelInputs in;
    SampleSource::Status status = source.next(in);
    if (status == SampleSource::Status::Error) {
        error = source.error();
        return FaultKind::BadInput;
    }
    if (status == SampleSource::Status::End) {
        error = source.name() + ": no samples to publish";
        return FaultKind::BadInput;
    }
    const bool live = !target.interface.empty();
    int64_t startSecond = 0;
    uint64_t firstSample = 0;
    if (!live) svFirstSampleAt(in.time, epochShift, options.rate, startSecond, firstSample);
    if (live) {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        startSecond = static_cast<int64_t>(now.tv_sec) + 1;
    }
    std::unique_ptr<PacketWriter> out =
        live ? openInjectionInterface(target.interface, error) : createCaptureFile(target.pcapPath, error);
    if (!out) return FaultKind::BadInput;
    if (live && started != nullptr) {
        started("publishing '" + options.svId + "' on " + target.interface + " from second " +
                std::to_string(startSecond));
    }

    SvPublisher publisher(options, *out, startSecond, firstSample);
    const SvDataSet dataSet;
    std::vector<double> channels(options.channels);
    const int64_t secondNs = 1000000000;
    for (uint64_t k = 0; status == SampleSource::Status::Sample && stop == 0; ++k) {
        svChannelsFromPhases(in.phase, dataSet, channels);
        // Real time: a frame leaves at its last sample's instant.
        if (live && (k + 1) % options.asdusPerFrame == 0) {
            const uint64_t within = k % options.rate;
            sleepUntil(startSecond + static_cast<int64_t>(k / options.rate),
                       static_cast<int64_t>(within * secondNs / options.rate), stop);
        }
        if (!publisher.push(channels)) {
            error = publisher.error();
            return FaultKind::Failed;
        }
        status = source.next(in);
    }
    if (status == SampleSource::Status::Error) {
        error = source.error();
        return FaultKind::BadInput;
    }
    if (!publisher.finish() || !out->close()) {
        error = publisher.error().empty() ? out->error() : publisher.error();
        return FaultKind::Failed;
    }
    counts = publisher.counts();
    return FaultKind::None;
}

std::string svPublishSummary(const SvPublisherCounts& c) {
    return std::to_string(c.samples) + " samples in " + std::to_string(c.framesWritten) + " frames written; " +
           std::to_string(c.framesLost) + " frames lost (" + std::to_string(c.samplesLost) + " samples), " +
           std::to_string(c.framesDuplicated) + " duplicated, " + std::to_string(c.framesReordered) + " reordered" +
           (c.framesDropped > 0 ? "; " + std::to_string(c.framesDropped) + " frames (" +
                                      std::to_string(c.samplesDropped) + " samples) dropped in the outage"
                                : std::string());
}

bool readSvDropSpan(const std::string& text, SvPublisherOptions& options, std::string& error) {
    const std::size_t colon = text.find(':');
    double from = -1.0, seconds = -1.0;
    std::size_t used = 0;
    try {
        if (colon != std::string::npos) {
            from = std::stod(text.substr(0, colon), &used);
            if (used != colon) from = -1.0;
            seconds = std::stod(text.substr(colon + 1), &used);
            if (used != text.size() - colon - 1) seconds = -1.0;
        }
    } catch (const std::exception&) {
        from = -1.0;
    }
    if (!(from >= 0.0 && seconds > 0.0 && from + seconds < 1e7)) {
        error = "--drop-span '" + text + "': expected FROM:SECONDS, the outage's start after the first sample and its "
                "length, both in seconds (length above 0)";
        return false;
    }
    options.dropFrom = static_cast<uint64_t>(std::llround(from * options.rate));
    options.dropSamples = static_cast<uint64_t>(std::llround(seconds * options.rate));
    return true;
}
