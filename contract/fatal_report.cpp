#include "contract/fatal_report.h"

#include "contract/mex_api.h"

void reportFatalError(SimStruct* S, const char* text) {
    (void)S;
    mxArray* args[3] = {mxCreateString(text), mxCreateString("Fatal Error"), mxCreateString("modal")};
    mexCallMATLAB(0, nullptr, 3, args, "errordlg");
}
