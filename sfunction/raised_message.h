// Errors of the command-line road: the text is formatted into a buffer from
// mxCalloc sized for the whole message, then raised with mexErrMsgTxt, which
// does not return. The host reclaims the buffer when its call ends, so the
// jump out of the frame leaks nothing.
#ifndef ORVANE_SFUNCTION_RAISED_MESSAGE_H
#define ORVANE_SFUNCTION_RAISED_MESSAGE_H

[[noreturn]] __attribute__((format(printf, 1, 2))) void raiseFormatted(const char* format, ...);

#endif  // ORVANE_SFUNCTION_RAISED_MESSAGE_H
