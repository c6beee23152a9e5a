#include "io/input_watch.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Three phases at 10 kHz, b and c swapped on request, Time from `start`.
class Generated : public SampleSource {
public:
    Generated(bool swapped, double start) : swapped_(swapped), start_(start) {}
    const std::string& name() const override { return name_; }
    std::optional<uint64_t> sampleCount() const override { return std::nullopt; }
    const std::string& error() const override { return name_; }
    Status next(ModelInputs& in) override {
        if (k_ == 15000) return Status::End;
        const double t = k_ / 1e4;
        for (int p = 0; p < 3; ++p) {
            const int shift = swapped_ && p > 0 ? 3 - p : p;
            in.phase[p] = 100.0 * std::cos(2 * M_PI * 50.0 * t - 2 * M_PI * shift / 3.0);
        }
        in.time = start_ + t;
        in.reportRate = 50;
        in.nominalFrequency = 50.0;
        ++k_;
        return Status::Sample;
    }

private:
    bool swapped_;
    double start_;
    std::string name_ = "gen";
    int k_ = 0;
};

TEST(InputWatch, WarnsOfSwappedPhasesAndOfTimePastTheReportGrid) {
    struct Case {
        bool swapped;
        double start;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {false, 1000.0, {}},
        {true, 1000.0, {"warning: gen: over the first second the negative sequence (peak 100)"}},
        {false, reportGridLimit(50) - 1.0, {"warning: gen: sample 10002: Time 2040000001.0000999 s is past 2040000001 s"}},
    };
    for (const Case& c : cases) {
        Generated source(c.swapped, c.start);
        InputWatch watch(source, 1e4);
        ModelInputs in;
        while (watch.next(in) == SampleSource::Status::Sample) {
        }
        const std::vector<std::string> warnings = watch.warnings();
        ASSERT_EQ(warnings.size(), c.says.size());
        for (std::size_t i = 0; i < warnings.size(); ++i) EXPECT_EQ(warnings[i].rfind(c.says[i], 0), 0u) << warnings[i];
    }
}

}  // namespace
