#include "io/comtrade/line_frequency.h"

#include <charconv>
#include <cmath>

namespace {

// As the file spells it, most likely: the shortest text that reads back.
std::string formatNumber(double v) {
    char buffer[40];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

}  // namespace

NominalChoice nominalForLineFrequency(double lf, const std::string& fileName) {
    NominalChoice choice;
    if (lf == 50.0 || lf == 60.0) {
        choice.nominal = lf;
        return choice;
    }
    const std::string set = "give --nominal-frequency (nominal_frequency= in Python) to set it";
    if (!std::isfinite(lf) || lf <= 0.0) {
        choice.note = "warning: " + fileName + ": the line frequency is " +
                      (std::isnan(lf) ? std::string("blank") : "'" + formatNumber(lf) + "'") +
                      ": a nominal 50 Hz is assumed (a 60 Hz recording would read angles turning at 10 Hz); " + set;
        return choice;
    }
    choice.nominal = lf > 55.0 ? 60.0 : 50.0;
    choice.note = "warning: " + fileName + ": the line frequency " + formatNumber(lf) +
                  " Hz is not 50 or 60: the nearer, " + (choice.nominal == 60.0 ? "60" : "50") +
                  " Hz, is taken as the nominal frequency; " + set;
    return choice;
}
