// One in-process model instance with direct access to its state, for tests
// that look inside: the block-signal record and the work vectors.
#ifndef ORVANE_TESTS_SUPPORT_MODEL_HARNESS_H
#define ORVANE_TESTS_SUPPORT_MODEL_HARNESS_H

#include <cstdint>

#include "host/in_process_driver.h"
#include "model/model_entry.h"
#include "model/record/block_signals.h"
#include "model/record/work_vectors.h"

class ModelHarness {
public:
    explicit ModelHarness(const ModelEntry& entry)
        : entry_(entry), driver_(entry.installMethods, entry.build->sfunctionName) {}

    bool start() { return driver_.start(); }
    bool step(const ModelInputs& in) { return driver_.step(in, out_); }
    const ModelOutputs& outputs() const { return out_; }

    SimStruct* S() { return driver_.record().simStruct(); }
    BlockSignals* signals() { return entry_.blockSignals(S()); }
    double* real(int k) { return static_cast<double*>(ssGetDWork(S(), k)); }
    int32_t* integer(int k) { return static_cast<int32_t*>(ssGetDWork(S(), k)); }
    bool* boolean(int k) { return static_cast<bool*>(ssGetDWork(S(), k)); }
    const SampleRateBuild& build() const { return *entry_.build; }
    InProcessDriver& driver() { return driver_; }

private:
    const ModelEntry& entry_;
    InProcessDriver driver_;
    ModelOutputs out_;
};

// The three builds, for tests that run on each.
inline const ModelEntry* const kAllModelEntries[] = {&model_10k::kModelEntry, &model_14p4k::kModelEntry,
                                                     &model_4k::kModelEntry};

#endif  // ORVANE_TESTS_SUPPORT_MODEL_HARNESS_H
