// The body of every deliverable's mexFunction: the method road (negative
// left-hand count, Simulink calling one block method) and the command-line
// road (the sizes query).
#ifndef ORVANE_SFUNCTION_SFUNCTION_ENTRY_H
#define ORVANE_SFUNCTION_SFUNCTION_ENTRY_H

#include "contract/mex_api.h"
#include "sfunction/sfunction_block.h"

void sfunctionEntry(const SfunctionBlock& block, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

// Method road: calls the block method that the flag in prhs[3] selects on
// the SimStruct in plhs[1], or sets the error status to say why it cannot.
void dispatchMethod(const SfunctionBlock& block, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

// Command-line road: only the sizes query (flag 0) is served; every other
// call ends in mexErrMsgTxt, which does not return.
void answerSizesQuery(const SfunctionBlock& block, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

#endif  // ORVANE_SFUNCTION_SFUNCTION_ENTRY_H
