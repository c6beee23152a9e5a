#include "host/mex_driver.h"

#include <utility>

#include "host/measurement_ports.h"

std::unique_ptr<MexDriver> MexDriver::open(const std::string& path, std::string& error) {
    std::shared_ptr<Deliverable> deliverable = Deliverable::open(path, error);
    if (deliverable == nullptr) return nullptr;
    return std::make_unique<MexDriver>(std::move(deliverable));
}

MexDriver::MexDriver(std::shared_ptr<const Deliverable> deliverable) : block_(std::move(deliverable)) {}

MexDriver::~MexDriver() { finish(); }

bool MexDriver::fail() {
    block_.terminate();
    running_ = false;
    error_ = block_.error();
    return false;
}

bool MexDriver::start() {
    if (!(block_.handOverSizes() && block_.propagate() && block_.allocate())) return fail();
    // Before any method runs: a block whose registration stopped short (a
    // refused port count, no work vectors) would read storage that was
    // never allocated.
    if (!checkMeasurementShape(block_.simStruct(), error_)) {
        block_.terminate();
        return false;
    }
    if (!block_.startMethods()) return fail();
    running_ = true;
    return true;
}

bool MexDriver::step(const ModelInputs& in, ModelOutputs& out) {
    if (!running_) {
        if (error_.empty()) error_ = "the block is not running";
        return false;
    }
    writeInputs(block_.record(), in);
    if (!block_.outputs()) return fail();
    readOutputs(block_.record(), out);
    if (!block_.update()) return fail();
    return true;
}

void MexDriver::finish() {
    running_ = false;
    block_.terminate();
}
