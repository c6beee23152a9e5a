#include "host/cast_block_runner.h"

#include <cstring>

#include "host/mex_block.h"

namespace {

bool hasCastShape(const SimStruct* S) {
    return ssGetNumInputPorts(S) == 1 && ssGetNumOutputPorts(S) == 1 && S->inputPorts[0].width == 1 &&
           S->inputPorts[0].dataType == SS_DOUBLE && S->outputPorts[0].width == 1 &&
           S->outputPorts[0].dataType == SS_INT32;
}

}  // namespace

bool runCastBlock(const std::shared_ptr<const Deliverable>& deliverable, const std::vector<double>& values,
                  std::vector<int32_t>& results, std::string& error) {
    MexBlock block(deliverable);
    if (!block.start()) {
        error = block.error();
        return false;
    }
    if (!hasCastShape(block.simStruct())) {
        error = "'" + deliverable->path() + "' does not have one double input and one int32 output";
        return false;
    }
    results.clear();
    for (double value : values) {
        std::memcpy(block.record().inputBuffer(0), &value, sizeof value);
        if (!block.outputs()) {
            error = block.error();
            return false;
        }
        int32_t result = 0;
        std::memcpy(&result, block.record().outputBuffer(0), sizeof result);
        results.push_back(result);
    }
    block.terminate();
    if (block.failed()) {
        error = block.error();
        return false;
    }
    return true;
}
