#include "sfunction/raised_message.h"

#include <cstdarg>
#include <cstdio>

#include "contract/mex_api.h"

void raiseFormatted(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list sizing;
    va_copy(sizing, args);
    const int length = std::vsnprintf(nullptr, 0, format, sizing);
    va_end(sizing);
    char* text = length < 0 ? nullptr : static_cast<char*>(mxCalloc(static_cast<std::size_t>(length) + 1, 1));
    if (text == nullptr) {
        va_end(args);
        // Without memory for the names, the template still says what failed.
        mexErrMsgTxt(format);
    }
    std::vsnprintf(text, static_cast<std::size_t>(length) + 1, format, args);
    va_end(args);
    mexErrMsgTxt(text);
}
