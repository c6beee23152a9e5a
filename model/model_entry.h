// What a program that runs the model in-process (tests, benchmarks, the
// in-process runner) needs of each build: its constants, a way to fill a
// record's method slots with the model's own methods, and read access to
// the block-signal record.
#ifndef ORVANE_MODEL_MODEL_ENTRY_H
#define ORVANE_MODEL_MODEL_ENTRY_H

#include "builds/sample_rate_build.h"
#include "contract/simstruc.h"
#include "model/record/block_signals.h"

struct ModelEntry {
    const SampleRateBuild* build;
    // Fills the method slots the way the sizes hand-over does.
    void (*installMethods)(SimStruct* S);
    // The block-signal record, or null before mdlStart / after mdlTerminate.
    BlockSignals* (*blockSignals)(SimStruct* S);
    // The registration's multi-instance refusal message.
    const char* (*multiExecRefusal)();
};

namespace model_10k {
extern const ModelEntry kModelEntry;
}
namespace model_14p4k {
extern const ModelEntry kModelEntry;
}
namespace model_4k {
extern const ModelEntry kModelEntry;
}

#endif  // ORVANE_MODEL_MODEL_ENTRY_H
