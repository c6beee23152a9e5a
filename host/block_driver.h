// Drives one measurement block through its life: registration, sample
// times, start and initial conditions, then one output and one update call
// per sample, and terminate. Two roads share this interface: the model's
// methods called in-process, and a deliverable driven through mexFunction.
#ifndef ORVANE_HOST_BLOCK_DRIVER_H
#define ORVANE_HOST_BLOCK_DRIVER_H

#include <string>

#include "model/ports.h"

class BlockDriver {
public:
    virtual ~BlockDriver() = default;
    // Registration through start and initial conditions. False, with
    // error() set, when the block or the host refuses; the block has then
    // been terminated.
    virtual bool start() = 0;
    // One sample: inputs written, outputs computed, state updated. False,
    // with error() set, when the block set its error status; the block has
    // then been terminated and takes no further steps.
    virtual bool step(const ModelInputs& in, ModelOutputs& out) = 0;
    // Terminates the block if it is still running.
    virtual void finish() = 0;
    // The block afresh, its state as at the run's start: for a stream that
    // resumes after a gap its filters cannot span. Same failure contract as
    // start(). Allocates (registration again), so only once per gap.
    virtual bool restart() {
        finish();
        return start();
    }
    virtual const std::string& error() const = 0;
};

#endif  // ORVANE_HOST_BLOCK_DRIVER_H
