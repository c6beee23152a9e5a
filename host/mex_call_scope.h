// The host side of the MEX layer: the boundary of one host call, which
// reclaims what the call allocated and turns mexErrMsgTxt into that call's
// error, and the record of error dialogs the blocks raised.
#ifndef ORVANE_HOST_MEX_CALL_SCOPE_H
#define ORVANE_HOST_MEX_CALL_SCOPE_H

#include <exception>
#include <string>
#include <vector>

// Thrown by mexErrMsgTxt; caught at the host's call boundary.
class MexError : public std::exception {
public:
    explicit MexError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// While a scope is open, mxCalloc memory and created arrays belong to it and
// are released when it closes (scopes nest; the innermost one owns).
// Allocations outside every scope live until the process ends.
class MexCallScope {
public:
    MexCallScope();
    ~MexCallScope();
    MexCallScope(const MexCallScope&) = delete;
    MexCallScope& operator=(const MexCallScope&) = delete;
};

struct ErrorDialog {
    std::string text;
    std::string title;
    std::string mode;
};

// Dialogs raised through mexCallMATLAB("errordlg"), oldest first.
const std::vector<ErrorDialog>& recordedDialogs();
void clearRecordedDialogs();
// Whether a raised dialog is also shown on standard error (default true).
void setDialogEcho(bool on);

#endif  // ORVANE_HOST_MEX_CALL_SCOPE_H
