#include "contract/port_dimensions.h"

namespace {

int registerVectorDimension(SimStruct* S, SsPortDimsFcn hostFunction, int port, int width) {
    if (hostFunction == nullptr) return 1;
    DimsInfo_T dims = DECL_AND_INIT_DIMSINFO_DEFAULT;
    int dimension = width;
    dims.width = width;
    dims.numDims = 1;
    dims.dims = &dimension;
    return hostFunction(S, port, &dims);
}

}  // namespace

int ssSetInputPortVectorDimension(SimStruct* S, int port, int width) {
    return registerVectorDimension(S, S->regs.setInputPortDims, port, width);
}

int ssSetOutputPortVectorDimension(SimStruct* S, int port, int width) {
    return registerVectorDimension(S, S->regs.setOutputPortDims, port, width);
}
