// The per-sample estimation steps, in the order mdlOutputs runs them.
#ifndef ORVANE_MODEL_ESTIMATION_ESTIMATION_STEPS_H
#define ORVANE_MODEL_ESTIMATION_ESTIMATION_STEPS_H

#include "builds/selected_build.h"
#include "model/estimation/step_context.h"

namespace ORVANE_MODEL_NS {

// Channel selector, restarts and latches, timestamp, report grid, oscillator
// phases and absolute reference phases.
void runFrameTiming(est::StepContext& ctx);
// Calibration gain and phase offset, droop compensation and the complex
// correction of the active channel, from the previous sample's frequency.
void runCorrectionTerms(est::StepContext& ctx);
// Twelve heterodyne products through two fractional boxcar stages each.
void runHeterodyneCascade(est::StepContext& ctx);
// Positive-sequence phasor of the active channel and its magnitude.
void runPositiveSequence(est::StepContext& ctx);
// Frequency detectors and smoothers, reported frequency and ROCOF.
void runFrequency(est::StepContext& ctx);
// Report strobe, angle, and the estimates interpolated to the report
// instant or held.
void runReporting(est::StepContext& ctx);

// After the outputs; nothing here reaches an output in this sample.
// The flags and settle timers that steer the next sample's channel selector.
void runSelectorAfterOutputs(est::StepContext& ctx);
// The tracked frequency that retunes a restarting channel, and the next
// sample's correction frequency.
void runTrackedFrequency(est::StepContext& ctx);

}  // namespace ORVANE_MODEL_NS

#endif  // ORVANE_MODEL_ESTIMATION_ESTIMATION_STEPS_H
