#include "host/measurement_ports.h"

#include <cstdint>
#include <cstring>

namespace {

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
    if (S->sizes[kSizesNumInputPorts] != port::kNumInputs || S->sizes[kSizesNumOutputPorts] != port::kNumOutputs) {
        error = "the block did not register 7 input and 7 output ports";
        return false;
    }
    if (S->dworkCapacity != port::kNumWorkVectors) {
        error = "the block registered " + std::to_string(S->dworkCapacity) + " of its " +
                std::to_string(port::kNumWorkVectors) + " work vectors";
        return false;
    }
    // Port by port, the input before the output of the same number.
    static_assert(port::kNumInputs == port::kNumOutputs);
    for (int p = 0; p < port::kNumInputs; ++p) {
        const port::Shape& in = port::kInputShapes[p];
        if (S->inputPorts[p].width != in.width || S->inputPorts[p].dataType != in.dataType) {
            error = "input port " + std::to_string(p + 1) + " has an unexpected width or data type";
            return false;
        }
        const port::Shape& out = port::kOutputShapes[p];
        if (S->outputPorts[p].width != out.width || S->outputPorts[p].dataType != out.dataType) {
            error = "output port " + std::to_string(p + 1) + " has an unexpected width or data type";
            return false;
        }
    }
    return true;
}

void writeInputs(BlockRecord& record, const ModelInputs& in) {
    put(record, port::kPhaseSamples, in.phase, 3);
    put(record, port::kTime, &in.time, 1);
    put(record, port::kReportRate, &in.reportRate, 1);
    put(record, port::kMagnitudeCoeffs, in.magnitudeCoeffs, 3);
    put(record, port::kPhaseCoeffs, in.phaseCoeffs, 3);
    put(record, port::kNominalFrequency, &in.nominalFrequency, 1);
    put(record, port::kReportMode, &in.reportMode, 1);
}

void readOutputs(BlockRecord& record, ModelOutputs& out) {
    out.timestamp = get<double>(record, port::kTimestamp);
    out.magnitude = get<double>(record, port::kMagnitude);
    out.angle = get<double>(record, port::kAngle);
    out.frequency = get<double>(record, port::kFrequency);
    out.rocof = get<double>(record, port::kRocof);
    out.reportStrobe = get<bool>(record, port::kReportStrobe);
    out.activeReportRate = get<int32_t>(record, port::kActiveReportRate);
}
