// The SimStruct the frame makes for a sizes query from the MATLAB command
// line, where no Simulink block stands behind the call. Everything comes
// from mxCalloc and dies with the MATLAB call.
#ifndef ORVANE_SFUNCTION_THROWAWAY_SIMSTRUCT_H
#define ORVANE_SFUNCTION_THROWAWAY_SIMSTRUCT_H

#include "contract/mex_api.h"
#include "contract/simstruc.h"

// A zeroed SimStruct in sizes-only mode, its own root, named `name` (model
// name and path), with prhs[4] onward as its block parameters and the
// frame's port-count functions as its only host functions: the dimension
// setters then succeed without registering anything, and the work-vector
// count fails. Null when memory cannot be had.
SimStruct* makeThrowawaySimStruct(const char* name, int nrhs, const mxArray* prhs[]);

// The port-count functions placed in it (context: the SimStruct). A negative
// count is refused with 0; otherwise the count is recorded, the sizes flag
// for registered port counts is set, zeroed port records are attached, and
// the result is 1.
int throwawaySetNumInputPorts(void* context, int count);
int throwawaySetNumOutputPorts(void* context, int count);

#endif  // ORVANE_SFUNCTION_THROWAWAY_SIMSTRUCT_H
