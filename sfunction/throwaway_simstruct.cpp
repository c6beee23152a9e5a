#include "sfunction/throwaway_simstruct.h"

int throwawaySetNumInputPorts(void* context, int count) {
    auto* S = static_cast<SimStruct*>(context);
    if (count < 0) return 0;
    SsInputPort* ports = nullptr;
    if (count > 0) {
        ports = static_cast<SsInputPort*>(mxCalloc(static_cast<std::size_t>(count), sizeof(SsInputPort)));
        if (ports == nullptr) return 0;
    }
    S->sizes[kSizesNumInputPorts] = count;
    S->sizes[kSizesFlags] |= kSizesFlagPortCountsRegistered;
    S->inputPorts = ports;
    return 1;
}

int throwawaySetNumOutputPorts(void* context, int count) {
    auto* S = static_cast<SimStruct*>(context);
    if (count < 0) return 0;
    SsOutputPort* ports = nullptr;
    if (count > 0) {
        ports = static_cast<SsOutputPort*>(mxCalloc(static_cast<std::size_t>(count), sizeof(SsOutputPort)));
        if (ports == nullptr) return 0;
    }
    S->sizes[kSizesNumOutputPorts] = count;
    S->sizes[kSizesFlags] |= kSizesFlagPortCountsRegistered;
    S->outputPorts = ports;
    return 1;
}

SimStruct* makeThrowawaySimStruct(const char* name, int nrhs, const mxArray* prhs[]) {
    auto* S = static_cast<SimStruct*>(mxCalloc(1, sizeof(SimStruct)));
    auto* info = static_cast<SsModelInfo*>(mxCalloc(1, sizeof(SsModelInfo)));
    if (S == nullptr || info == nullptr) return nullptr;
    S->root = S;
    S->modelInfo = info;
    S->simMode = SS_SIMMODE_SIZES_CALL_ONLY;
    S->modelName = name;
    S->path = name;

    // Arguments after the flag are the block's parameters; the arrays stay
    // the caller's.
    const int paramCount = nrhs >= 5 ? nrhs - 4 : 0;
    S->sfcnParamsCount = paramCount;
    if (paramCount > 0) {
        auto** params =
            static_cast<const mxArray**>(mxCalloc(static_cast<std::size_t>(paramCount), sizeof(const mxArray*)));
        if (params == nullptr) return nullptr;
        for (int i = 0; i < paramCount; ++i) params[i] = prhs[4 + i];
        S->sfcnParams = params;
    }

    S->regs.setNumInputPorts = throwawaySetNumInputPorts;
    S->regs.inputPortsContext = S;
    S->regs.setNumOutputPorts = throwawaySetNumOutputPorts;
    S->regs.outputPortsContext = S;
    return S;
}
