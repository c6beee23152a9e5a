// The three sample-rate builds of the measurement model. They share every
// line of logic; only this constant set differs, and each deliverable is
// compiled with exactly one of them (see selected_build.h).
#ifndef ORVANE_BUILDS_SAMPLE_RATE_BUILD_H
#define ORVANE_BUILDS_SAMPLE_RATE_BUILD_H

#include <cstdint>

struct SampleRateBuild {
    const char* sfunctionName;
    const char* modelName;
    double fs;                // sample rate, Hz
    double ts;                // sample period, s
    double halfTs;            // Ts/2: trapezoidal scaling of every boxcar sum
    double slewPerSample;     // 100*Ts: tracked-frequency step limit, Hz per sample
    double fsOverTwoPi;       // turns a per-sample angle step (rad) into Hz
    double twoPiTs;           // oscillator advance per Hz of tuning, rad per sample
    int32_t delayLineLength;  // L = Fs/25 + 2 slots of every delay line
    int32_t pulseHalfCycle;   // H = L + 8 samples per pulse phase
    uint32_t checksums[4];
};

// The values are the exact doubles of their formulas, except fsOverTwoPi of
// the 4 kHz build, which is one unit in the last place below 4000/(2*pi).
inline constexpr SampleRateBuild kBuild10kHz = {
    "Orvane_10kHz_sf", "Orvane_10kHz",
    10000.0, 0.0001, 5e-05, 0.01, 1591.5494309189535, 0.0006283185307179586,
    402, 410,
    {0xb875ea4eu, 0x67f41b6fu, 0x78955c31u, 0xf9b7b7b3u},
};

inline constexpr SampleRateBuild kBuild14p4kHz = {
    "Orvane_14p4kHz_sf", "Orvane_14p4kHz",
    14400.0, 6.944444444444444e-05, 3.472222222222222e-05, 0.006944444444444444,
    2291.831180523293, 0.0004363323129985824,
    578, 586,
    {0x9cb75a1au, 0xe1e67138u, 0x18ca9948u, 0x350b81e9u},
};

inline constexpr SampleRateBuild kBuild4kHz = {
    "Orvane_4kHz_sf", "Orvane_4kHz",
    4000.0, 0.00025, 0.000125, 0.025, 636.6197723675813, 0.0015707963267948967,
    162, 170,
    {0xecf46a43u, 0x9979be7eu, 0x98fc8b95u, 0x8bb07478u},
};

#endif  // ORVANE_BUILDS_SAMPLE_RATE_BUILD_H
