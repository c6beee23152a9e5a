// The one symbol a deliverable exports. Each deliverable defines it once,
// handing its own SfunctionBlock to the frame.
#ifndef ORVANE_SFUNCTION_MEX_EXPORT_H
#define ORVANE_SFUNCTION_MEX_EXPORT_H

#include "contract/mex_api.h"

extern "C" __attribute__((visibility("default"))) void mexFunction(int nlhs, mxArray* plhs[], int nrhs,
                                                                    const mxArray* prhs[]);

#endif  // ORVANE_SFUNCTION_MEX_EXPORT_H
