// What the synchrophasor outputs share: the stream's identity and header
// text for a build, and the frame file written beside a run's main output.
#ifndef ORVANE_STREAM_FRAME_OUTPUT_H
#define ORVANE_STREAM_FRAME_OUTPUT_H

#include <cstdint>
#include <memory>
#include <string>

#include "io/c37118/report_framer.h"
#include "io/output_sink.h"

// Station name, phasor name and header text of the stream of the model
// `modelName` at `sampleRate` samples per second.
StreamSettings streamSettingsFor(const std::string& modelName, double sampleRate, uint16_t idCode);

// The frame file `path` as a sink. The frames see Time and timestamps moved
// by `epochShift` seconds (a recording's time base of seconds since its UTC
// midnight becomes seconds since 1970 there). Null, with `error` set, when
// the frame file cannot be created.
std::unique_ptr<OutputSink> openFrameFile(const std::string& path, const StreamSettings& settings,
                                          double epochShift, std::string& error);

#endif  // ORVANE_STREAM_FRAME_OUTPUT_H
