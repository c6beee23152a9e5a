// The tool's option table helpers: every command declares its options on a
// CLI11 subcommand through these, so that numbers, ranges, lists and the
// options commands share read and fail the same way everywhere.
#ifndef ORVANE_CLI_OPTIONS_H
#define ORVANE_CLI_OPTIONS_H

#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_recording.h"
#include "model/ports.h"
#include "io/sv/sv_stream.h"
#include "signals/built_in_signals.h"
#include "io/input_checks.h"
#include "stream/fault.h"
#include "stream/model_driver.h"

// A command: its subcommand and what runs it once the options are read.
struct Command {
    CLI::App* app;
    std::function<int()> run;
    // Free arguments (read from remaining()) rather than options only.
    bool takesArguments = false;
};

// Each command file registers the function that declares its subcommand.
struct CommandRegistration {
    explicit CommandRegistration(Command (*setup)(CLI::App& root));
};
std::vector<Command (*)(CLI::App&)>& commandSetups();

// A command's help text: its usage lines and what it does. The
// subcommand's own description stays the one-line summary of the tool's
// command list.
void describe(CLI::App* app, const std::string& text);
std::string descriptionOf(const CLI::App* app);

// Bad usage found after parsing: one line on standard error, exit 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The exit status of a fault's kind, the tool's one table of them: 0 none,
// 1 the block, an output, a socket or the machine failed, 2 bad input (as
// for bad usage).
int exitStatusOf(FaultKind fault);

// "orvane COMMAND: message" on standard error; returns `status`.
int failWith(int status, const std::string& message);
// The same line for news that is no failure.
inline void note(const std::string& message) { failWith(0, message); }
// The name of the command running, for messages ("orvane run").
const std::string& commandName();
void setCommandName(const std::string& name);
// The command line as given ("orvane run --signal steady ..."), which the
// self-describing outputs record.
const std::string& commandLine();
void setCommandLine(const std::string& line);

// The whole text as a double: "nan", "inf" and exponents, nothing after it;
// a finite number too large for a double is refused.
bool parseNumber(const std::string& text, double& value);
// Why `text` is not a number for parseNumber: "is not a number" or "is out
// of the range of a double".
std::string numberProblem(const std::string& text);

// The free arguments of a command, in order, those after "--" included.
std::vector<std::string> freeArguments(const CLI::App& app);
// Each of `texts` read by parseNumber; a usage error otherwise, naming the
// `noun` and its number counted from `first`: "value 2 ('x') is not a number".
std::vector<double> numbersOf(const std::vector<std::string>& texts, const std::string& noun, std::size_t first);

// Typed options. Numbers must be finite; integers lie in low..high, written
// in decimal (or, with `hex`, also as 0x hex). A target is set directly or
// through a function.
CLI::Option* addNumber(CLI::App* app, const std::string& name, std::function<void(double)> set,
                       const std::string& help);
template <class Target>
CLI::Option* addNumber(CLI::App* app, const std::string& name, Target& target, const std::string& help) {
    return addNumber(app, name, std::function<void(double)>([&target](double v) { target = v; }), help);
}
CLI::Option* addInteger(CLI::App* app, const std::string& name, int64_t low, int64_t high,
                        std::function<void(int64_t)> set, const std::string& help, bool hex = false);
template <class Target>
CLI::Option* addInteger(CLI::App* app, const std::string& name, int64_t low, int64_t high, Target& target,
                        const std::string& help, bool hex = false) {
    return addInteger(app, name, low, high, std::function<void(int64_t)>([&target](int64_t v) { target = v; }), help,
                      hex);
}
CLI::Option* addText(CLI::App* app, const std::string& name, std::optional<std::string>& target,
                     const std::string& help);
// An option that may be repeated: `take` hears each value in command-line
// order, among the other options; an empty value is refused.
CLI::Option* addRepeated(CLI::App* app, const std::string& name, std::function<void(const std::string&)> take,
                         const std::string& help);
// A comma-separated list of three finite numbers.
CLI::Option* addTriple(CLI::App* app, const std::string& name, std::function<void(const double*)> set,
                       const std::string& help);
CLI::Option* addTriple(CLI::App* app, const std::string& name, double* target, const std::string& help);

// --build TAG, --deliverable PATH and --in-process (one or the other).
void addRoadOptions(CLI::App* app, DriverChoice& choice, bool allowAuto);

// The nominal frequencies the options take, Hz: the shared range of every
// road (io/input_checks.h).
inline constexpr double kMinNominal = kLowestNominalFrequency;
inline constexpr double kMaxNominal = kHighestNominalFrequency;

// The configuration ports: --report-rate, --nominal-frequency,
// --report-mode, --magnitude-coeffs, --phase-coeffs. Returns the options,
// in that order.
std::vector<CLI::Option*> addPortOptions(CLI::App* app, ModelInputs& ports);
inline constexpr std::size_t kNominalFrequencyOption = 1;

// --phases A,B,C, --line-to-line, --primary and --secondary: how a COMTRADE
// recording is read.
struct RecordingOptions {
    std::optional<std::string> phases;
    bool lineToLine = false;
    bool primary = false;
    bool secondary = false;
    std::vector<CLI::Option*> options;
};
void addRecordingOptions(CLI::App* app, RecordingOptions& recording);
void readRecordingOptions(const RecordingOptions& recording, ComtradeReadOptions& read);
// The recording options that a plain three-phase CSV does not take (all but
// --phases, which names its columns).
std::vector<CLI::Option*> recordingOnlyOptions(const RecordingOptions& recording);

// Which sampled-values stream to take and how to read its phases: --sv-id,
// --appid, --sv-mac, --sv-channels A,B,C and --sv-scale S or SA,SB,SC.
struct SvOptions {
    std::optional<std::string> svId, mac, channels, scale;
    std::optional<int64_t> appId;
    std::vector<CLI::Option*> options;
};
void addSvOptions(CLI::App* app, SvOptions& sv);
void readSvOptions(const SvOptions& sv, SvStreamOptions& out);

// The shaping options of the built-in signals; returns them.
std::vector<CLI::Option*> addSignalOptions(CLI::App* app, SignalShape& shape);
// The signal names and the shaping options' defaults, for help texts.
inline std::string signalHelp() { return "Signals (--signal NAME):\n" + builtInSignalTable(); }

// Refuses each given option of `options` with "option '--x' applies to
// WHAT only".
// A fraction 0..1 (of frames lost, say).
CLI::Option* addFraction(CLI::App* app, const std::string& name, double& target, const std::string& help);

void refuseGiven(const std::vector<CLI::Option*>& options, const std::string& what);

#endif  // ORVANE_CLI_OPTIONS_H
