// What the tool's synchrophasor outputs share: the stream's identity and
// header text for a build, and the `--c37118 FILE` option of `orvane run`,
// which writes the reports as frames beside the CSV output.
#ifndef ORVANE_CLI_C37118_OUTPUT_H
#define ORVANE_CLI_C37118_OUTPUT_H

#include <memory>
#include <string>

#include "builds/sample_rate_build.h"
#include "cli/command_options.h"
#include "io/c37118/report_framer.h"
#include "io/output_sink.h"

// Station name, phasor name and header text of the stream of `build`.
StreamSettings streamSettingsFor(const SampleRateBuild& build, uint16_t idCode);

// The IDCODE option ("--idcode N", default 1); false, with `error` set, for
// a value outside 1..65534.
bool readIdCode(const CommandOptions& options, uint16_t& idCode, std::string& error);

// `primary` itself when the options hold no --c37118; otherwise a sink that
// hands every sample to `primary` and to a frame file, kept in `holder`.
// The frames see Time and timestamps moved by `epochShift` seconds (a
// recording's time base of seconds since its UTC midnight becomes seconds
// since 1970 there). Null, with `error` set, when the frame file cannot be
// created.
OutputSink* withC37118Output(const CommandOptions& options, const SampleRateBuild& build, OutputSink& primary,
                             std::unique_ptr<OutputSink>& holder, std::string& error, double epochShift = 0.0);

#endif  // ORVANE_CLI_C37118_OUTPUT_H
