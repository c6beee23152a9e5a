#include "stream/sv_through.h"

#include <memory>

#include "io/c37118/pdc_session.h"
#include "io/c37118/pmu_stream_framer.h"
#include "stream/frame_output.h"
#include "stream/model_driver.h"
#include "stream/pmu_block_step.h"
#include "stream/run_loop.h"
#include "stream/sv_capture.h"
#include "stream/sv_publish.h"

namespace {

constexpr uint16_t kIdCode = 1;

// Hands each frame the PDC decoded on, with the newest input the PMU had.
class Handover : public PdcObserver {
public:
    Handover(const SvThroughReceiver& received, const double& newestInput)
        : received_(received), newestInput_(newestInput) {}
    void configured(const ConfigFrame& config) override { timeBase_ = config.timeBase; }
    void received(const ConfigFrame&, const DataFrame& data) override { received_(data, timeBase_, newestInput_); }

private:
    const SvThroughReceiver& received_;
    const double& newestInput_;
    uint32_t timeBase_ = 1000000;
};

double secondsOfClock(const SvClock& c) {
    return static_cast<double>(c.seconds) + static_cast<double>(c.nanoseconds) * 1e-9;
}

}  // namespace

uint32_t defaultSvRate(double nominalFrequency) { return nominalFrequency == 60.0 ? 4800u : 4000u; }

bool SvThroughRoad::run(const ThreePhaseSignalParameters& shape, double start, double end, BlockDriver& driver,
                        const SvThroughReceiver& received, std::string& error) {
    // The merging unit: every sample quantised and framed into the tape.
    const SvPublisherOptions& mu = settings_.publisher;
    if (!SvPublisher::check(mu, error)) return false;
    tape_.clear();
    int64_t startSecond = 0;
    uint64_t firstSample = 0;
    svFirstSampleAt(start, 0.0, mu.rate, startSecond, firstSample);
    {
        PacketTapeWriter writer(tape_);
        SvPublisher publisher(mu, writer, startSecond, firstSample);
        ThreePhaseSignal signal(shape);
        const SvDataSet dataSet;
        channels_.assign(mu.channels, 0.0);
        double phases[3];
        const double period = 1.0 / static_cast<double>(mu.rate);
        for (uint64_t n = 0;; ++n) {
            const double t = start + static_cast<double>(n) * period;
            if (!(t < end)) break;
            signal.sample(t, phases);
            svChannelsFromPhases(phases, dataSet, channels_);
            if (!publisher.push(channels_)) {
                error = publisher.error();
                return false;
            }
        }
        if (!publisher.finish()) {
            error = publisher.error();
            return false;
        }
        const SvPublisherCounts& c = publisher.counts();
        SvPublisherCounts& total = counts_.published;
        total.samples += c.samples;
        total.framesWritten += c.framesWritten;
        total.framesLost += c.framesLost;
        total.samplesLost += c.samplesLost;
        total.framesDuplicated += c.framesDuplicated;
        total.framesReordered += c.framesReordered;
    }

    // The PMU: the stream taken in as `serve --sv` takes a live one.
    auto packets = std::make_unique<PacketTapeReader>(tape_);
    const PacketTapeReader& reader = *packets;
    ModelInputs ports;
    ports.reportRate = settings_.reportRate;
    ports.nominalFrequency = settings_.nominalFrequency;
    ports.reportMode = true;
    std::string buildTag = settings_.buildTag;
    double epochShift = 0.0;
    std::unique_ptr<SvGapBridge> bridge;
    std::unique_ptr<SvSampleSource> source = prepareSvStream(std::move(packets), "sampled values", true,
                                                             SvStreamOptions{}, ports, buildTag, epochShift, bridge,
                                                             error);
    if (!source) return false;
    resampled_ = !source->passesThrough();
    const SampleRateBuild* build = buildByTag(buildTag);

    StreamSettings stream = streamSettingsFor(settings_.modelName, build->fs, kIdCode);
    stream.nominalFrequency = settings_.nominalFrequency;
    stream.initialReportRate = settings_.reportRate;
    stream.timeOffset = epochShift;
    PmuStreamFramer framer;
    if (!framer.configure({stream}, kIdCode, error)) return false;

    // The PDC: the configuration first, then every data frame.
    double newestInput = 0.0;
    Handover handover(received, newestInput);
    PdcSession pdc(kIdCode, kCommandSendConfig2);
    pdc.observe(&handover);
    std::vector<uint8_t> reply;
    std::string rows;
    std::vector<std::string> notes;

    PmuBlockStep block(build->fs);
    ModelInputs in;
    ModelOutputs out;
    bool started = false;
    uint64_t samples = 0;
    while (true) {
        const SampleSource::Status status = source->next(in);
        if (status == SampleSource::Status::End) break;
        if (status == SampleSource::Status::Error) {
            error = source->error();
            return false;
        }
        if (!started) {
            framer.setTime(in.time);
            frame_.clear();
            framer.encodeConfig(FrameType::Config2, frame_);
            if (!pdc.receive(frame_, 0, reply, rows, notes)) {
                error = "the PDC refused the configuration: " + pdc.error();
                return false;
            }
            if (!driver.start()) {
                error = "the model did not start: " + driver.error();
                return false;
            }
            started = true;
        }
        ReportQuality word = 0;
        bool afterNonFinite = false;
        const PmuBlockStep::Result result =
            block.step(driver, in, out, source->sampleQuality(), source->sampleRestarts(), word, afterNonFinite);
        ++samples;
        if (result != PmuBlockStep::Result::Stepped) {
            error = describeBlockFailure(source->name(),
                                         result == PmuBlockStep::Result::StepFailed ? "stopped" : "did not start again",
                                         samples, in.time, driver.error());
            return false;
        }
        if (!out.reportStrobe) continue;
        const TakenReport taken = framer.takeReport(0, out, in.reportRate, in.nominalFrequency, word);
        if (!taken.framed()) {
            error = source->name() + ": " + taken.problem;
            return false;
        }
        framer.encodeData(false, frame_);
        newestInput = reader.started() ? secondsOfClock(reader.lastTime()) : 0.0;
        rows.clear();
        notes.clear();
        if (!pdc.receive(frame_, 0, reply, rows, notes)) {
            error = "the PDC refused a data frame: " + pdc.error();
            return false;
        }
    }
    if (started) driver.finish();
    const SvContinuityCounts& c = source->stream().counts();
    counts_.lost += c.lost;
    counts_.duplicated += c.duplicates;
    counts_.reordered += c.reordered;
    counts_.bridged += bridge->bridged();
    counts_.restarts += source->restarts();
    counts_.frames += pdc.dataFrames();
    counts_.flaggedFrames += pdc.blocksNotToUse();
    return true;
}
