// Writing the measurement block's input buffers and reading its outputs.
#ifndef ORVANE_HOST_MEASUREMENT_PORTS_H
#define ORVANE_HOST_MEASUREMENT_PORTS_H

#include <string>

#include "host/block_record.h"
#include "model/ports.h"

// Checks that the registered ports are the seven inputs and seven outputs
// that ModelInputs and ModelOutputs carry, and that all 231 work vectors
// were registered; `error` says what differs.
bool checkMeasurementShape(const SimStruct* S, std::string& error);
void writeInputs(BlockRecord& record, const ModelInputs& in);
void readOutputs(BlockRecord& record, ModelOutputs& out);

#endif  // ORVANE_HOST_MEASUREMENT_PORTS_H
