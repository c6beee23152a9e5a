#include "host/block_record.h"

#include <utility>

#include "contract/host_types.h"

std::size_t dataTypeSize(int dataType) {
    switch (dataType) {
        case SS_DOUBLE: return 8;
        case SS_SINGLE: return 4;
        case SS_INT8:
        case SS_UINT8:
        case SS_BOOLEAN: return 1;
        case SS_INT16:
        case SS_UINT16: return 2;
        case SS_INT32:
        case SS_UINT32:
        case SS_INTEGER: return 4;
        default: return 0;
    }
}

BlockRecord::BlockRecord(std::string name, std::string path) : name_(std::move(name)), path_(std::move(path)) {
    if (path_.empty()) path_ = name_;
    s_.modelName = name_.c_str();
    s_.path = path_.c_str();
    s_.simMode = SS_SIMMODE_NORMAL;
    s_.blockHandle = this;
    s_.root = &s_;
    s_.modelInfo = &modelInfo_;
    s_.hostContext = this;
    s_.regs.setNumInputPorts = setNumInputPorts;
    s_.regs.inputPortsContext = this;
    s_.regs.setNumOutputPorts = setNumOutputPorts;
    s_.regs.outputPortsContext = this;
    s_.regs.setInputPortDims = setInputPortDims;
    s_.regs.setOutputPortDims = setOutputPortDims;
    s_.regs.setNumDWork = setNumDWork;
    s_.regs.genericFcn = genericFcn;
}

void BlockRecord::setDimsMethodsFlag(bool on) {
    if (on) {
        s_.sizes[kSizesFlags] |= kSizesFlagDimsMethods;
    } else {
        s_.sizes[kSizesFlags] &= ~kSizesFlagDimsMethods;
    }
}

std::unique_ptr<double[]> BlockRecord::zeroedStorage(std::size_t bytes) {
    const std::size_t doubles = bytes / sizeof(double) + 1;
    return std::unique_ptr<double[]>(new double[doubles]());
}

bool BlockRecord::allocate(std::string& error) {
    inputData_.clear();
    inputPointers_.clear();
    for (std::size_t p = 0; p < inputs_.size(); ++p) {
        SsInputPort& port = inputs_[p];
        const std::size_t size = dataTypeSize(port.dataType);
        if (size == 0 || port.width < 0) {
            error = "input port " + std::to_string(p + 1) + " has an unknown data type or width";
            return false;
        }
        inputData_.push_back(zeroedStorage(size * static_cast<std::size_t>(port.width)));
        auto* base = reinterpret_cast<unsigned char*>(inputData_.back().get());
        std::vector<const void*> pointers(static_cast<std::size_t>(port.width));
        for (std::size_t i = 0; i < pointers.size(); ++i) pointers[i] = base + i * size;
        inputPointers_.push_back(std::move(pointers));
        port.signal = base;
        port.signalPtrs = inputPointers_.back().data();
    }
    outputData_.clear();
    for (std::size_t p = 0; p < outputs_.size(); ++p) {
        SsOutputPort& port = outputs_[p];
        const std::size_t size = dataTypeSize(port.dataType);
        if (size == 0 || port.width < 0) {
            error = "output port " + std::to_string(p + 1) + " has an unknown data type or width";
            return false;
        }
        outputData_.push_back(zeroedStorage(size * static_cast<std::size_t>(port.width)));
        port.signal = outputData_.back().get();
    }
    dworkData_.clear();
    for (std::size_t k = 0; k < dwork_.size(); ++k) {
        SsDWork& vector = dwork_[k];
        const std::size_t size = dataTypeSize(vector.dataType);
        if (size == 0 || vector.width < 0) {
            error = "work vector " + std::to_string(k) + " has an unknown data type or width";
            return false;
        }
        dworkData_.push_back(zeroedStorage(size * static_cast<std::size_t>(vector.width)));
        vector.array = dworkData_.back().get();
    }
    return true;
}

int BlockRecord::setNumInputPorts(void* context, int count) {
    auto* self = static_cast<BlockRecord*>(context);
    if (count < 0) return 0;
    self->inputs_.assign(static_cast<std::size_t>(count), SsInputPort{});
    self->s_.inputPorts = self->inputs_.empty() ? nullptr : self->inputs_.data();
    self->s_.sizes[kSizesNumInputPorts] = count;
    self->s_.sizes[kSizesFlags] |= kSizesFlagPortCountsRegistered;
    return 1;
}

int BlockRecord::setNumOutputPorts(void* context, int count) {
    auto* self = static_cast<BlockRecord*>(context);
    if (count < 0) return 0;
    self->outputs_.assign(static_cast<std::size_t>(count), SsOutputPort{});
    self->s_.outputPorts = self->outputs_.empty() ? nullptr : self->outputs_.data();
    self->s_.sizes[kSizesNumOutputPorts] = count;
    self->s_.sizes[kSizesFlags] |= kSizesFlagPortCountsRegistered;
    return 1;
}

int BlockRecord::setInputPortDims(SimStruct* S, int port, const DimsInfo_T* dims) {
    auto* self = static_cast<BlockRecord*>(S->hostContext);
    if (port < 0 || static_cast<std::size_t>(port) >= self->inputs_.size() || dims == nullptr) return 0;
    self->inputs_[static_cast<std::size_t>(port)].width = dims->width;
    return 1;
}

int BlockRecord::setOutputPortDims(SimStruct* S, int port, const DimsInfo_T* dims) {
    auto* self = static_cast<BlockRecord*>(S->hostContext);
    if (port < 0 || static_cast<std::size_t>(port) >= self->outputs_.size() || dims == nullptr) return 0;
    self->outputs_[static_cast<std::size_t>(port)].width = dims->width;
    return 1;
}

int BlockRecord::setNumDWork(SimStruct* S, int count) {
    auto* self = static_cast<BlockRecord*>(S->hostContext);
    if (count < 0) return 0;
    self->dwork_.assign(static_cast<std::size_t>(count), SsDWork{});
    self->s_.dwork = self->dwork_.empty() ? nullptr : self->dwork_.data();
    self->s_.dworkCapacity = count;
    return 1;
}

int BlockRecord::genericFcn(SimStruct* S, int request, int intArg, void* data) {
    (void)intArg;
    auto* self = static_cast<BlockRecord*>(S->hostContext);
    self->genericRequests_.push_back(request);
    if (request == GEN_FCN_REGISTER_MULTI_EXEC_REFUSAL) self->multiExecRefusal_ = static_cast<const char*>(data);
    return 1;
}
