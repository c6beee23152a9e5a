// The method road of every deliverable on a well-formed SimStruct (sized
// through the hand-over, ports and work vectors allocated): any sequence of
// flags, whole or not, in or out of the host's order, with any posted port
// index, proposed value, sample time and dimensions record, and any input
// values. Nothing may crash or leak; a started block is terminated at the
// end, which must free everything it holds.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_deliverables.h"
#include "fuzz/fuzz_input.h"
#include "host/mex_block.h"

namespace {

// The flags worth hitting most: every row of the dispatch table and its
// neighbours.
double methodFlag(FuzzInput& input) {
    const uint8_t choice = input.byte();
    if (choice < 200) return 100.0 + choice % 47;                   // 100..146
    if (choice < 230) return 100.0 + choice % 47 + 0.25 * (choice % 4);  // fractions
    return input.number(104.0);
}

// Fills the block's input buffers with any bytes: doubles of any pattern,
// int32 rates of any value, booleans as the host writes them (0 or 1).
void writeInputs(FuzzInput& input, MexBlock& block) {
    SimStruct* S = block.simStruct();
    for (int p = 0; p < ssGetNumInputPorts(S); ++p) {
        const SsInputPort& port = S->inputPorts[p];
        auto* bytes = static_cast<unsigned char*>(block.record().inputBuffer(p));
        for (int i = 0; i < port.width; ++i) {
            switch (port.dataType) {
                case SS_DOUBLE: {
                    const double v = input.number(50.0);
                    std::memcpy(bytes + 8 * i, &v, 8);
                    break;
                }
                case SS_INT32: {
                    const int32_t v = input.raw<int32_t>();
                    std::memcpy(bytes + 4 * i, &v, 4);
                    break;
                }
                case SS_BOOLEAN: bytes[i] = input.flag() ? 1 : 0; break;
                default: break;
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::shared_ptr<Deliverable> deliverable = fuzzDeliverable(input.byte() % kFuzzDeliverableCount);
    clearRecordedDialogs();

    MexBlock block(deliverable);
    FUZZ_CHECK(block.handOverSizes() && block.propagate() && block.allocate(), "the block did not size: %s",
               block.error().c_str());

    int dims[4] = {1, 1, 1, 1};
    DimsInfo_T posted = DECL_AND_INIT_DIMSINFO_DEFAULT;
    for (int calls = 0; calls < 256 && !input.empty(); ++calls) {
        const uint8_t what = input.byte();
        if (what & 0x01) block.postPortIndex(input.flag() ? input.raw<int32_t>() : input.byte() % 9 - 2);
        if (what & 0x02) block.postProposedInt(input.flag() ? input.raw<int32_t>() : input.byte() % 12 - 1);
        if (what & 0x04) block.postSampleTime(input.number(1e-4), input.number(0.0));
        if (what & 0x08) {
            posted.width = input.raw<int32_t>();
            posted.numDims = input.byte() % 5;
            dims[0] = posted.width;
            posted.dims = input.flag() ? dims : nullptr;
            block.postDims(input.flag() ? &posted : nullptr);
        }
        if (what & 0x10) block.setDimsMethodsFlag(input.flag());
        if (what & 0x20) writeInputs(input, block);
        block.callMethod(methodFlag(input));
        // Keep going after a refusal: the road must take any next call.
        block.clearError();
    }
    block.terminate();
    return 0;
}
