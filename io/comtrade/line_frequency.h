// The nominal frequency a recording's line frequency (the .cfg's `lf`)
// stands for. The block is designed for 50 and 60 Hz systems; a line
// frequency that is neither is taken as the nearer of the two (59.94 Hz, a
// recorder's measured value, is a 60 Hz system), and a blank or zero one as
// 50 Hz. Those choices are said once, since a 60 Hz recording measured at a
// nominal 50 Hz reads angles that turn at 10 Hz.
#ifndef ORVANE_IO_COMTRADE_LINE_FREQUENCY_H
#define ORVANE_IO_COMTRADE_LINE_FREQUENCY_H

#include <string>

struct NominalChoice {
    double nominal = 50.0;  // Hz
    std::string note;       // one warning line, empty when lf is 50 or 60
};

// `lineFrequency` in Hz, NaN when the field is blank; `fileName` names the
// recording in the note.
NominalChoice nominalForLineFrequency(double lineFrequency, const std::string& fileName);

#endif  // ORVANE_IO_COMTRADE_LINE_FREQUENCY_H
