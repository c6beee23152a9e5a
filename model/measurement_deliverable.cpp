// The entry of a measurement deliverable (Orvane_10kHz_sf and its sister
// builds): the frame with the measurement block of the build being compiled.
#include "model/model_methods.h"
#include "sfunction/mex_export.h"
#include "sfunction/sfunction_entry.h"

extern "C" void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) {
    sfunctionEntry(ORVANE_MODEL_NS::kMeasurementBlock, nlhs, plhs, nrhs, prhs);
}
