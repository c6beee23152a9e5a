// What a COMTRADE configuration (.cfg, or the CFG section of a .cff) says
// about its recording: channels and their scaling, sampling rates, start
// time, data format and time code.
#ifndef ORVANE_IO_COMTRADE_COMTRADE_CONFIG_H
#define ORVANE_IO_COMTRADE_COMTRADE_CONFIG_H

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

enum class DataFormat { Ascii, Binary, Binary32, Float32 };

const char* dataFormatName(DataFormat format);

struct ComtradeAnalogChannel {
    int number = 0;  // An, 1-based position among the analog channels
    std::string id;
    std::string phase;
    std::string circuit;
    std::string unit;
    double a = 1.0;  // value = a * raw + b, in `unit`
    double b = 0.0;
    double skewMicroseconds = 0.0;
    double primary = 1.0;    // transformer ratio, primary side
    double secondary = 1.0;  // and secondary side
    // 'P' when a*raw+b is a primary value, 'S' when secondary, 0 when the
    // file does not say (the oldest revision).
    char scaling = 0;
    int line = 0;  // where the channel is described in the configuration
};

struct ComtradeDigitalChannel {
    int number = 0;
    std::string id;
    std::string phase;
    std::string circuit;
    int normalState = 0;
};

struct RateSection {
    double rate = 0.0;      // Hz; 0 when timestamps carry the timing
    int64_t endSample = 0;  // number of the last sample at this rate
};

// A date and time of day as written in the file (recorder's clock).
struct CivilTime {
    int year = 1970;
    int month = 1;
    int day = 1;
    int64_t secondOfDay = 0;
    int64_t nanoseconds = 0;
    int fractionDigits = 0;  // digits written after the decimal point
};

struct ComtradeConfig {
    std::string station;
    std::string device;
    int revision = 1991;
    std::vector<ComtradeAnalogChannel> analogs;
    std::vector<ComtradeDigitalChannel> digitals;
    double lineFrequency = std::numeric_limits<double>::quiet_NaN();  // Hz; NaN when not given
    // One entry per sampling-rate section; a single entry with rate 0 when
    // the samples are timed by their timestamps.
    std::vector<RateSection> rates;
    CivilTime start;    // time of the first sample
    CivilTime trigger;
    DataFormat format = DataFormat::Ascii;
    double timeMultiplier = 1.0;
    // Offsets from UTC in minutes: of the recorded times, and of local time.
    int timeCodeMinutes = 0;
    int localCodeMinutes = 0;
    int timeQuality = -1;  // one hex digit; -1 when not given
    int leapSecond = -1;   // 0..3; -1 when not given
    // Timestamps count nanoseconds when the date/time stamps carry nine
    // decimals, microseconds otherwise.
    bool nanosecondTimestamps = false;

    // Departures from the standard that were read anyway, one line each:
    // "warning: FILE:LINE: what".
    std::vector<std::string> warnings;

    int64_t sampleCount() const { return rates.empty() ? 0 : rates.back().endSample; }
    // True when every section has a positive rate, so that sample times come
    // from the rates rather than the timestamps.
    bool timedByRates() const;
};

#endif  // ORVANE_IO_COMTRADE_COMTRADE_CONFIG_H
