#include "stream/serve_inputs.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>

#include "io/reporting_capacity.h"
#include "stream/frame_output.h"

namespace {

// A built-in signal without --duration runs for a day: until Ctrl-C, for
// any practical purpose.
constexpr double kDefaultSignalDuration = 86400.0;

}  // namespace

ServeInputs::~ServeInputs() {
    feed_.reset();
    if (wakeFd_ >= 0) close(wakeFd_);
}

bool ServeInputs::open(ServeInputSettings& s, std::string& error) {
    const size_t count = s.inputs.size();
    if (!s.ports.shape.duration) s.ports.shape.duration = kDefaultSignalDuration;
    for (size_t k = 0; k < count; ++k) {
        const InputChoice& input = s.inputs[k];
        // An input with a rate of its own is opened (its rate found and
        // checked, as `orvane run` does) before its build is known.
        std::unique_ptr<OpenedInput> opened;
        if (input.kind->ownRate) opened = openInput(input, s.ports, s.choice.buildTag, error);
        build_ = buildByTag(s.choice.buildTag);
        // The same refusal as orvane run's: a stream whose frames would skip
        // most report instants is never what a client expects.
        const std::string beyond =
            build_ != nullptr ? reportingCapacityProblem(build_->fs, s.ports.ports.reportRate) : std::string();
        if (!beyond.empty()) {
            error = beyond;
            return false;
        }
        if (k == 0 && build_ != nullptr) {
            const std::string caution = reportingCapacityCaution(build_->fs, s.ports.ports.reportRate);
            if (!caution.empty()) std::fprintf(stderr, "orvane serve: warning: %s\n", caution.c_str());
        }
        if (!input.kind->ownRate) opened = openInput(input, s.ports, s.choice.buildTag, error);
        if (!opened) return false;
        const SourceFacts& facts = opened->facts();
        std::unique_ptr<BlockDriver> driver = makeDriver(s.choice, error);
        if (!driver) return false;
        StreamSettings block = streamSettingsFor(build_->modelName, build_->fs, static_cast<uint16_t>(s.idCode));
        if (count > 1) block.station = "ORVANE PMU " + std::to_string(k + 1);
        if (k < s.stations.size()) block.station = s.stations[k];
        const int64_t id = k < s.pmuIdCodes.size() ? s.pmuIdCodes[k] : s.idCode + static_cast<int64_t>(k);
        if (id >= 0xFFFF) {
            error = "IDCODE of PMU block " + std::to_string(k + 1) + " would pass 65534; give --pmu-idcode";
            return false;
        }
        block.idCode = static_cast<uint16_t>(id);
        block.timeOffset = facts.epochShift;
        block.testMode = s.testMode;
        if (facts.clockQuality > 0) block.clockQuality = static_cast<uint8_t>(facts.clockQuality);
        block.synchronised = block.clockQuality != 0xF;
        blocks_.push_back(block);
        roads_.push_back(ServeInput{&opened->source(), driver.get()});
        if (input.kind->live) live_ = opened.get();
        inputs_.push_back(std::move(opened));
        drivers_.push_back(std::move(driver));
    }
    return true;
}

bool ServeInputs::attachLive(ServeStream& stream, std::string& error) {
    if (live_ == nullptr) return true;
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0) {
        error = "cannot create an eventfd for the capture thread";
        return false;
    }
    const OpenedInput* live = live_;
    const int wakeFd = wakeFd_;
    feed_ = std::make_unique<LiveSampleFeed>(
        live->source(), [live] { return live->captureNs(); },
        [wakeFd] {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = write(wakeFd, &one, sizeof one);
        });
    stream.setLiveFeed(feed_.get(), wakeFd_);
    return true;
}

std::vector<std::string> ServeInputs::finishLive(const ServeStream& stream) {
    feed_.reset();
    if (live_ == nullptr) return {};
    std::vector<std::string> lines = live_->endNotes();
    const LatencyHistogram& a = stream.captureToSend();
    const LatencyHistogram& b = stream.sampleToSend();
    if (a.count() > 0) {
        char line[256];
        std::snprintf(line, sizeof line,
                      "latency over %llu reports: SV capture to data frame sent median %.3f ms, 99th percentile "
                      "%.3f ms; sample instant to sent median %.3f ms, 99th percentile %.3f ms",
                      static_cast<unsigned long long>(a.count()), a.quantile(0.5) * 1e3, a.quantile(0.99) * 1e3,
                      b.quantile(0.5) * 1e3, b.quantile(0.99) * 1e3);
        lines.push_back(line);
    }
    return lines;
}

void ServeInputs::finishBlocks() {
    for (auto& driver : drivers_) driver->finish();
}
