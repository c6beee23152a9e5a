// Every decoder fed truncated frames, bad CRCs, wrong sizes and random
// bytes: each is refused with its reason and nothing crashes (run under the
// sanitizers, an out-of-bounds read fails these tests too).
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "io/c37118/command_frame.h"
#include "io/c37118/config_frame.h"
#include "io/c37118/crc_ccitt.h"
#include "io/c37118/data_frame.h"
#include "io/c37118/frame_assembler.h"

namespace {

ConfigFrame onePhasorConfig(FrameType type) {
    ConfigFrame config;
    config.type = type;
    config.idCode = 1;
    PmuConfig pmu;
    pmu.station = "ORVANE PMU";
    pmu.phasors = {PhasorChannel{}};
    pmu.phasors[0].name = "V1 POS SEQ";
    pmu.analogs = {AnalogChannel{}};
    pmu.digitals = {DigitalWord{}};
    config.pmus = {pmu};
    return config;
}

using Decoder = std::function<bool(std::span<const uint8_t>, std::string&)>;

struct DecoderCase {
    const char* name;
    std::vector<uint8_t> frame;
    Decoder decode;
};

std::vector<DecoderCase> decoderCases() {
    static const ConfigFrame cfg2 = onePhasorConfig(FrameType::Config2);
    std::vector<DecoderCase> cases;
    std::string error;
    std::vector<uint8_t> bytes;
    for (FrameType type : {FrameType::Config2, FrameType::Config3}) {
        encodeConfigFrame(onePhasorConfig(type), bytes, error);
        cases.push_back({frameTypeName(type), bytes, [](std::span<const uint8_t> f, std::string& e) {
                             ConfigFrame c;
                             return decodeConfigFrame(f, c, e);
                         }});
    }
    DataFrame data;
    data.pmus.resize(1);
    encodeDataFrame(cfg2, data, bytes, error);
    cases.push_back({"data frame", bytes, [](std::span<const uint8_t> f, std::string& e) {
                         DataFrame d;
                         return decodeDataFrame(f, cfg2, d, e);
                     }});
    encodeCommandFrame(CommandFrame{}, bytes, error);
    cases.push_back({"command frame", bytes, [](std::span<const uint8_t> f, std::string& e) {
                         CommandFrame c;
                         return decodeCommandFrame(f, c, e);
                     }});
    HeaderFrame header;
    header.text = "text";
    encodeHeaderFrame(header, bytes, error);
    cases.push_back({"header frame", bytes, [](std::span<const uint8_t> f, std::string& e) {
                         HeaderFrame h;
                         return decodeHeaderFrame(f, h, e);
                     }});
    return cases;
}

// Rewrites FRAMESIZE and the CRC so that only the body is wrong.
void reseal(std::vector<uint8_t>& frame) {
    frame[2] = static_cast<uint8_t>(frame.size() >> 8);
    frame[3] = static_cast<uint8_t>(frame.size());
    const uint16_t crc = crcCcitt(frame.data(), frame.size() - 2);
    frame[frame.size() - 2] = static_cast<uint8_t>(crc >> 8);
    frame[frame.size() - 1] = static_cast<uint8_t>(crc);
}

void expectRefused(const DecoderCase& c, std::span<const uint8_t> bytes, const std::string& reason,
                   const std::string& what) {
    std::string error;
    EXPECT_FALSE(c.decode(bytes, error)) << c.name << ", " << what;
    EXPECT_NE(error.find(reason), std::string::npos) << c.name << ", " << what << ": " << error;
}

TEST(DecoderRobustness, GoodFramesDecode) {
    for (const DecoderCase& c : decoderCases()) {
        std::string error;
        EXPECT_TRUE(c.decode(c.frame, error)) << c.name << ": " << error;
    }
}

TEST(DecoderRobustness, TruncatedAtEveryLength) {
    for (const DecoderCase& c : decoderCases()) {
        for (size_t length = 0; length < c.frame.size(); ++length) {
            expectRefused(c, std::span<const uint8_t>(c.frame.data(), length), "truncated",
                          "cut to " + std::to_string(length) + " bytes");
        }
    }
}

TEST(DecoderRobustness, BadCrcInEveryByte) {
    for (const DecoderCase& c : decoderCases()) {
        // Every byte after FRAMESIZE flipped: SYNC and FRAMESIZE have their
        // own reasons, everything else only the CRC can catch.
        for (size_t i = 4; i < c.frame.size(); ++i) {
            std::vector<uint8_t> bad = c.frame;
            bad[i] ^= 0x10;
            expectRefused(c, bad, "bad CRC", "byte " + std::to_string(i) + " flipped");
        }
    }
}

TEST(DecoderRobustness, WrongSync) {
    for (const DecoderCase& c : decoderCases()) {
        std::vector<uint8_t> bad = c.frame;
        bad[0] = 0xAB;
        expectRefused(c, bad, "wrong SYNC", "first byte 0xAB");
        bad = c.frame;
        bad[1] |= 0x80;  // reserved bit
        expectRefused(c, bad, "wrong SYNC", "reserved bit set");
        bad = c.frame;
        bad[1] = static_cast<uint8_t>((bad[1] & 0xF0) | 0x07);
        expectRefused(c, bad, "unsupported version", "version 7");
    }
}

TEST(DecoderRobustness, WrongSizes) {
    for (const DecoderCase& c : decoderCases()) {
        // FRAMESIZE larger than the bytes, smaller than the bytes, and
        // smaller than any frame.
        std::vector<uint8_t> bad = c.frame;
        bad[3] = static_cast<uint8_t>(bad[3] + 1);
        expectRefused(c, bad, "truncated", "FRAMESIZE one too many");
        bad = c.frame;
        bad.push_back(0);
        expectRefused(c, bad, "wrong FRAMESIZE", "one byte more than FRAMESIZE");
        bad = c.frame;
        bad[2] = 0;
        bad[3] = 15;
        expectRefused(c, bad, "wrong FRAMESIZE", "FRAMESIZE 15");
    }
}

TEST(DecoderRobustness, BodiesTooShortForTheirOwnCounts) {
    std::string error;
    std::vector<uint8_t> bytes;
    for (FrameType type : {FrameType::Config2, FrameType::Config3}) {
        encodeConfigFrame(onePhasorConfig(type), bytes, error);
        // Claim 65535 PMUs (CFG-2: NUM_PMU at 18; CFG-3: after CONT_IDX).
        const size_t numPmu = type == FrameType::Config3 ? 20 : 18;
        bytes[numPmu] = 0xFF;
        bytes[numPmu + 1] = 0xFF;
        reseal(bytes);
        ConfigFrame config;
        EXPECT_FALSE(decodeConfigFrame(bytes, config, error));
        EXPECT_NE(error.find("too short for its own counts"), std::string::npos) << error;
    }
    // A data frame one PMU block short of its configuration.
    const ConfigFrame cfg2 = onePhasorConfig(FrameType::Config2);
    DataFrame data;
    data.pmus.resize(1);
    encodeDataFrame(cfg2, data, bytes, error);
    bytes.erase(bytes.end() - 4, bytes.end() - 2);
    reseal(bytes);
    DataFrame back;
    EXPECT_FALSE(decodeDataFrame(bytes, cfg2, back, error));
    EXPECT_NE(error.find("the configuration describes"), std::string::npos) << error;
    // A command with stray bytes after CMD.
    encodeCommandFrame(CommandFrame{}, bytes, error);
    bytes.insert(bytes.end() - 2, 0x00);
    reseal(bytes);
    CommandFrame command;
    EXPECT_FALSE(decodeCommandFrame(bytes, command, error));
    EXPECT_NE(error.find("wrong size"), std::string::npos) << error;
}

TEST(DecoderRobustness, FramesOfAnotherType) {
    const std::vector<DecoderCase> cases = decoderCases();
    for (const DecoderCase& decoder : cases) {
        for (const DecoderCase& other : cases) {
            if (decoder.frame[1] >> 4 == other.frame[1] >> 4) continue;
            const bool bothConfig = decoder.name[0] == 'C' && other.name[0] == 'C';
            if (bothConfig) continue;
            expectRefused(decoder, other.frame, "expected", std::string("given a ") + other.name);
        }
    }
}

TEST(DecoderRobustness, RandomBytesNeverCrash) {
    std::mt19937 rng(20240607);
    const std::vector<DecoderCase> cases = decoderCases();
    for (int round = 0; round < 20000; ++round) {
        const DecoderCase& c = cases[round % cases.size()];
        std::vector<uint8_t> bytes;
        if (round % 2 == 0) {
            // Pure noise of random length.
            bytes.resize(rng() % 80);
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
        } else {
            // A valid frame with a few random bytes changed and resealed, so
            // the body parsers (not only the CRC) meet the damage.
            bytes = c.frame;
            for (int k = 0; k < 3; ++k) bytes[4 + rng() % (bytes.size() - 6)] = static_cast<uint8_t>(rng());
            reseal(bytes);
        }
        std::string error;
        if (!c.decode(bytes, error)) {
            EXPECT_FALSE(error.empty()) << c.name;
        }
    }
}

TEST(FrameAssembler, SplitsAStreamCutAnywhere) {
    std::vector<uint8_t> stream;
    std::vector<size_t> sizes;
    for (const DecoderCase& c : decoderCases()) {
        stream.insert(stream.end(), c.frame.begin(), c.frame.end());
        sizes.push_back(c.frame.size());
    }
    for (size_t chunk : {1u, 2u, 3u, 7u, 64u, 4096u}) {
        FrameAssembler assembler;
        std::vector<uint8_t> frame;
        FrameHeader header;
        std::vector<size_t> got;
        for (size_t at = 0; at < stream.size(); at += chunk) {
            const size_t n = std::min(chunk, stream.size() - at);
            assembler.append(std::span<const uint8_t>(stream.data() + at, n));
            FrameAssembler::Result result;
            while ((result = assembler.next(frame, header)) == FrameAssembler::Result::Frame) got.push_back(frame.size());
            ASSERT_NE(result, FrameAssembler::Result::Failed) << assembler.error();
        }
        EXPECT_EQ(got, sizes) << "chunks of " << chunk;
        EXPECT_EQ(assembler.pending(), 0u);
    }
}

TEST(FrameAssembler, FailsForGoodOnDamagedStreams) {
    const std::vector<uint8_t> good = decoderCases()[3].frame;  // a command
    struct Damage {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> apply;
        const char* reason;
    };
    const Damage damages[] = {
        {"garbage before the frame", [](std::vector<uint8_t>& s) { s.insert(s.begin(), 'G'); }, "wrong SYNC"},
        {"bad CRC", [](std::vector<uint8_t>& s) { s[s.size() - 1] ^= 1; }, "bad CRC"},
        {"FRAMESIZE 3", [](std::vector<uint8_t>& s) { s[2] = 0, s[3] = 3; }, "wrong FRAMESIZE"},
        {"reserved SYNC bit", [](std::vector<uint8_t>& s) { s[1] |= 0x80; }, "wrong SYNC"},
    };
    for (const Damage& d : damages) {
        std::vector<uint8_t> stream = good;
        stream.insert(stream.end(), good.begin(), good.end());
        d.apply(stream);
        FrameAssembler assembler;
        assembler.append(stream);
        std::vector<uint8_t> frame;
        FrameHeader header;
        FrameAssembler::Result result;
        while ((result = assembler.next(frame, header)) == FrameAssembler::Result::Frame) {
        }
        EXPECT_EQ(result, FrameAssembler::Result::Failed) << d.name;
        EXPECT_NE(assembler.error().find(d.reason), std::string::npos) << d.name << ": " << assembler.error();
        // Failed for good: more bytes do not revive it.
        assembler.append(good);
        EXPECT_EQ(assembler.next(frame, header), FrameAssembler::Result::Failed) << d.name;
    }
}

}  // namespace
