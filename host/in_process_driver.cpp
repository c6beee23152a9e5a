#include "host/in_process_driver.h"

#include "host/measurement_ports.h"

InProcessDriver::InProcessDriver(void (*installMethods)(SimStruct*), const std::string& name) : record_(name) {
    installMethods(record_.simStruct());
}

InProcessDriver::~InProcessDriver() { finish(); }

bool InProcessDriver::failed() {
    const char* status = record_.simStruct()->errorStatus;
    if (status == nullptr) return false;
    error_ = status;
    return true;
}

bool InProcessDriver::start() {
    SimStruct* S = record_.simStruct();
    S->methods.mdlInitializeSizes(S);
    if (failed()) return false;
    if (!record_.allocate(error_) || !checkMeasurementShape(S, error_)) return false;
    S->methods.mdlInitializeSampleTimes(S);
    if (failed()) return false;
    running_ = true;
    if (S->methods.mdlStart != nullptr) S->methods.mdlStart(S);
    if (failed()) {
        finish();
        return false;
    }
    if (S->methods.mdlInitializeConditions != nullptr) S->methods.mdlInitializeConditions(S);
    if (failed()) {
        finish();
        return false;
    }
    return true;
}

bool InProcessDriver::step(const ModelInputs& in, ModelOutputs& out) {
    if (!running_) {
        if (error_.empty()) error_ = "the block is not running";
        return false;
    }
    SimStruct* S = record_.simStruct();
    writeInputs(record_, in);
    S->methods.mdlOutputs(S, 0);
    if (failed()) {
        finish();
        return false;
    }
    readOutputs(record_, out);
    if (S->methods.mdlUpdate != nullptr) S->methods.mdlUpdate(S, 0);
    if (failed()) {
        finish();
        return false;
    }
    return true;
}

void InProcessDriver::finish() {
    if (!running_) return;
    running_ = false;
    SimStruct* S = record_.simStruct();
    S->methods.mdlTerminate(S);
}
