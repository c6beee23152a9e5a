// The command-line road: mexFunction called in the MATLAB calling convention
// (t, x, u, flag, parameters...). Only the sizes query is served. Simulink
// uses the same call to hand over its own SimStruct inside x; a user at the
// command line gets a throw-away SimStruct instead.
#include <cstdint>
#include <cstring>

#include "contract/method_flags.h"
#include "contract/mex_api.h"
#include "model/facts/model_facts.h"
#include "sfunction/raised_message.h"
#include "sfunction/sfunction_entry.h"
#include "sfunction/throwaway_simstruct.h"

namespace {

// A deliverable compiled under this name serves any block name.
constexpr const char* kNameCheckExempt = "simulink_only_sfcn";

// Set in the option word of every SimStruct whose sizes were answered here.
constexpr uint32_t kOptionSizesAnswered = 0x2000;

constexpr std::size_t kSizesVectorLength = kSizesCount;

// The flag argument: one real number holding an int32 exactly.
bool flagIsInteger(const mxArray* flag, int32_t& value) {
    if (flag == nullptr || mxGetM(flag) * mxGetN(flag) != 1 || mxIsComplex(flag) || !mxIsNumeric(flag)) {
        return false;
    }
    // A numeric class other than double passes the checks above; its one
    // element is converted, never read as eight bytes it may not have.
    const double number = mxGetScalar(flag);
    if (!facts::truncatesIntoInt32(number)) return false;
    value = static_cast<int32_t>(number);
    return static_cast<double>(value) == number;
}

// The SimStruct Simulink hid in x: a real 3-row array carrying the
// pointer's low and high 32-bit halves as signed integers and then the
// version mark. Null when x is no such hand-over.
SimStruct* handedOverSimStruct(const mxArray* x) {
    // Only a double array holds three doubles; any other class is a
    // command-line argument.
    if (x == nullptr || mxGetM(x) != 3 || !mxIsDouble(x)) return nullptr;
    const double* data = mxGetPr(x);
    if (data == nullptr || data[2] != kSimStructVersionMark) return nullptr;
    const auto low = static_cast<uint32_t>(facts::truncateToInt32(data[0]));
    const auto high = static_cast<uint32_t>(facts::truncateToInt32(data[1]));
    const uint64_t address = (static_cast<uint64_t>(high) << 32) | low;
    return reinterpret_cast<SimStruct*>(static_cast<uintptr_t>(address));
}

void checkBlockName(const SfunctionBlock& block, const SimStruct* S) {
    if (std::strcmp(block.name, kNameCheckExempt) == 0) return;
    const char* simStructName = ssGetModelName(S) != nullptr ? ssGetModelName(S) : "";
    if (std::strcmp(simStructName, block.name) == 0) return;
    raiseFormatted(
        "S-function name mismatch. Name in source is \"#define S_FUNCTION_NAME %s\", whereas name of the "
        "S-function MEX file is \"%s\". The source needs to be updated",
        block.name, simStructName);
}

}  // namespace

void answerSizesQuery(const SfunctionBlock& block, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nrhs < 4 || prhs == nullptr) {
        raiseFormatted("%s must be called with at least 4 right hand arguments", block.description);
    }
    if (nlhs > 1) raiseFormatted("%s called with too many left hand arguments", block.description);
    int32_t flag = 0;
    if (!flagIsInteger(prhs[3], flag)) {
        raiseFormatted("The 4th right hand argument, FLAG, passed to %s must be an integer", block.description);
    }
    if (flag != 0) raiseFormatted("Invalid flag passed to %s", block.description);

    SimStruct* S = handedOverSimStruct(prhs[1]);
    if (S != nullptr) {
        checkBlockName(block, S);
        fillMethodSlots(block, S);
    } else {
        S = makeThrowawaySimStruct(block.name, nrhs, prhs);
        if (S == nullptr) raiseFormatted("Out of memory in %s", block.description);
    }

    ssSetVersion(S, kSimStructVersion);
    if (block.announcesSizesCallFromBlock && S->blockHandle != nullptr) {
        ssCallGenericFcn(S, GEN_FCN_SIZES_CALL_FROM_BLOCK, 1, nullptr);
    }
    block.initializeSizes(S);

    mxArray* sizes = mxCreateDoubleMatrix(kSizesVectorLength, 1, mxREAL);
    double* out = sizes != nullptr ? mxGetPr(sizes) : nullptr;
    if (out == nullptr) raiseFormatted("Out of memory in %s", block.description);
    if (plhs != nullptr) plhs[0] = sizes;
    for (std::size_t i = 0; i < kSizesVectorLength; ++i) out[i] = static_cast<double>(S->sizes[i]);

    ssSetOptions(S, ssGetOptions(S) | kOptionSizesAnswered);
    // Checksums and the option word are bit patterns: read them unsigned.
    for (int i = 0; i < 4; ++i) out[kSizesChecksum0 + i] = static_cast<double>(ssGetChecksumVal(S, i));
    out[kSizesOptions] = static_cast<double>(ssGetOptions(S));
}
