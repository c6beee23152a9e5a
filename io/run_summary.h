// The one line that says what a run of a file uses: the build and its rate
// (and the file's, when it is resampled), the road (a deliverable or the
// model linked in), the phase channels and the scaling of their values.
#ifndef ORVANE_IO_RUN_SUMMARY_H
#define ORVANE_IO_RUN_SUMMARY_H

#include <string>

#include "io/comtrade/comtrade_recording.h"

struct RunSummary {
    std::string input;
    std::string buildTag;
    double buildRate = 0.0;
    double inputRate = 0.0;  // 0 when not known; a range is given by maxRate below
    bool inputRatesVary = false;
    std::string road;        // "deliverable PATH" or "model linked in"
    std::string phases;      // as phaseChannelsOf says, or "va, vb, vc columns"
    std::string scaling;     // "primary values" ...
    // How the input's rate was found, when it was found from sample times
    // ("mean of 10000 steps over the first 1 s, whole hertz").
    std::string rateHow;
};

std::string describeRun(const RunSummary& summary);

// "VA, VB, VC" or "line-to-line VAB, VBC, (VCA = -VAB - VBC)", by name.
std::string phaseChannelsOf(const ComtradeRecording& recording);
// "primary values" / "secondary values", with the conversion when the file
// records the other side.
std::string scalingOf(const ComtradeRecording& recording, ValueSide side);

#endif  // ORVANE_IO_RUN_SUMMARY_H
