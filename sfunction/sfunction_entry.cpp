// mexFunction's first decision: a non-negative left-hand count is a call in
// the MATLAB calling convention (the sizes query), a negative one is
// Simulink calling a block method.
#include "sfunction/sfunction_entry.h"

void sfunctionEntry(const SfunctionBlock& block, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    if (nlhs >= 0) {
        answerSizesQuery(block, nlhs, plhs, nrhs, prhs);
        return;
    }
    dispatchMethod(block, plhs, nrhs, prhs);
}
