// Our stand-in for Simulink driving one block of a loaded deliverable, only
// ever through mexFunction: the sizes hand-over of its own record, the
// propagation methods the block defines, allocation of the registered ports
// and work vectors, then the method road in Simulink's order. Every host
// call runs in its own MexCallScope.
#ifndef ORVANE_HOST_MEX_BLOCK_H
#define ORVANE_HOST_MEX_BLOCK_H

#include <memory>
#include <string>
#include <vector>

#include "contract/method_flags.h"
#include "host/block_record.h"
#include "host/deliverable.h"

class MexBlock {
public:
    // A block of `deliverable`; its record is named `name` (by default the
    // deliverable's S-function name, as Simulink names it).
    explicit MexBlock(std::shared_ptr<const Deliverable> deliverable, const std::string& name = {});
    ~MexBlock();
    MexBlock(const MexBlock&) = delete;
    MexBlock& operator=(const MexBlock&) = delete;

    BlockRecord& record() { return *record_; }
    SimStruct* simStruct() { return record_->simStruct(); }

    // The whole start: hand-over, propagation, allocation, sample times,
    // start and initial conditions. False, with error() set, on the first
    // failure; a block that was already on the method road is terminated.
    bool start();
    // mdlOutputs, then mdlUpdate when the block has it. Nothing once a call
    // has failed.
    bool outputs();
    bool update();
    // mdlTerminate, once, if the block has been on the method road.
    void terminate();

    // The pieces of start(), for tests that drive a block step by step and
    // for hosts that check the registered shape before the method road.
    bool handOverSizes();
    bool propagate();
    bool allocate();
    // Sample times, then start and initial conditions where the block has
    // them; a failure terminates the block.
    bool startMethods();
    // One method-road call with this flag (fractions included). False, with
    // error() set, when the call set the error status, raised an error or
    // raised an error dialog.
    bool callMethod(double flag);

    // The 40 entries the hand-over returned.
    const std::vector<double>& sizes() const { return sizes_; }
    const std::string& error() const { return error_; }
    bool failed() const { return !error_.empty(); }
    // Forgets an error (status and text) so that further calls can be made.
    void clearError();

    // Values a propagation call hands on.
    void postPortIndex(int port) { simStruct()->posted.portIndex = port; }
    void postProposedInt(int value) { simStruct()->posted.proposedInt = value; }
    void postSampleTime(double period, double offset);
    void postDims(const DimsInfo_T* dims) { simStruct()->posted.proposedDims = dims; }
    void setDimsMethodsFlag(bool on) { record_->setDimsMethodsFlag(on); }

private:
    bool callIfFilled(bool slotFilled, int flag);

    std::shared_ptr<const Deliverable> deliverable_;
    std::unique_ptr<BlockRecord> record_;
    std::vector<double> sizes_;
    std::string error_;
    bool onMethodRoad_ = false;
    // The method road's right-hand arguments (t, x, u and the flag), made
    // once for the block's life: a call per method per sample then creates
    // no array.
    mxArray* methodArgs_[4] = {nullptr, nullptr, nullptr, nullptr};
    bool terminated_ = false;
};

#endif  // ORVANE_HOST_MEX_BLOCK_H
