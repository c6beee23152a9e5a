// The math-library calls that one sample of the model must make, on
// arguments like the model's: sine and cosine of both oscillator phases and
// of the correction angle, the sine of the droop argument, three
// arctangents (the angle and both frequency detectors) and one square root
// (the magnitude). Their cost is the floor under the model's cost.
#ifndef ORVANE_BENCH_MATH_FLOOR_H
#define ORVANE_BENCH_MATH_FLOOR_H

#include <cstddef>
#include <vector>

struct FloorArguments {
    double oscillatorCh1;
    double oscillatorCh2;
    double correctionAngle;
    double droopArgument;
    double phasorRe, phasorIm;
    double detectorCh1Re, detectorCh1Im;
    double detectorCh2Re, detectorCh2Im;
};

// Arguments of consecutive samples of a 50.3 Hz signal at the sample rate
// fs (Hz), a table long enough that the branch predictor cannot learn it by
// heart.
const std::vector<FloorArguments>& floorArguments(double fs);

// One sample's calls; the result depends on every call, so none can be
// left out.
double floorSample(const FloorArguments& a);

// ns per sample of floorSample at the sample rate fs, measured once per
// rate (about 0.2 s) and kept.
double floorNanosecondsPerSample(double fs);

#endif  // ORVANE_BENCH_MATH_FLOOR_H
