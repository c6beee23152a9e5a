#include "io/c37118/data_frame.h"

#include <cmath>

#include "io/c37118/big_endian.h"

namespace {

// Integer phasor scale: PHUNIT counts 10^-5 V or A per bit.
double unitPerBit(const PhasorChannel& channel) { return static_cast<double>(channel.integerScale) * 1e-5; }

// The nearest value in lo..hi; NaN becomes 0.
long clampedRound(double value, long lo, long hi) {
    if (!(value == value)) return 0;
    if (value <= static_cast<double>(lo)) return lo;
    if (value >= static_cast<double>(hi)) return hi;
    return std::lround(value);
}

void writePhasor(ByteWriter& w, uint16_t format, const PhasorChannel& channel, const PhasorValue& v) {
    const bool polar = (format & kFormatPolar) != 0;
    if ((format & kFormatPhasorFloat) != 0) {
        w.f32(static_cast<float>(v.first));
        w.f32(static_cast<float>(v.second));
        return;
    }
    const double perBit = unitPerBit(channel);
    const double first = perBit > 0.0 ? v.first / perBit : 0.0;
    if (polar) {
        w.u16(static_cast<uint16_t>(clampedRound(first, 0, 65535)));
        // Angle in units of 10^-4 rad.
        w.i16(static_cast<int16_t>(clampedRound(v.second * 1e4, -32767, 32767)));
    } else {
        const double second = perBit > 0.0 ? v.second / perBit : 0.0;
        w.i16(static_cast<int16_t>(clampedRound(first, -32767, 32767)));
        w.i16(static_cast<int16_t>(clampedRound(second, -32767, 32767)));
    }
}

void readPhasor(ByteReader& r, uint16_t format, const PhasorChannel& channel, PhasorValue& v) {
    if ((format & kFormatPhasorFloat) != 0) {
        float first = 0;
        float second = 0;
        r.f32(first);
        r.f32(second);
        v.first = first;
        v.second = second;
        return;
    }
    const double perBit = unitPerBit(channel);
    if ((format & kFormatPolar) != 0) {
        uint16_t magnitude = 0;
        int16_t angle = 0;
        r.u16(magnitude);
        r.i16(angle);
        v.first = magnitude * perBit;
        v.second = angle * 1e-4;
    } else {
        int16_t real = 0;
        int16_t imaginary = 0;
        r.i16(real);
        r.i16(imaginary);
        v.first = real * perBit;
        v.second = imaginary * perBit;
    }
}

}  // namespace

bool encodeDataFrame(const ConfigFrame& config, const DataFrame& data, std::vector<uint8_t>& out, std::string& error) {
    beginFrame(out, FrameType::Data, kVersion2005, config.idCode, data.time);
    ByteWriter w(out);
    for (size_t k = 0; k < config.pmus.size(); ++k) {
        const PmuConfig& pmu = config.pmus[k];
        const PmuData empty;
        const PmuData& values = k < data.pmus.size() ? data.pmus[k] : empty;
        w.u16(values.stat);
        for (size_t i = 0; i < pmu.phasors.size(); ++i) {
            writePhasor(w, pmu.format, pmu.phasors[i], i < values.phasors.size() ? values.phasors[i] : PhasorValue{});
        }
        if ((pmu.format & kFormatFrequencyFloat) != 0) {
            w.f32(static_cast<float>(values.frequency));
            w.f32(static_cast<float>(values.rocof));
        } else {
            // Integer FREQ is the deviation from nominal in mHz, DFREQ is
            // ROCOF times 100.
            w.i16(static_cast<int16_t>(clampedRound((values.frequency - pmu.nominalFrequency) * 1000.0, -32767, 32767)));
            w.i16(static_cast<int16_t>(clampedRound(values.rocof * 100.0, -32767, 32767)));
        }
        for (size_t i = 0; i < pmu.analogs.size(); ++i) {
            const double v = i < values.analogs.size() ? values.analogs[i] : 0.0;
            if ((pmu.format & kFormatAnalogFloat) != 0) {
                w.f32(static_cast<float>(v));
            } else {
                w.i16(static_cast<int16_t>(clampedRound(v, -32767, 32767)));
            }
        }
        for (size_t i = 0; i < pmu.digitals.size(); ++i) w.u16(i < values.digitals.size() ? values.digitals[i] : 0);
    }
    if (!sealFrame(out)) {
        error = "data frame would be " + std::to_string(out.size() + kCheckSize) +
                " bytes, more than the 65535 FRAMESIZE can express";
        return false;
    }
    return true;
}

bool decodeDataFrame(std::span<const uint8_t> frame, const ConfigFrame& config, DataFrame& data, std::string& error) {
    FrameHeader header;
    if (!checkFrame(frame, header, error)) return false;
    if (header.type != FrameType::Data) {
        error = std::string("expected a data frame, got a ") + frameTypeName(header.type);
        return false;
    }
    if (header.idCode != config.idCode) {
        error = "data frame of IDCODE " + std::to_string(header.idCode) + " does not belong to the configuration of IDCODE " +
                std::to_string(config.idCode);
        return false;
    }
    const size_t expected = dataFrameSize(config);
    if (frame.size() != expected) {
        error = "wrong size: data frame of " + std::to_string(frame.size()) + " bytes, the configuration describes " +
                std::to_string(expected);
        return false;
    }
    data.idCode = header.idCode;
    data.time = header.time;
    data.pmus.resize(config.pmus.size());
    // The size check above guarantees every read below succeeds.
    ByteReader r(frameBody(frame));
    for (size_t k = 0; k < config.pmus.size(); ++k) {
        const PmuConfig& pmu = config.pmus[k];
        PmuData& values = data.pmus[k];
        r.u16(values.stat);
        values.phasors.resize(pmu.phasors.size());
        for (size_t i = 0; i < pmu.phasors.size(); ++i) readPhasor(r, pmu.format, pmu.phasors[i], values.phasors[i]);
        if ((pmu.format & kFormatFrequencyFloat) != 0) {
            float frequency = 0;
            float rocof = 0;
            r.f32(frequency);
            r.f32(rocof);
            values.frequency = frequency;
            values.rocof = rocof;
        } else {
            int16_t deviation = 0;
            int16_t rocof = 0;
            r.i16(deviation);
            r.i16(rocof);
            values.frequency = pmu.nominalFrequency + deviation / 1000.0;
            values.rocof = rocof / 100.0;
        }
        values.analogs.resize(pmu.analogs.size());
        for (double& v : values.analogs) {
            if ((pmu.format & kFormatAnalogFloat) != 0) {
                float f = 0;
                r.f32(f);
                v = f;
            } else {
                int16_t raw = 0;
                r.i16(raw);
                v = raw;
            }
        }
        values.digitals.resize(pmu.digitals.size());
        for (uint16_t& word : values.digitals) r.u16(word);
    }
    return true;
}
