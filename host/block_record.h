// The host's per-block record: a SimStruct with the registration functions
// that keep the registered shape, and the port buffers and work vectors
// allocated from it (zeroed, of the registered width and type).
#ifndef ORVANE_HOST_BLOCK_RECORD_H
#define ORVANE_HOST_BLOCK_RECORD_H

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "contract/simstruc.h"

// Bytes per element of a host data type; 0 for an unknown type.
std::size_t dataTypeSize(int dataType);

class BlockRecord {
public:
    // A record for the block whose S-function name is `name`, attached to a
    // block of a model (it carries a block handle).
    explicit BlockRecord(std::string name, std::string path = {});
    BlockRecord(const BlockRecord&) = delete;
    BlockRecord& operator=(const BlockRecord&) = delete;

    SimStruct* simStruct() { return &s_; }
    const SimStruct* simStruct() const { return &s_; }

    // Allocates port buffers and work vectors from the registered shape and
    // points the input element pointers at the input buffers. False, with
    // `error` set, when the shape cannot be allocated (unknown data type).
    bool allocate(std::string& error);

    void* inputBuffer(int port) { return inputData_[static_cast<std::size_t>(port)].get(); }
    void* outputBuffer(int port) { return outputData_[static_cast<std::size_t>(port)].get(); }

    // The last refusal message handed to the generic service function, and
    // the requests made of it.
    const char* multiExecRefusal() const { return multiExecRefusal_; }
    const std::vector<int>& genericRequests() const { return genericRequests_; }

    // The dimensions-method flag: the port-size slots take a dimensions
    // record (set) or a plain width (clear).
    void setDimsMethodsFlag(bool on);

private:
    static int setNumInputPorts(void* context, int count);
    static int setNumOutputPorts(void* context, int count);
    static int setInputPortDims(SimStruct* S, int port, const DimsInfo_T* dims);
    static int setOutputPortDims(SimStruct* S, int port, const DimsInfo_T* dims);
    static int setNumDWork(SimStruct* S, int count);
    static int genericFcn(SimStruct* S, int request, int intArg, void* data);

    static std::unique_ptr<double[]> zeroedStorage(std::size_t bytes);

    SimStruct s_{};
    SsModelInfo modelInfo_{};
    std::string name_;
    std::string path_;
    std::vector<SsInputPort> inputs_;
    std::vector<SsOutputPort> outputs_;
    std::vector<SsDWork> dwork_;
    std::vector<std::unique_ptr<double[]>> inputData_;
    std::vector<std::vector<const void*>> inputPointers_;
    std::vector<std::unique_ptr<double[]>> outputData_;
    std::vector<std::unique_ptr<double[]>> dworkData_;
    const char* multiExecRefusal_ = nullptr;
    std::vector<int> genericRequests_;
};

#endif  // ORVANE_HOST_BLOCK_RECORD_H
