// The input table: each kind, opened for a build, describes itself in its
// facts as the outputs and messages need it (rate and how it was found, the
// time origin, the recorder's clock, the phase channels, the length).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "io/sv/packet_capture.h"
#include "io/sv/sv_publisher.h"
#include "stream/input_table.h"
#include "tests/io/comtrade_fixtures.h"

namespace {

// A plain three-phase CSV at 10 kHz from `start` (s since 1970), with the
// header `header`.
void writePlainCsv(const std::string& path, const std::string& header, double start, int samples) {
    std::ofstream out(path);
    out << header << "\n";
    char line[128];
    for (int i = 0; i < samples; ++i) {
        std::snprintf(line, sizeof line, "%.17g,1,-0.5,-0.5\n", start + i / 10000.0);
        out << line;
    }
}

// A capture of `seconds` of a 50 Hz set at `rate`, its first frame in the
// second `start` (s since 1970).
void writeCapture(const std::string& path, uint32_t rate, double seconds, int64_t start) {
    std::string error;
    std::unique_ptr<PacketWriter> out = createCaptureFile(path, error);
    ASSERT_TRUE(out) << error;
    SvPublisherOptions options;
    options.rate = rate;
    SvPublisher publisher(options, *out, start);
    for (uint64_t n = 0; n < static_cast<uint64_t>(seconds * rate); ++n) {
        std::vector<double> v(8, 0.0);
        for (int p = 0; p < 3; ++p) v[4 + p] = 9000 * std::cos(6.283185307179586 * (50.0 * n / rate - p / 3.0));
        ASSERT_TRUE(publisher.push(v));
    }
    ASSERT_TRUE(publisher.finish());
    ASSERT_TRUE(out->close()) << out->error();
}

struct Case {
    const char* what;
    const char* kind;
    std::function<std::string(const ScratchFolder&, InputSettings&)> make;  // the input's text
    std::string buildTag;  // given; then as written back
    std::string expectedBuild;
    std::string description;
    double epochShift;
    double inputRate;
    const char* rateHowHas;
    int clockQuality;
    std::vector<std::string> channels;
    std::string unit;
    std::optional<uint64_t> length;
};

TEST(InputTable, EveryKindDescribesItselfOnceInItsFacts) {
    const ScratchFolder scratch("input-table");
    const Case cases[] = {
        {"plain CSV at a Unix time, its rate found over the first second", "csv",
         [](const ScratchFolder& s, InputSettings&) {
             writePlainCsv(s.file("unix.csv"), "time,va,vb,vc", 1.7e9 + 0.37, 12000);
             return s.file("unix.csv");
         },
         "auto", "10k", "file ", 0.0, 10000.0, "first", -1, {"va", "vb", "vc"}, "", std::nullopt},
        {"plain CSV with its phase columns named", "csv",
         [](const ScratchFolder& s, InputSettings& settings) {
             writePlainCsv(s.file("named.csv"), "time,U1,U2,U3", 80000.37, 12000);
             settings.comtrade.phases = {"U1", "U2", "U3"};
             return s.file("named.csv");
         },
         "10k", "10k", "file ", 0.0, 10000.0, "first", -1, {"U1", "U2", "U3"}, "", std::nullopt},
        {"recording: its UTC midnight, its clock and its channels' units", "comtrade",
         [](const ScratchFolder& s, InputSettings&) {
             SyntheticRecording r = threePhaseRecording(DataFormat::Ascii, 4000.0, 400);
             r.config.timeQuality = 5;
             writeComtrade(s.file("rec"), r.config, r.data);
             return s.file("rec.cfg");
         },
         "auto", "4k", "recording ", 1796688000.0, 4000.0, "sampling rates", 5, {"VA", "VB", "VC"}, "kV", 400},
        {"capture: the UTC midnight its Time counts from, its rate from smpCnt's wrap", "sv-pcap",
         [](const ScratchFolder& s, InputSettings&) {
             writeCapture(s.file("sv.pcap"), 4800, 1.5, 1'765'000'000);
             return s.file("sv.pcap");
         },
         "auto", "10k", "capture ", 1764979200.0, 4800.0, "wraps", -1, {"channel 4", "channel 5", "channel 6"}, "",
         std::nullopt},
        {"signal, made at the build's rate", "signal",
         [](const ScratchFolder&, InputSettings& settings) {
             settings.shape.duration = 0.5;
             return std::string("steady");
         },
         "14p4k", "14p4k", "signal ", 0.0, 0.0, "", -1, {"va", "vb", "vc"}, "", 7200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InputSettings settings;
        const std::string text = c.make(scratch, settings);
        std::string buildTag = c.buildTag;
        std::string error;
        const auto opened = openInput({inputKindByName(c.kind), text}, settings, buildTag, error);
        ASSERT_TRUE(opened) << error;
        const SourceFacts& f = opened->facts();
        EXPECT_EQ(buildTag, c.expectedBuild);
        EXPECT_EQ(f.description, c.description + text);
        EXPECT_EQ(f.epochShift, c.epochShift);
        EXPECT_EQ(f.inputRate, c.inputRate);
        EXPECT_NE(f.rateHow.find(c.rateHowHas), std::string::npos) << f.rateHow;
        EXPECT_EQ(f.clockQuality, c.clockQuality);
        ASSERT_EQ(f.channels.size(), 3u);
        for (std::size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(f.channels[k].name, c.channels[k]);
            EXPECT_EQ(f.channels[k].unit, c.unit);
        }
        EXPECT_EQ(f.length, c.length);
    }
}

}  // namespace
