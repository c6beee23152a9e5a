// Plays a merging unit: the samples of a source framed as sampled values,
// into a capture file or onto an interface in real time.
#ifndef ORVANE_STREAM_SV_PUBLISH_H
#define ORVANE_STREAM_SV_PUBLISH_H

#include <csignal>
#include <cstdint>
#include <memory>
#include <string>

#include "io/comtrade/comtrade_recording.h"
#include "io/sample_source.h"
#include "io/sv/sv_publisher.h"
#include "signals/built_in_signals.h"
#include "stream/fault.h"

// What is published: a built-in signal, a sample CSV or a recording (one of
// them set).
struct SvPublishInput {
    std::string signal, csvPath, comtradePath;
    SignalShape shape;
    ComtradeReadOptions read;
    ModelInputs ports;  // the signal's and the recording's configuration
};

// The input as samples at `rate` (a recording resampled to it); its
// `epochShift`, seconds from 1970 to its time origin. Null, with `error`,
// when it cannot be opened.
std::unique_ptr<SampleSource> openPublishInput(const SvPublishInput& input, double rate, double& epochShift,
                                               std::string& error);

// The second (since 1970) and smpCnt at `rate` of a first sample at
// `time` + `epochShift`: it keeps its instant within its second.
void svFirstSampleAt(double time, double epochShift, uint32_t rate, int64_t& startSecond, uint64_t& firstSample);

struct SvPublishTarget {
    std::string interface;  // live, in real time, when set
    std::string pcapPath;   // else into this capture file
};

// Sends every sample of `source` (already at the options' rate). On an
// interface smpCnt 0 falls on the top of each second of the system clock,
// starting at the next whole second; into a file the frames keep the
// source's own seconds (`epochShift` from 1970 to its time origin). Stops
// early when `stop` becomes nonzero. Returns what went wrong (Failed:
// sending or writing failed; BadInput: bad input), with `error` set, and the
// counts of what went out in `counts`; `started` is told where a live
// stream begins.
FaultKind publishSvStream(SampleSource& source, double epochShift, const SvPublisherOptions& options,
                    const SvPublishTarget& target, const volatile std::sig_atomic_t& stop,
                    void (*started)(const std::string& line), SvPublisherCounts& counts, std::string& error);

// Reads an outage "FROM:SECONDS" (seconds from the first sample, and its
// length) into `options`, at its rate. False, with `error`, when malformed.
bool readSvDropSpan(const std::string& text, SvPublisherOptions& options, std::string& error);

// "N samples in F frames written; L frames lost (S samples), D duplicated,
// R reordered[; O frames (S samples) dropped in the outage]".
std::string svPublishSummary(const SvPublisherCounts& counts);

#endif  // ORVANE_STREAM_SV_PUBLISH_H
