// Sampled values through capture files: our publisher's file as tshark
// decodes it, as the survey sees it, and as the samples of a run (exactly
// the quantised samples at a build's rate; resampled on true time at any
// other), with faults injected on the way.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "io/sv/sv_publisher.h"
#include "io/sv/sv_sample_source.h"
#include "io/sv/sv_survey.h"

namespace {

constexpr int64_t kStart = 1'765'000'000;  // some second in December 2025
constexpr double kPi = 3.14159265358979323846;

class SvCapture : public testing::Test {
protected:
    std::string path(const std::string& name) {
        const auto p = std::filesystem::temp_directory_path() /
                       ("orvane_sv_" + std::to_string(getpid()) + "_" + name);
        made_.push_back(p.string());
        return p.string();
    }
    void TearDown() override {
        for (const std::string& p : made_) std::remove(p.c_str());
    }

    // The eight channels of sample n: currents of 100 A and voltages of
    // 9 kV peak at 50 Hz.
    static std::vector<double> channels(uint64_t n, uint32_t rate) {
        std::vector<double> v(8, 0.0);
        const double t = static_cast<double>(n) / rate;
        for (int p = 0; p < 3; ++p) {
            const double angle = 2 * kPi * 50 * t - p * 2 * kPi / 3;
            v[p] = 100 * std::cos(angle);
            v[4 + p] = 9000 * std::cos(angle);
        }
        return v;
    }

    // Publishes `samples` samples to a new capture file.
    SvPublisherCounts publish(const std::string& file, SvPublisherOptions options, uint64_t samples) {
        std::string error;
        std::unique_ptr<PacketWriter> out = createCaptureFile(file, error);
        EXPECT_TRUE(out) << error;
        SvPublisher publisher(options, *out, kStart);
        for (uint64_t n = 0; n < samples; ++n) EXPECT_TRUE(publisher.push(channels(n, options.rate)));
        EXPECT_TRUE(publisher.finish());
        EXPECT_TRUE(out->close()) << out->error();
        return publisher.counts();
    }

    std::vector<std::string> made_;
};

std::string run(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    pclose(pipe);
    return text;
}

TEST_F(SvCapture, TsharkReadsWhatWeMeant) {
    if (std::system("command -v tshark >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "tshark is not installed (Debian package tshark; scripts/install-deps.sh installs it)";
    }
    const std::string file = path("tshark.pcap");
    SvPublisherOptions options;
    options.asdusPerFrame = 2;
    options.svId = "ORV_T1";
    options.link.vlanId = 5;
    publish(file, options, 6);
    const std::string text = run("timeout 60 tshark -r " + file +
                                 " -o sv.decode_data_as_phsmeas:TRUE -T fields -E separator=';' -e sv.svID "
                                 "-e sv.smpCnt -e sv.smpSynch -e sv.meas_value 2>/dev/null");
    std::istringstream lines(text);
    std::string line;
    int frames = 0;
    while (std::getline(lines, line)) {
        SCOPED_TRACE(line);
        std::istringstream fields(line);
        std::string ids, counts, synch, values;
        std::getline(fields, ids, ';');
        std::getline(fields, counts, ';');
        std::getline(fields, synch, ';');
        std::getline(fields, values, ';');
        const uint64_t n = static_cast<uint64_t>(frames) * 2;
        EXPECT_EQ(ids, "ORV_T1,ORV_T1");
        EXPECT_EQ(counts, std::to_string(n) + "," + std::to_string(n + 1));
        EXPECT_EQ(synch, "2,2");
        std::ostringstream want;
        for (uint64_t k = n; k < n + 2; ++k) {
            const std::vector<double> v = channels(k, 4000);
            for (std::size_t c = 0; c < 8; ++c) {
                want << (k == n && c == 0 ? "" : ",") << std::llround(v[c] / (c < 4 ? 0.001 : 0.01));
            }
        }
        EXPECT_EQ(values, want.str());
        ++frames;
    }
    EXPECT_EQ(frames, 3);
}

TEST_F(SvCapture, AtTheBuildRateTheSamplesAreExactlyTheQuantisedOnes) {
    const std::string file = path("exact.pcap");
    SvPublisherOptions options;
    options.link.vlanId = 7;
    const uint64_t samples = 9000;  // across two tops of the second
    publish(file, options, samples);
    std::string error;
    std::unique_ptr<SvSampleSource> source = SvSampleSource::openFile(file, SvStreamOptions{}, error);
    ASSERT_TRUE(source) << error;
    EXPECT_EQ(source->streamRate(), 4000u);
    ModelInputs ports;
    ports.reportRate = 10;
    ASSERT_TRUE(source->prepare(4000.0, ports, error)) << error;
    EXPECT_TRUE(source->passesThrough());
    const double midnightOffset = static_cast<double>(kStart % 86400);
    ModelInputs in;
    uint64_t n = 0;
    while (source->next(in) == SampleSource::Status::Sample) {
        const std::vector<double> v = channels(n, 4000);
        for (int p = 0; p < 3; ++p) {
            ASSERT_EQ(in.phase[p], static_cast<double>(std::llround(v[4 + p] / 0.01)) * 0.01) << n;
        }
        ASSERT_EQ(in.time, midnightOffset + static_cast<double>(n / 4000) + static_cast<double>(n % 4000) / 4000.0);
        ASSERT_EQ(in.reportRate, 10);
        ASSERT_FALSE(source->flags().any());
        ++n;
    }
    EXPECT_TRUE(source->error().empty()) << source->error();
    EXPECT_EQ(n, samples);
}

TEST_F(SvCapture, InjectedFaultsAreCountedAndFlagged) {
    const std::string file = path("faults.pcap");
    SvPublisherOptions options;
    options.asdusPerFrame = 2;
    options.loseFraction = 0.02;
    options.duplicateFraction = 0.02;
    options.reorderFraction = 0.02;
    options.seed = 11;
    const SvPublisherCounts sent = publish(file, options, 8000);
    ASSERT_GT(sent.framesLost * sent.framesDuplicated * sent.framesReordered, 0u);

    std::string error;
    std::unique_ptr<SvSampleSource> source = SvSampleSource::openFile(file, SvStreamOptions{}, error);
    ASSERT_TRUE(source) << error;
    ASSERT_TRUE(source->prepare(4000.0, ModelInputs{}, error));
    ModelInputs in;
    uint64_t samples = 0, missing = 0;
    while (source->next(in) == SampleSource::Status::Sample) {
        ++samples;
        if (source->flags().missing) {
            ++missing;
            EXPECT_TRUE(std::isnan(in.phase[0]));
        }
    }
    const SvContinuityCounts& c = source->stream().counts();
    // A loss at the very end leaves no trace in the stream.
    const uint64_t tail = 8000 - samples;
    EXPECT_EQ(missing + tail, sent.samplesLost);
    EXPECT_EQ(c.lost, missing);
    EXPECT_EQ(c.duplicates, sent.framesDuplicated * 2);
    EXPECT_EQ(c.reordered, sent.framesReordered * 2);

    // The survey sees the same stream.
    std::unique_ptr<PacketReader> packets = openCaptureFile(file, error);
    ASSERT_TRUE(packets) << error;
    SvSurvey survey;
    ASSERT_TRUE(surveySvStreams(*packets, 0, survey, error)) << error;
    ASSERT_EQ(survey.streams.size(), 1u);
    const SvStreamSummary& s = survey.streams[0];
    EXPECT_EQ(s.svId, "ORVANE_MU01");
    EXPECT_EQ(s.rate, 4000u);
    EXPECT_EQ(s.asdusPerFrameMax, 2u);
    EXPECT_EQ(s.smpSynch, 2);
    EXPECT_EQ(s.frames, sent.framesWritten);
    EXPECT_EQ(s.continuity.lost, c.lost);
}

TEST_F(SvCapture, OtherRatesAreResampledOnTrueTime) {
    const std::string file = path("4800.pcap");
    SvPublisherOptions options;
    options.rate = 4800;
    options.asdusPerFrame = 2;
    publish(file, options, 4800);
    std::string error;
    std::unique_ptr<SvSampleSource> source = SvSampleSource::openFile(file, SvStreamOptions{}, error);
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->streamRate(), 4800u);
    ASSERT_TRUE(source->prepare(10000.0, ModelInputs{}, error)) << error;
    const double t0 = static_cast<double>(kStart % 86400);
    ModelInputs in;
    uint64_t j = 0;
    double worst = 0;
    while (source->next(in) == SampleSource::Status::Sample) {
        ASSERT_NEAR(in.time, t0 + static_cast<double>(j) / 10000.0, 1e-9);
        // Away from the ends the resampled wave is the wave at that instant.
        if (j > 500 && j < 9500) {
            worst = std::max(worst, std::fabs(in.phase[0] - 9000 * std::cos(2 * kPi * 50 * (in.time - t0))));
        }
        ++j;
    }
    EXPECT_EQ(j, 10000u);
    EXPECT_LT(worst, 0.5);  // V, of 9 kV
}

TEST_F(SvCapture, UnusableInputsSayWhy) {
    std::string error;
    EXPECT_FALSE(openCaptureFile(path("absent.pcap"), error));
    EXPECT_NE(error.find("absent.pcap: cannot open"), std::string::npos) << error;

    const std::string text = path("text.pcap");
    std::ofstream(text) << "time,va,vb,vc\n";
    EXPECT_FALSE(openCaptureFile(text, error));
    EXPECT_NE(error.find("not a pcap or pcapng capture"), std::string::npos) << error;

    EXPECT_FALSE(openCaptureInterface("orvane-no-such-if0", error));
    EXPECT_NE(error.find("orvane-no-such-if0"), std::string::npos) << error;

    const std::string other = path("other.pcap");
    SvPublisherOptions options;
    options.svId = "A";
    publish(other, options, 10);
    SvStreamOptions choose;
    choose.select.svId = "B";
    EXPECT_FALSE(SvSampleSource::openFile(other, choose, error));
    EXPECT_NE(error.find("no sampled-values stream that fits the selection"), std::string::npos) << error;

    choose.select.svId.reset();
    ASSERT_TRUE(SvDataSet::choose({0, 1, 9}, {}, choose.dataSet, error)) << error;
    EXPECT_FALSE(SvSampleSource::openFile(other, choose, error));
    EXPECT_NE(error.find("carries 8 channels"), std::string::npos) << error;

    SvPublisherOptions tooFast;
    tooFast.rate = 80000;
    EXPECT_FALSE(SvPublisher::check(tooFast, error));
    EXPECT_NE(error.find("rate 80000 Hz"), std::string::npos) << error;
}

}  // namespace

namespace {

// Frames sent out of the loopback interface come back through a live
// capture, VLAN tag and all (needs the right to capture: skipped without).
TEST(SvLive, LoopbackCaptureSeesEveryFrameSent) {
    std::string error;
    std::unique_ptr<PacketReader> capture = openCaptureInterface("lo", error);
    if (!capture) GTEST_SKIP() << "no live capture here: " << error;
    std::unique_ptr<PacketWriter> send = openInjectionInterface("lo", error);
    ASSERT_TRUE(send) << error;
    SvPublisherOptions options;
    options.svId = "ORV_LIVE_" + std::to_string(getpid());
    options.link.vlanId = 3;
    options.asdusPerFrame = 2;
    // The burst's samples (smpCnt 0..399, the first tenth of a second) are
    // put in the second of their capture time: send them early in one.
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    if (now.tv_nsec > 300'000'000) std::this_thread::sleep_for(std::chrono::nanoseconds(1'000'000'000 - now.tv_nsec));
    SvPublisher publisher(options, *send, kStart);
    for (int n = 0; n < 400; ++n) ASSERT_TRUE(publisher.push(std::vector<double>(8, 1.0))) << publisher.error();

    SvStreamOptions select;
    select.select.svId = options.svId;
    select.rate = 4000;
    SvStreamReader stream(*capture, select);
    SvSample sample;
    int samples = 0;
    for (int timeouts = 0; samples < 400 && timeouts < 20;) {
        const SvStreamReader::Status status = stream.next(sample);
        if (status == SvStreamReader::Status::Timeout) {
            ++timeouts;
            continue;
        }
        ASSERT_EQ(status, SvStreamReader::Status::Sample) << stream.error();
        EXPECT_FALSE(sample.flags.any());
        ++samples;
    }
    EXPECT_EQ(samples, 400);
    EXPECT_EQ(stream.counts().duplicates, 0u);
}

}  // namespace
