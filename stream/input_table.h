// The kinds of input the model's runs take: a sample CSV (thirteen columns
// or plain three-phase), a COMTRADE recording, a capture file of sampled
// values, a live sampled-values stream and a built-in signal. Each kind is
// one entry of a table: its name, the option that names it, what the
// commands may ask of it, and how it is opened for a build. `orvane run`,
// `orvane serve` and the Python package open every input here; this table
// is the only place that knows them all, and an opened input describes
// itself once, in its facts.
#ifndef ORVANE_STREAM_INPUT_TABLE_H
#define ORVANE_STREAM_INPUT_TABLE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/comtrade/comtrade_recording.h"
#include "io/run_summary.h"
#include "io/sample_source.h"
#include "io/sv/sv_stream.h"
#include "model/ports.h"
#include "signals/built_in_signals.h"

// How an input is read, as far as the caller says.
struct InputSettings {
    // A recording's options; its phases also name a plain CSV's columns.
    ComtradeReadOptions comtrade;
    // Which sampled-values stream of a capture, and its phase channels.
    SvStreamOptions sv;
    // Bridge short gaps of missing samples in a sample CSV (always done for
    // recordings and streams).
    bool bridgeGaps = false;
    // Configuration ports of every sample of a recording, a stream, a
    // signal or a plain three-phase CSV.
    ModelInputs ports;
    // Some port option was given (a sample CSV of thirteen columns, which
    // carries its ports, refuses them).
    bool portsGiven = false;
    // The NominalFrequency port came from the caller; otherwise a
    // recording's line frequency (50 or 60 Hz) is used.
    bool nominalFrequencyGiven = false;
    // A built-in signal's shape.
    SignalShape shape;
};

// One phase channel as the input names it, with its unit ("" when the
// input does not say).
struct InputChannel {
    std::string name;
    std::string unit;
};

// What the outputs and messages say of a source: the one description of an
// opened input.
struct SourceFacts {
    std::string description;  // "file X", "recording X", "capture X", "signal NAME"
    // Seconds from 1970 to the source's time origin (the frames' time base):
    // 0 for a CSV, whose times count from 1970 themselves.
    double epochShift = 0.0;
    // The line printed before the run, when its input is set.
    RunSummary summary;
    // The input's sample rate (Hz, 0 when it has none of its own: a
    // signal, a stream before its rate is known) and how it was found ("the
    // configuration's sampling rates", "mean of 10000 steps over the first
    // 1 s, whole hertz").
    double inputRate = 0.0;
    std::string rateHow;
    // The recorder's clock quality code (0 locked ... 0xF unreliable), -1
    // when the input does not say.
    int clockQuality = -1;
    // The three phase channels read.
    std::vector<InputChannel> channels;
    // Samples the model will get, when known before reading (a live stream
    // has no end).
    std::optional<uint64_t> length;
};

// An input opened for a build: its samples and its facts, and what it has
// to say once its samples were read.
class OpenedInput {
public:
    OpenedInput(std::unique_ptr<SampleSource> source, SourceFacts facts)
        : source_(std::move(source)), facts_(std::move(facts)) {}
    virtual ~OpenedInput() = default;
    OpenedInput(const OpenedInput&) = delete;
    OpenedInput& operator=(const OpenedInput&) = delete;

    SampleSource& source() const { return *source_; }
    const SourceFacts& facts() const { return facts_; }

    // Warnings about the samples read (a CSV's time jumps and missing rows),
    // each a whole line.
    virtual std::vector<std::string> endWarnings() const { return {}; }
    // What the input went through (a stream's losses), one line each.
    virtual std::vector<std::string> endNotes() const { return {}; }
    // The capture time (ns since 1970) of the newest frame the latest sample
    // came with; 0 for an input that is not captured.
    virtual int64_t captureNs() const { return 0; }

private:
    std::unique_ptr<SampleSource> source_;
    SourceFacts facts_;
};

// Which of the recording options (--phases, --line-to-line, --primary, ...)
// an input takes.
enum class RecordingOptionUse { None, PhasesOnly, All };

struct InputKind {
    const char* name;      // "csv", "comtrade", "signal", "sv", "sv-pcap"
    const char* option;    // the command-line option that names it
    const char* typeName;  // what that option takes: FILE, NAME, IFACE
    // The help of the option in `orvane run` (a file option that may be
    // repeated) and in `orvane serve`; null where the command does not
    // take it that way.
    const char* runHelp;
    const char* serveHelp;
    // The input has a sample rate of its own (a file or a stream): --build
    // auto takes the build for it, and it is opened before the build is
    // known. A signal is made at the build's rate.
    bool ownRate;
    // Its samples arrive as they are taken: they pace every block.
    bool live;
    RecordingOptionUse recordingOptions;
    // The files it reads (for the check that no output overwrites one).
    std::vector<std::string> (*files)(const std::string& text);
    // Opens `text` (a path, an interface or a signal's name) for the build
    // `buildTag` ("auto": the one for the input's rate, written back). The
    // input's own warnings while opening go to standard error. Null, with
    // `error` set, when it cannot be opened.
    std::unique_ptr<OpenedInput> (*open)(const std::string& text, const InputSettings& settings,
                                         std::string& buildTag, std::string& error);
};

// Every kind, in the order the commands list their options.
const std::vector<const InputKind*>& inputKinds();

// The kind of that name or option; null when there is none.
const InputKind* inputKindByName(const std::string& name);
const InputKind* inputKindByOption(const std::string& option);

// One input: its kind and its path, interface or signal name.
struct InputChoice {
    const InputKind* kind = nullptr;
    std::string text;
};

// Opens `input` as its kind does.
std::unique_ptr<OpenedInput> openInput(const InputChoice& input, const InputSettings& settings, std::string& buildTag,
                                       std::string& error);

// The strongest use of the recording options among `kinds`.
RecordingOptionUse recordingOptionUse(const std::vector<const InputKind*>& kinds);

#endif  // ORVANE_STREAM_INPUT_TABLE_H
