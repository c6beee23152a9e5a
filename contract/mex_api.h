// The MEX and mx interface block code calls, from whichever host the
// deliverable is built for: our own substitute host (contract/mex.h) by default,
// or GNU Octave's MEX header when ORVANE_OCTAVE_MEX is defined. The sources
// are the same for both; only this header differs.
#ifndef ORVANE_CONTRACT_MEX_API_H
#define ORVANE_CONTRACT_MEX_API_H

#if defined(ORVANE_OCTAVE_MEX)
// Octave declares mxArray as void, the same as contract/simstruc.h does in this
// build, and has no versioned names: mxCreateDoubleMatrix is the plain one.
#include <octave/mex.h>
#define ORVANE_MXARRAY_DECLARED
// Octave raises the error as an exception and never returns; its header
// omits the attribute that tells the compiler so.
extern "C" __attribute__((noreturn)) void mexErrMsgTxt(const char* message);
#else
#include "contract/mex.h"
#endif

#endif  // ORVANE_CONTRACT_MEX_API_H
