#include "host/deliverable.h"

#include <dlfcn.h>

#include <exception>
#include <filesystem>
#include <utility>

#include "host/mex_call_scope.h"

std::shared_ptr<Deliverable> Deliverable::open(const std::string& path, std::string& error) {
    // RTLD_NOW: a host lacking one of the mx/mex functions is reported here,
    // not in the middle of a run.
    // A bare file name means the file in the current directory, not a
    // library on the loader's search path.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = "cannot load deliverable '" + path + "': " + (reason != nullptr ? reason : "unknown reason");
        return nullptr;
    }
    auto entry = reinterpret_cast<MexFunction>(dlsym(handle, "mexFunction"));
    if (entry == nullptr) {
        dlclose(handle);
        error = "'" + path + "' is not a deliverable: it exports no mexFunction";
        return nullptr;
    }
    return std::shared_ptr<Deliverable>(new Deliverable(path, handle, entry));
}

Deliverable::Deliverable(std::string path, void* handle, MexFunction entry)
    : path_(std::move(path)), name_(std::filesystem::path(path_).stem().string()), handle_(handle), entry_(entry) {}

Deliverable::~Deliverable() { dlclose(handle_); }

std::string Deliverable::call(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]) const {
    try {
        entry_(nlhs, plhs, nrhs, prhs);
    } catch (const MexError& e) {
        // mexErrMsgTxt with an empty text still ended the call with an error.
        return e.what()[0] != '\0' ? e.what() : "(error without a message)";
    }
    return {};
}

bool commandLineSizes(const Deliverable& deliverable, const std::vector<double>& params, std::vector<double>& sizes,
                      std::string& error) {
    MexCallScope scope;
    std::vector<const mxArray*> prhs;
    for (int i = 0; i < 3; ++i) prhs.push_back(mxCreateDoubleMatrix(0, 0, mxREAL));
    mxArray* flag = mxCreateDoubleMatrix(1, 1, mxREAL);
    *mxGetPr(flag) = 0.0;
    prhs.push_back(flag);
    for (double value : params) {
        mxArray* param = mxCreateDoubleMatrix(1, 1, mxREAL);
        *mxGetPr(param) = value;
        prhs.push_back(param);
    }
    mxArray* plhs[1] = {nullptr};
    error = deliverable.call(1, plhs, static_cast<int>(prhs.size()), prhs.data());
    if (!error.empty()) return false;
    const double* values = mxGetPr(plhs[0]);
    if (values == nullptr) {
        error = "the sizes query of '" + deliverable.path() + "' returned no vector";
        return false;
    }
    sizes.assign(values, values + mxGetM(plhs[0]) * mxGetN(plhs[0]));
    return true;
}
