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
// Positive-sequence phasor magnitude, frequency detectors and smoothers,
// reported frequency and ROCOF.
void runPhasorAndFrequency(est::StepContext& ctx);
// Report strobe, interpolation or hold, and the seven output ports.
void runReportingAndOutputs(est::StepContext& ctx);
// Edge flags, tracked frequency, settle timers and the next sample's
// correction frequency; nothing here reaches an output in this sample.
void runAfterOutputs(est::StepContext& ctx);

}  // namespace ORVANE_MODEL_NS

#endif  // ORVANE_MODEL_ESTIMATION_ESTIMATION_STEPS_H
