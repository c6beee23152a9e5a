// The fatal-error report: a modal error dialog with the text. Control
// returns to the caller once the host has shown it.
#ifndef ORVANE_CONTRACT_FATAL_REPORT_H
#define ORVANE_CONTRACT_FATAL_REPORT_H

#include "contract/simstruc.h"

void reportFatalError(SimStruct* S, const char* text);

#endif  // ORVANE_CONTRACT_FATAL_REPORT_H
