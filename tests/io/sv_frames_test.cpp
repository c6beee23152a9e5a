// Sampled-values frames: what the encoder writes the decoder reads back in
// every framing a merging unit may use, and a broken frame is refused with
// its kind, never read past its end.
#include <gtest/gtest.h>

#include <vector>

#include "io/sv/sv_frame.h"

namespace {

struct Framing {
    bool vlan;
    std::size_t asdus;
    bool longLengths;
    bool optionalFields;
};

std::vector<uint8_t> encode(const Framing& f, std::vector<int32_t>& values) {
    SvLinkFields link;
    if (f.vlan) link.vlanId = 0x123;
    link.appId = 0x4321;
    link.longLengths = f.longLengths;
    values.clear();
    for (std::size_t k = 0; k < f.asdus * 8; ++k) values.push_back(static_cast<int32_t>(k * 1000003) - 7000000);
    std::vector<uint32_t> qualities(values.size(), 0);
    qualities[5] = 0x801;  // invalid, test
    std::vector<SvAsduFields> asdus(f.asdus);
    for (std::size_t k = 0; k < f.asdus; ++k) {
        asdus[k].svId = "MU_7";
        asdus[k].smpCnt = static_cast<uint16_t>(3998 + k);
        asdus[k].confRev = 0x01020304;
        asdus[k].smpSynch = 2;
        asdus[k].values = std::span<const int32_t>(values).subspan(k * 8, 8);
        asdus[k].qualities = std::span<const uint32_t>(qualities).subspan(k * 8, 8);
        if (f.optionalFields) {
            asdus[k].dataSet = "LD0/LLN0$PhsMeas1";
            asdus[k].refreshTime = SvRefreshTime{1700000000, 0x800000, 0x0A};
            asdus[k].smpRate = 4000;
        }
    }
    std::vector<uint8_t> frame;
    encodeSvFrame(link, asdus, frame);
    return frame;
}

TEST(SvFrames, RoundTripInEveryFraming) {
    const Framing cases[] = {{false, 1, false, false}, {true, 1, false, true}, {false, 2, false, false},
                             {true, 8, false, true},   {false, 1, true, true},  {true, 3, true, false}};
    for (const Framing& f : cases) {
        SCOPED_TRACE(testing::Message() << "vlan " << f.vlan << " asdus " << f.asdus << " long " << f.longLengths);
        std::vector<int32_t> values;
        const std::vector<uint8_t> bytes = encode(f, values);
        SvFrame frame;
        SvFault fault{};
        std::size_t offset = 0;
        ASSERT_EQ(decodeSvFrame(bytes, frame, fault, offset), SvDecode::Frame)
            << svFaultText(fault) << " at " << offset;
        EXPECT_EQ(frame.vlanId.has_value(), f.vlan);
        if (f.vlan) {
            EXPECT_EQ(*frame.vlanId, 0x123);
        }
        EXPECT_EQ(frame.appId, 0x4321);
        ASSERT_EQ(frame.asdus.size(), f.asdus);
        for (std::size_t k = 0; k < f.asdus; ++k) {
            const SvAsdu& a = frame.asdus[k];
            EXPECT_EQ(a.svId, "MU_7");
            EXPECT_EQ(a.smpCnt, 3998 + k);
            EXPECT_EQ(a.confRev, 0x01020304u);
            EXPECT_EQ(a.smpSynch, 2);
            ASSERT_EQ(a.channels(), 8u);
            for (std::size_t c = 0; c < 8; ++c) EXPECT_EQ(a.value(c), values[k * 8 + c]);
            EXPECT_EQ(a.quality(5), k == 0 ? 0x801u : 0u);
            EXPECT_EQ(a.refreshTime.has_value(), f.optionalFields);
            if (f.optionalFields) {
                EXPECT_EQ(a.dataSet, "LD0/LLN0$PhsMeas1");
                EXPECT_EQ(a.refreshTime->fraction, 0x800000u);
                EXPECT_EQ(*a.smpRate, 4000);
            }
        }
    }
}

TEST(SvFrames, OtherTrafficIsNotMalformed) {
    std::vector<int32_t> values;
    std::vector<uint8_t> bytes = encode({false, 1, false, false}, values);
    bytes[12] = 0x08;  // IPv4
    bytes[13] = 0x00;
    SvFrame frame;
    SvFault fault{};
    std::size_t offset = 0;
    EXPECT_EQ(decodeSvFrame(bytes, frame, fault, offset), SvDecode::NotSampledValues);
}

// Every cut of a frame is refused with a kind; none reads past the end.
TEST(SvFrames, EveryTruncationIsRefused) {
    std::vector<int32_t> values;
    const std::vector<uint8_t> bytes = encode({true, 2, false, true}, values);
    SvFrame frame;
    for (std::size_t n = 18; n < bytes.size(); ++n) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        SvFault fault{};
        std::size_t offset = 0;
        ASSERT_EQ(decodeSvFrame(cut, frame, fault, offset), SvDecode::Malformed) << n;
        EXPECT_LE(offset, n);
    }
}

TEST(SvFrames, FaultKinds) {
    std::vector<int32_t> values;
    const std::vector<uint8_t> good = encode({false, 1, false, false}, values);
    // Offsets in the untagged one-ASDU frame: APDU at 14, savPdu at 22.
    const std::size_t pdu = 22;
    struct Case {
        const char* what;
        std::size_t at;
        uint8_t byte;
        SvFault fault;
    };
    const Case cases[] = {
        {"APDU length below its header", 16 + 1, 4, SvFault::BadLength},
        {"indefinite savPdu length", pdu + 1, 0x80, SvFault::BadBerLength},
        {"not a savPdu", pdu, 0x61, SvFault::BadTag},
        {"noASDU says 2", pdu + 4, 2, SvFault::AsduCount},
        {"smpCnt tag turned unknown: skipped, then missing", pdu + 2 + 3 + 2 + 2 + 2 + 4, 0x89, SvFault::MissingField},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        bad[c.at] = c.byte;
        SvFrame frame;
        SvFault fault{};
        std::size_t offset = 0;
        EXPECT_EQ(decodeSvFrame(bad, frame, fault, offset), SvDecode::Malformed) << c.what;
        EXPECT_EQ(fault, c.fault) << c.what << ": " << svFaultText(fault);
    }
}

}  // namespace
