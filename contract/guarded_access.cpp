// Guarded forms of the two host accessors that are easy to misuse: reading
// an input port's element pointers, and setting a port's direct-feedthrough
// flag. Misuse is shown in a modal error dialog instead of crashing.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "contract/fatal_report.h"
#include "contract/mex_api.h"
#include "contract/simstruc.h"

namespace {

// Formats into a heap buffer that holds the whole text; null when no memory.
__attribute__((format(printf, 1, 2))) char* formatMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    char* buffer = length < 0 ? nullptr : static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
    if (buffer != nullptr) std::vsnprintf(buffer, static_cast<std::size_t>(length) + 1, format, args);
    va_end(args);
    return buffer;
}

void raiseFatal(SimStruct* S, char* text) {
    SsModelInfo* info = ssGetModelInfo(S);
    if (info != nullptr) info->fatalReportFlag = 1;
    reportFatalError(S, text);
    std::free(text);
}

}  // namespace

// The slow half of the guarded input accessor (inline in simstruc.h): it
// checks again, so that a valid access made through it still gets the
// pointers, and reports a misuse.
const void* const* ssReportInputPortSignalPtrsMisuse(SimStruct* S, int port) {
    const int count = ssGetNumInputPorts(S);
    char* text = nullptr;
    if (port < 0 || port >= count) {
        text = formatMessage(
            "S-function '%s' in block '%s' is attempting to access the signal from input port '%d' in one its "
            "methods. However, the S-function's mdlInitializeSizes routine has configured the block to have only "
            "%d input port(s). The incorrect access will cause a segmentation violation. Please verify that all "
            "calls to ssGetInputPort[Real]Signal[Ptrs]() are using port indices in the range [0..%d].\n",
            ssGetModelName(S), ssGetPath(S), port + 1, count, count - 1);
    } else {
        const void* const* pointers = ssReadInputPortSignalPtrs(S, port);
        if (pointers != nullptr) return pointers;
        text = formatMessage(
            "S-function '%s' in block '%s' is attempting to access the signal from input port '%d' in one its "
            "methods. However, the S-function's mdlInitializeSizes routine did not register the "
            "ssSetInputPortDirectFeedThrough macro or the direct feedthrough flag has been set to zero. This will "
            "cause a segmentation violation. %s",
            ssGetModelName(S), ssGetPath(S), port + 1,
            "Please verify that the ssSetInputPortDirectFeedThrough is declared in mdlInitializeSizes and the direct "
            "feedthrough flag is set to one when accessing the input port signals in the mdlOutputs and/or "
            "mdlGetTimeOfNextVarHit method(s).");
    }
    if (text == nullptr) return nullptr;
    raiseFatal(S, text);
    return nullptr;
}

void ssSetInputPortDirectFeedThrough(SimStruct* S, int port, int value) {
    const int count = ssGetNumInputPorts(S);
    if (port >= 0 && port < count) {
        ssStoreInputPortDirectFeedThrough(S, port, value);
        return;
    }
    char* first = formatMessage(
        "S-function '%s' in block '%s' is setting or clearing the direct feedthrough flag for port %d. However, the "
        "S-function's mdlInitializeSizes routine has configured the block to have only %d input port(s). Setting of "
        "clearing the direct feedthrough flag for an invalid port index will cause a segmentation violation. ",
        ssGetModelName(S), ssGetPath(S), port + 1, count);
    char* second = formatMessage(
        "Please verify that all calls to ssSetInputPortDirectFeedThrough are using port indices in the range "
        "[0..%d].\n",
        count - 1);
    if (first == nullptr || second == nullptr) {
        std::free(first);
        std::free(second);
        return;
    }
    const std::size_t firstLength = std::strlen(first);
    const std::size_t secondLength = std::strlen(second);
    char* joined = static_cast<char*>(std::realloc(first, firstLength + secondLength + 1));
    if (joined == nullptr) {
        std::free(first);
        std::free(second);
        return;
    }
    std::memcpy(joined + firstLength, second, secondLength + 1);
    std::free(second);
    raiseFatal(S, joined);
}
