#include "io/resample/resampler.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include <soxr.h>

Resampler::Resampler(double inputRate, double outputRate, unsigned channels, Latency latency)
    : soxr_(nullptr), channels_(channels) {
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT64_I, SOXR_FLOAT64_I);
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    if (latency == Latency::Live) {
        // The transform length sets how much input waits for a block (64
        // points keep a report's latency within the class-P limit); the
        // transition band sets the filter's length and so its look-ahead.
        runtime.log2_large_dft_size = 6;
        quality.passband_end = 0.5;
    }
    soxr_error_t error = nullptr;
    soxr_ = soxr_create(inputRate, outputRate, channels, &error, &io, &quality,
                        latency == Latency::Live ? &runtime : nullptr);
    if (error != nullptr || soxr_ == nullptr) {
        throw std::runtime_error("cannot resample from " + std::to_string(inputRate) + " Hz to " +
                                 std::to_string(outputRate) + " Hz: " + (error != nullptr ? error : "unknown error"));
    }
}

Resampler::~Resampler() { soxr_delete(static_cast<soxr_t>(soxr_)); }

void Resampler::drain(const double* in, std::size_t frames, std::vector<double>& out) {
    constexpr std::size_t kChunk = 4096;
    const bool flushing = in == nullptr;
    while (true) {
        const std::size_t old = out.size();
        out.resize(old + kChunk * channels_);
        std::size_t used = 0;
        std::size_t produced = 0;
        const soxr_error_t error =
            soxr_process(static_cast<soxr_t>(soxr_), in, frames, &used, out.data() + old, kChunk, &produced);
        out.resize(old + produced * channels_);
        if (error != nullptr) throw std::runtime_error(std::string("resampling failed: ") + error);
        if (!flushing) {
            in += used * channels_;
            frames -= used;
            if (frames == 0 && produced < kChunk) return;
        } else if (produced == 0) {
            return;
        }
    }
}

void Resampler::push(const double* in, std::size_t frames, std::vector<double>& out) {
    if (frames > 0) drain(in, frames, out);
}

void Resampler::finish(std::vector<double>& out) { drain(nullptr, 0, out); }

std::size_t Resampler::outputFramesFor(std::size_t inputFrames, double inputRate, double outputRate) {
    // Instants j/outputRate below inputFrames/inputRate; the small margin
    // keeps an exact boundary (e.g. 4800 -> 10000 Hz over 0.5 s) out.
    const double exact = static_cast<double>(inputFrames) * outputRate / inputRate;
    return static_cast<std::size_t>(std::ceil(exact - 1e-9));
}
