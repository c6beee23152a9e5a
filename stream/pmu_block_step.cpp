#include "stream/pmu_block_step.h"

#include <cmath>

#include "stream/model_driver.h"

PmuBlockStep::PmuBlockStep(double sampleRate) : quality_(qualityTrackerFor(sampleRate)) {}

PmuBlockStep::Result PmuBlockStep::step(BlockDriver& driver, const ModelInputs& in, ModelOutputs& out,
                                        ReportQuality sourceQuality, bool sourceRestart, ReportQuality& word,
                                        bool& afterNonFinite) {
    const bool finite = std::isfinite(in.phase[0]) && std::isfinite(in.phase[1]) && std::isfinite(in.phase[2]);
    bool restart = sourceRestart;
    // The frequency tracker keeps a non-finite value for good; only a fresh
    // start clears it, as after an outage of a live stream.
    afterNonFinite = poisoned_ && finite;
    if (afterNonFinite) restart = true;
    if (restart) poisoned_ = false;
    if (!finite) poisoned_ = true;
    if (restart && !driver.restart()) return Result::RestartFailed;
    if (!driver.step(in, out)) return Result::StepFailed;
    word = quality_.next(in, out, sourceQuality, restart);
    repeats_.check(out, word);
    return Result::Stepped;
}
