// The command-line road of every deliverable's mexFunction with arbitrary
// right-hand arguments: any counts, shapes, strings, flags and parameters,
// and 3-row x vectors of any contents but the version mark that makes them
// a SimStruct hand-over (which only Simulink may send, with a real
// pointer). Each call must either raise one of the road's messages or
// return the 40-entry sizes vector.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "contract/mex.h"
#include "contract/simstruc.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/fuzz_deliverables.h"
#include "fuzz/fuzz_input.h"
#include "host/mex_call_scope.h"

namespace {

constexpr double kVersionMark = 8480229.0;
constexpr int kMaxArguments = 9;

// One right-hand argument: nothing, a string, or a real matrix.
const mxArray* argument(FuzzInput& input, int position) {
    const uint8_t kind = input.byte() % 8;
    if (kind == 0) return nullptr;
    if (kind == 1) {
        std::string text;
        for (std::size_t n = input.byte() % 12; n > 0; --n) text += static_cast<char>(input.byte() | 1);
        return mxCreateString(text.c_str());
    }
    // Mostly the shapes the road tests for (1x1, 3x1, empty), sometimes any.
    std::size_t rows = 0;
    std::size_t columns = 0;
    switch (kind) {
        case 2: rows = 1; columns = 1; break;
        case 3: rows = 3; columns = 1; break;
        case 4: rows = 0; columns = 0; break;
        default: rows = input.byte() % 5; columns = input.byte() % 5; break;
    }
    mxArray* a = mxCreateDoubleMatrix(rows, columns, mxREAL);
    double* values = mxGetPr(a);
    for (std::size_t i = 0; values != nullptr && i < rows * columns; ++i) values[i] = input.number(0.0);
    if (position == 1 && rows == 3 && values != nullptr && values[2] == kVersionMark) values[2] = kVersionMark - 1.0;
    return a;
}

bool isRoadMessage(const std::string& text) {
    static const char* const kStarts[] = {
        "MEX level2 S-function \"",
        "The 4th right hand argument, FLAG, passed to ",
        "Invalid flag passed to ",
    };
    for (const char* start : kStarts) {
        if (text.rfind(start, 0) == 0) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const std::shared_ptr<Deliverable> deliverable = fuzzDeliverable(input.byte() % kFuzzDeliverableCount);

    MexCallScope scope;
    const int nlhs = input.byte() % 4;
    const int nrhs = input.byte() % (kMaxArguments + 1);
    std::vector<const mxArray*> prhs;
    for (int i = 0; i < nrhs; ++i) prhs.push_back(argument(input, i));
    mxArray* plhs[4] = {nullptr, nullptr, nullptr, nullptr};

    const std::string raised = deliverable->call(nlhs, plhs, nrhs, prhs.empty() ? nullptr : prhs.data());
    if (!raised.empty()) {
        FUZZ_CHECK(isRoadMessage(raised), "unexpected message: %s", raised.c_str());
        return 0;
    }
    FUZZ_CHECK(plhs[0] != nullptr && mxGetM(plhs[0]) == kSizesCount && mxGetN(plhs[0]) == 1,
               "a query without error returned no 40-by-1 vector");
    FUZZ_CHECK(mxGetPr(plhs[0])[kSizesVersion] == kVersionMark, "the sizes vector lacks the version");
    return 0;
}
