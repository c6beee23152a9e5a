// mdlOutputs and mdlUpdate of each build on any input values: NaN,
// infinities, huge and tiny numbers, any report rate and nominal frequency,
// any time sequence (steady steps, jumps, reversals, non-finite times).
// After every sample each delay-line write index must lie within its line,
// every delay within the lengths the lines can serve, each pulse counter
// within its cycle and the active report rate within 1..1200.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_input.h"
#include "host/in_process_driver.h"
#include "model/model_entry.h"
#include "model/record/work_vectors.h"

namespace {

const ModelEntry* const kEntries[] = {&model_10k::kModelEntry, &model_14p4k::kModelEntry, &model_4k::kModelEntry};

// The longest run one input may ask for: deep enough for several channel
// hand-overs (each takes 3.5 periods, some 700 samples at 10 kHz).
constexpr int kMaxSamples = 8000;

void checkState(InProcessDriver& driver, const ModelEntry& entry, const ModelOutputs& out, int sample) {
    SimStruct* S = driver.record().simStruct();
    const int32_t length = entry.build->delayLineLength;
    for (int k = dw::kFirstWriteIndex; k <= dw::kLastWriteIndex; ++k) {
        const int32_t index = *static_cast<const int32_t*>(ssGetDWork(S, k));
        FUZZ_CHECK(index >= 0 && index < length, "sample %d: write index DWORK%d is %d, line length %d", sample, k,
                   index, length);
    }
    const int32_t cycle = 2 * entry.build->pulseHalfCycle;
    for (int k : {dw::kPulseCounterCh1, dw::kPulseCounterCh2}) {
        const int32_t count = *static_cast<const int32_t*>(ssGetDWork(S, k));
        FUZZ_CHECK(count >= 0 && count < cycle, "sample %d: pulse counter DWORK%d is %d", sample, k, count);
    }
    const BlockSignals* sig = entry.blockSignals(S);
    FUZZ_CHECK(sig != nullptr, "sample %d: the block-signal record is gone", sample);
    for (int i : {sig::kCascadeDelayCh1, sig::kCascadeDelayCh2}) {
        FUZZ_CHECK(sig->BI[i] >= 2 && sig->BI[i] <= length - 1, "sample %d: cascade delay BI[%d] is %d", sample, i,
                   sig->BI[i]);
    }
    for (int i : {kSmootherCh1.delay, kSmootherCh2.delay}) {
        FUZZ_CHECK(sig->BI[i] >= 1 && sig->BI[i] <= length - 1, "sample %d: smoothing delay BI[%d] is %d", sample, i,
                   sig->BI[i]);
    }
    FUZZ_CHECK(out.activeReportRate >= 1 && out.activeReportRate <= 1200, "sample %d: active report rate %d", sample,
               out.activeReportRate);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const ModelEntry& entry = *kEntries[input.byte() % 3];
    InProcessDriver driver(entry.installMethods, entry.build->sfunctionName);
    FUZZ_CHECK(driver.start(), "the model did not start: %s", driver.error().c_str());

    ModelInputs in;
    in.time = 1.0;
    ModelOutputs out;
    int sample = 0;
    while (!input.empty() && sample < kMaxSamples) {
        // One instruction: which inputs change, then how many samples run
        // with them while Time advances by one sample period each.
        const uint8_t what = input.byte();
        if (what & 0x01) {
            for (double& v : in.phase) v = input.number(100.0);
        }
        if (what & 0x02) in.time = input.number(in.time);
        if (what & 0x04) in.reportRate = input.flag() ? input.raw<int32_t>() : input.byte() % 130 * 10 - 50;
        if (what & 0x08) {
            for (double& v : in.magnitudeCoeffs) v = input.number(0.0);
            for (double& v : in.phaseCoeffs) v = input.number(0.0);
        }
        if (what & 0x10) in.nominalFrequency = input.number(50.0);
        if (what & 0x20) in.reportMode = !in.reportMode;
        const int repeat = (what & 0x40) ? 1 + input.byte() * 8 : 1;
        const double step = (what & 0x80) ? input.number(entry.build->ts) : entry.build->ts;
        for (int r = 0; r < repeat && sample < kMaxSamples; ++r, ++sample) {
            FUZZ_CHECK(driver.step(in, out), "sample %d refused: %s", sample, driver.error().c_str());
            checkState(driver, entry, out, sample);
            in.time = in.time + step;
        }
    }
    driver.finish();
    return 0;
}
