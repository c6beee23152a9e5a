// The MEX and mx functions that block code calls. C linkage: a deliverable
// leaves these symbols undefined and takes them from the process that loads
// it (our host library here, another host elsewhere).
#ifndef ORVANE_CONTRACT_MEX_H
#define ORVANE_CONTRACT_MEX_H

#include <cstddef>

#ifndef ORVANE_MXARRAY_DECLARED
#define ORVANE_MXARRAY_DECLARED
typedef struct mxArray_tag mxArray;
#endif

typedef enum { mxREAL = 0, mxCOMPLEX = 1 } mxComplexity;

extern "C" {
double* mxGetPr(const mxArray* a);
double mxGetScalar(const mxArray* a);
bool mxIsDouble(const mxArray* a);
size_t mxGetM(const mxArray* a);
size_t mxGetN(const mxArray* a);
bool mxIsComplex(const mxArray* a);
bool mxIsNumeric(const mxArray* a);
mxArray* mxCreateDoubleMatrix_700(size_t m, size_t n, mxComplexity complexity);
mxArray* mxCreateString(const char* text);
void* mxCalloc(size_t count, size_t size);
void mxFree(void* p);
void mxDestroyArray(mxArray* a);
[[noreturn]] void mexErrMsgTxt(const char* message);
int mexCallMATLAB(int nlhs, mxArray* plhs[], int nrhs, mxArray* prhs[], const char* functionName);
}

#define mxCreateDoubleMatrix mxCreateDoubleMatrix_700

#endif  // ORVANE_CONTRACT_MEX_H
