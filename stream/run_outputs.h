// The outputs of a run: the main output in the format its extension or
// --format names, and a plot page beside it.
#ifndef ORVANE_STREAM_RUN_OUTPUTS_H
#define ORVANE_STREAM_RUN_OUTPUTS_H

#include <memory>
#include <string>

#include "io/output_formats.h"
#include "io/output_sink.h"
#include "io/run_description.h"
#include "stream/model_driver.h"

RunDescription describeRun(const SampleRateBuild& build, const DriverChoice& driver, const std::string& input,
                           double epochOfTimeZero, const std::string& commandLine);

// The main output of `request` and, when `plotPath` is not empty, the page;
// null with `error` set when an output cannot be created.
std::unique_ptr<OutputSink> openRunOutputs(const OutputRequest& request, const std::string& plotPath,
                                           std::string& error);

#endif  // ORVANE_STREAM_RUN_OUTPUTS_H
