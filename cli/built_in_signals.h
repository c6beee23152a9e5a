// The tool's built-in signals and the options that shape them. A signal's
// name sets the defaults of its own feature (a ramp's rate, a step's size);
// every shaping option can be given with any signal and then overrides or
// adds that feature.
#ifndef ORVANE_CLI_BUILT_IN_SIGNALS_H
#define ORVANE_CLI_BUILT_IN_SIGNALS_H

#include <memory>
#include <string>
#include <vector>

#include "cli/command_options.h"
#include "io/sample_source.h"

// The options read by makeSignalSource, for a command's accepted list.
std::vector<OptionSpec> signalOptionSpecs();
// Help text: the signal names and the shaping options with their defaults.
std::string signalHelp();

// The samples of built-in signal `name` at `sampleRate`, or null with
// `error` set (unknown name, option that does not parse or is out of range).
std::unique_ptr<SampleSource> makeSignalSource(const std::string& name, const CommandOptions& options,
                                               double sampleRate, std::string& error);

#endif  // ORVANE_CLI_BUILT_IN_SIGNALS_H
