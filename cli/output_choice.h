// The outputs of `orvane run`: the main output in the format its extension
// or --format names, and a --plot page beside it.
#ifndef ORVANE_CLI_OUTPUT_CHOICE_H
#define ORVANE_CLI_OUTPUT_CHOICE_H

#include <memory>
#include <string>
#include <vector>

#include "builds/sample_rate_build.h"
#include "cli/command_options.h"
#include "cli/driver_factory.h"
#include "io/output_sink.h"
#include "io/run_description.h"

extern const char* const kOutputChoiceHelp;

// --format and --plot, for a command's accepted list.
std::vector<OptionSpec> outputOptionSpecs();

RunDescription describeRun(const SampleRateBuild& build, const DriverChoice& driver, const std::string& input,
                           double epochOfTimeZero, const std::string& commandLine);

// "run --signal steady ..." as given.
std::string commandLineOf(const std::vector<std::string>& args);

// The main output at `path` and, with --plot, the page; null with `error`
// set when an output cannot be created or an option is wrong.
std::unique_ptr<OutputSink> openRunOutputs(const CommandOptions& options, const std::string& path, bool reportsOnly,
                                           const RunDescription& description, std::string& error);

#endif  // ORVANE_CLI_OUTPUT_CHOICE_H
