#include "host/mex_block.h"

#include <cstdint>
#include <utility>

#include "host/mex_call_scope.h"

namespace {

// The hand-over splits the record's address into 32-bit halves, each
// carried as a signed integer value in a double.
double signedHalf(uint32_t half) { return static_cast<double>(static_cast<int32_t>(half)); }

mxArray* scalar(double value) {
    mxArray* a = mxCreateDoubleMatrix(1, 1, mxREAL);
    *mxGetPr(a) = value;
    return a;
}

}  // namespace

MexBlock::MexBlock(std::shared_ptr<const Deliverable> deliverable, const std::string& name)
    : deliverable_(std::move(deliverable)),
      record_(std::make_unique<BlockRecord>(name.empty() ? deliverable_->sfunctionName() : name)) {}

MexBlock::~MexBlock() {
    terminate();
    for (mxArray*& a : methodArgs_) {
        mxDestroyArray(a);
        a = nullptr;
    }
}

void MexBlock::postSampleTime(double period, double offset) {
    simStruct()->posted.proposedSampleTime = period;
    simStruct()->posted.proposedOffsetTime = offset;
}

void MexBlock::clearError() {
    error_.clear();
    simStruct()->errorStatus = nullptr;
    if (simStruct()->modelInfo != nullptr) simStruct()->modelInfo->fatalReportFlag = 0;
}

bool MexBlock::handOverSizes() {
    MexCallScope scope;
    const auto address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(simStruct()));
    mxArray* x = mxCreateDoubleMatrix(3, 1, mxREAL);
    double* xs = mxGetPr(x);
    xs[0] = signedHalf(static_cast<uint32_t>(address & 0xffffffffu));
    xs[1] = signedHalf(static_cast<uint32_t>(address >> 32));
    xs[2] = kSimStructVersionMark;
    const mxArray* prhs[4] = {mxCreateDoubleMatrix(0, 0, mxREAL), x, mxCreateDoubleMatrix(0, 0, mxREAL), scalar(0.0)};
    mxArray* plhs[1] = {nullptr};
    error_ = deliverable_->call(0, plhs, 4, prhs);
    if (!error_.empty()) return false;
    const char* status = ssGetErrorStatus(simStruct());
    if (status != nullptr) {
        error_ = status;
        return false;
    }
    const double* values = mxGetPr(plhs[0]);
    if (values == nullptr) {
        error_ = "the sizes hand-over of '" + deliverable_->path() + "' returned no vector";
        return false;
    }
    sizes_.assign(values, values + mxGetM(plhs[0]) * mxGetN(plhs[0]));
    // Registered: a new life of the block (a restart after a terminate)
    // ends with its own terminate call.
    terminated_ = false;
    return true;
}

bool MexBlock::callMethod(double flag) {
    onMethodRoad_ = true;
    const std::size_t dialogsBefore = recordedDialogs().size();
    if (methodArgs_[3] == nullptr) {
        for (int i = 0; i < 3; ++i) methodArgs_[i] = mxCreateDoubleMatrix(0, 0, mxREAL);
        methodArgs_[3] = scalar(0.0);
    }
    *mxGetPr(methodArgs_[3]) = flag;
    {
        MexCallScope scope;
        // The real host passes the SimStruct itself where an array would go.
        mxArray* plhs[2] = {nullptr, reinterpret_cast<mxArray*>(simStruct())};
        const mxArray* prhs[4] = {methodArgs_[0], methodArgs_[1], methodArgs_[2], methodArgs_[3]};
        std::string raised = deliverable_->call(-1, plhs, 4, prhs);
        if (!raised.empty() && error_.empty()) error_ = std::move(raised);
    }
    const char* status = ssGetErrorStatus(simStruct());
    if (status != nullptr && error_.empty()) error_ = status;
    const auto& dialogs = recordedDialogs();
    if (dialogs.size() > dialogsBefore && error_.empty()) {
        error_ = dialogs[dialogsBefore].title + ": " + dialogs[dialogsBefore].text;
    }
    return error_.empty();
}

bool MexBlock::callIfFilled(bool slotFilled, int flag) { return !slotFilled || callMethod(flag); }

bool MexBlock::propagate() {
    SimStruct* S = simStruct();
    const SsMethods& m = S->methods;
    const int inputs = ssGetNumInputPorts(S);
    const int outputs = ssGetNumOutputPorts(S);
    // The stand-in connects every port to a signal of the type the block
    // registered for it: defaults first, then each port's proposal, so a
    // block that defines these methods ends with its registered types.
    std::vector<int> inputTypes;
    std::vector<int> outputTypes;
    for (int p = 0; p < inputs; ++p) inputTypes.push_back(S->inputPorts[p].dataType);
    for (int p = 0; p < outputs; ++p) outputTypes.push_back(S->outputPorts[p].dataType);

    if (!callIfFilled(m.mdlSetDefaultPortDataTypes != nullptr, kFlagSetDefaultPortDataTypes)) return false;
    for (int p = 0; p < inputs && m.mdlSetInputPortDataType != nullptr; ++p) {
        postPortIndex(p);
        postProposedInt(inputTypes[static_cast<std::size_t>(p)]);
        if (!callMethod(kFlagSetInputPortDataType)) return false;
    }
    for (int p = 0; p < outputs && m.mdlSetOutputPortDataType != nullptr; ++p) {
        postPortIndex(p);
        postProposedInt(outputTypes[static_cast<std::size_t>(p)]);
        if (!callMethod(kFlagSetOutputPortDataType)) return false;
    }
    // Sample-based signals: no frames.
    for (int p = 0; p < inputs && m.mdlSetInputPortFrameData != nullptr; ++p) {
        postPortIndex(p);
        postProposedInt(0);
        if (!callMethod(kFlagSetInputPortFrameData)) return false;
    }
    postPortIndex(0);
    postProposedInt(0);
    return true;
}

bool MexBlock::allocate() { return record_->allocate(error_); }

bool MexBlock::startMethods() {
    const SsMethods& m = simStruct()->methods;
    const bool started = callMethod(kFlagInitializeSampleTimes) && callIfFilled(m.mdlStart != nullptr, kFlagStart) &&
                         callIfFilled(m.mdlInitializeConditions != nullptr, kFlagInitializeConditions);
    if (!started) terminate();
    return started;
}

bool MexBlock::start() {
    if (!(handOverSizes() && propagate() && allocate())) {
        terminate();
        return false;
    }
    return startMethods();
}

bool MexBlock::outputs() {
    if (failed()) return false;
    // Not the constant task: the port-index int carries no -2 here.
    postPortIndex(0);
    return callMethod(kFlagOutputs);
}

bool MexBlock::update() {
    if (failed()) return false;
    return callIfFilled(simStruct()->methods.mdlUpdate != nullptr, kFlagUpdate);
}

void MexBlock::terminate() {
    if (!onMethodRoad_ || terminated_) return;
    terminated_ = true;
    // Called even after an error, so the block frees what it holds; the
    // first error stays the one reported.
    callMethod(kFlagTerminate);
}
