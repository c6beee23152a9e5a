#include "host/measurement_ports.h"

#include <cstdint>
#include <cstring>

namespace {

struct Shape {
    int width;
    int dataType;
};

constexpr Shape kInputs[7] = {{3, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_INT32}, {3, SS_DOUBLE},
                              {3, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_BOOLEAN}};
// DWORK0..DWORK230: the model's whole state between samples.
constexpr int kMeasurementWorkVectors = 231;

constexpr Shape kOutputs[7] = {{1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE}, {1, SS_DOUBLE},
                               {1, SS_DOUBLE}, {1, SS_BOOLEAN}, {1, SS_INT32}};

template <typename T>
void put(BlockRecord& record, int port, const T* values, int count) {
    std::memcpy(record.inputBuffer(port), values, sizeof(T) * static_cast<std::size_t>(count));
}

template <typename T>
T get(BlockRecord& record, int port) {
    T value;
    std::memcpy(&value, record.outputBuffer(port), sizeof value);
    return value;
}

}  // namespace

bool checkMeasurementShape(const SimStruct* S, std::string& error) {
    if (S->sizes[kSizesNumInputPorts] != 7 || S->sizes[kSizesNumOutputPorts] != 7) {
        error = "the block did not register 7 input and 7 output ports";
        return false;
    }
    if (S->dworkCapacity != kMeasurementWorkVectors) {
        error = "the block registered " + std::to_string(S->dworkCapacity) + " of its " +
                std::to_string(kMeasurementWorkVectors) + " work vectors";
        return false;
    }
    for (int p = 0; p < 7; ++p) {
        if (S->inputPorts[p].width != kInputs[p].width || S->inputPorts[p].dataType != kInputs[p].dataType) {
            error = "input port " + std::to_string(p + 1) + " has an unexpected width or data type";
            return false;
        }
        if (S->outputPorts[p].width != kOutputs[p].width || S->outputPorts[p].dataType != kOutputs[p].dataType) {
            error = "output port " + std::to_string(p + 1) + " has an unexpected width or data type";
            return false;
        }
    }
    return true;
}

void writeInputs(BlockRecord& record, const ModelInputs& in) {
    put(record, 0, in.phase, 3);
    put(record, 1, &in.time, 1);
    put(record, 2, &in.reportRate, 1);
    put(record, 3, in.magnitudeCoeffs, 3);
    put(record, 4, in.phaseCoeffs, 3);
    put(record, 5, &in.nominalFrequency, 1);
    put(record, 6, &in.reportMode, 1);
}

void readOutputs(BlockRecord& record, ModelOutputs& out) {
    out.timestamp = get<double>(record, 0);
    out.magnitude = get<double>(record, 1);
    out.angle = get<double>(record, 2);
    out.frequency = get<double>(record, 3);
    out.rocof = get<double>(record, 4);
    out.reportStrobe = get<bool>(record, 5);
    out.activeReportRate = get<int32_t>(record, 6);
}
