// What a sample source knows about a sample beyond its values: that it never
// arrived (its values are NaN), or that its sender marked it unusable. The
// rule that fills such samples lives in one place, the gap-bridging stage;
// sources only say which samples need it.
#ifndef ORVANE_IO_SV_SAMPLE_GAP_FLAGS_H
#define ORVANE_IO_SV_SAMPLE_GAP_FLAGS_H

#include <cstdint>

#include "io/report_quality.h"

struct SampleGapFlags {
    bool missing = false;  // lost on the way: no values at all
    bool invalid = false;  // arrived, but flagged invalid, questionable or test
    // Set by the gap filler: a repaired sample lies within the filters'
    // memory of this one, so measurements made now lean on invented data.
    bool marked = false;
    // The filler's word for this sample: bridged within the proven span
    // (usable, modified), or missing beyond it (then `marked` is set too).
    ReportQuality quality = 0;
    // Set by the gap filler on the first usable sample after a run of
    // flagged ones longer than the filters' memory: the run's length in
    // samples. Nothing of the past can be bridged over such a gap, so the
    // model starts afresh here.
    uint64_t restartAfterGap = 0;

    bool any() const { return missing || invalid; }
    bool restart() const { return restartAfterGap > 0; }
};

// A stage that repairs flagged samples in place, sample by sample and in
// time order. It is handed every sample, flagged or not, so that it keeps
// the past the bridging rule takes its values from; it changes only the
// flagged ones, and sets `marked` on every sample it judges marked. A sample source that
// resamples applies it at its input rate, before resampling, so that a
// hole is not smeared over its neighbours.
class SampleGapFiller {
public:
    virtual ~SampleGapFiller() = default;
    virtual void fill(double phase[3], SampleGapFlags& flags) = 0;
};

#endif  // ORVANE_IO_SV_SAMPLE_GAP_FLAGS_H
