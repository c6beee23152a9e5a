// A deliverable loaded into this process: a shared library whose one export
// is mexFunction. Its mx/mex symbols resolve against our host library, which
// the loading program has already linked.
#ifndef ORVANE_HOST_DELIVERABLE_H
#define ORVANE_HOST_DELIVERABLE_H

#include <memory>
#include <string>
#include <vector>

#include "contract/mex.h"

typedef void (*MexFunction)(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

class Deliverable {
public:
    // Null, with `error` saying why, when the file does not load or exports
    // no mexFunction.
    static std::shared_ptr<Deliverable> open(const std::string& path, std::string& error);
    ~Deliverable();
    Deliverable(const Deliverable&) = delete;
    Deliverable& operator=(const Deliverable&) = delete;

    const std::string& path() const { return path_; }
    // The S-function name the host gives the block: the file name without
    // its directory and extension, as Simulink names a MEX S-function.
    const std::string& sfunctionName() const { return name_; }

    // One call of mexFunction. The caller holds the MexCallScope that owns
    // the arrays. Returns the text of a mexErrMsgTxt raised inside, or an
    // empty string.
    std::string call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) const;

private:
    Deliverable(std::string path, void* handle, MexFunction entry);

    std::string path_;
    std::string name_;
    void* handle_;
    MexFunction entry_;
};

// The sizes query as a user at the MATLAB command line makes it: empty t, x
// and u, flag 0, then each parameter as a 1-by-1 double. False, with
// `error` set to the deliverable's message, when it refuses.
bool commandLineSizes(const Deliverable& deliverable, const std::vector<double>& params, std::vector<double>& sizes,
                      std::string& error);

#endif  // ORVANE_HOST_DELIVERABLE_H
