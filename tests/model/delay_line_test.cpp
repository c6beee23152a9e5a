// Delay-line reads and index wrap of the boxcar stages and the frequency
// smoother, in the first sample after initialisation (10 kHz build, both
// windows N = 200 of L = 402 slots). Every slot holds a value that names its
// line and slot, so each delayed read shows where it came from. The lines of
// a filter normally share one write index; moving one line apart must not
// change what that line or the others read.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tests/support/model_harness.h"

namespace {

constexpr int kFirstLine = 90;
constexpr int kLastLine = 143;
constexpr int kIndexOffset = 66;  // line k keeps its write index in k + 66
constexpr int kLength = 402;

double slotValue(int line, int slot) { return line * 1000.0 + slot; }

struct CursorCase {
    int32_t writeIndex;
    int32_t delayed;    // slot N = 200 back
    int32_t following;  // the slot after it
    int32_t advanced;   // the write index after the sample
};

const CursorCase kCases[] = {
    {3, 205, 206, 4},
    {199, 401, 0, 200},  // the slot after the last one is slot 0
    {200, 0, 1, 201},
    {401, 201, 202, 0},  // the write index wraps
    {0, 202, 203, 1},
};

// A line, the entries its delayed value (and the following one, or -1) land
// in: stage 2 of the phase-a sine product of channel 1, and the three lines
// of channel 1's frequency smoother.
struct LineRead {
    int line;
    int delayedEntry;
    int followingEntry;
};

const LineRead kReads[] = {
    {92, 22, -1},     // stage sums
    {93, 23, 24},     // stage inputs
    {138, 141, -1},   // smoother sum A
    {139, 143, -1},   // smoother sum B
    {140, 144, 145},  // smoother raw frequency
};

// Fills every line, sets the write indices (`moved` lines at the case's
// index, all others at `others`) and runs one sample.
void runOneSample(ModelHarness& h, const CursorCase& c, bool onlyReadLinesMoved) {
    ASSERT_TRUE(h.start());
    ASSERT_EQ(h.build().delayLineLength, kLength);
    for (int line = kFirstLine; line <= kLastLine; ++line) {
        for (int slot = 0; slot < kLength; ++slot) h.real(line)[slot] = slotValue(line, slot);
        *h.integer(line + kIndexOffset) = onlyReadLinesMoved ? 0 : c.writeIndex;
    }
    for (const LineRead& r : kReads) *h.integer(r.line + kIndexOffset) = c.writeIndex;
    ASSERT_TRUE(h.step(ModelInputs{}));
}

TEST(DelayLineTest, ReadsAndWrapOfSharedAndApartIndices) {
    for (bool apart : {false, true}) {
        for (const CursorCase& c : kCases) {
            SCOPED_TRACE("write index " + std::to_string(c.writeIndex) + (apart ? ", lines apart" : ", shared"));
            ModelHarness h(model_10k::kModelEntry);
            runOneSample(h, c, apart);
            const BlockSignals& s = *h.signals();
            ASSERT_EQ(s.BI[8], 200);   // cascade delay, channel 1
            ASSERT_EQ(s.BI[12], 200);  // smoothing delay, channel 1
            for (const LineRead& r : kReads) {
                EXPECT_EQ(s.B[r.delayedEntry], slotValue(r.line, c.delayed)) << "line " << r.line;
                if (r.followingEntry >= 0) {
                    EXPECT_EQ(s.B[r.followingEntry], slotValue(r.line, c.following)) << "line " << r.line;
                }
                EXPECT_EQ(*h.integer(r.line + kIndexOffset), c.advanced) << "line " << r.line;
            }
            // The first stage's lines, left at index 0 when the others moved.
            const CursorCase& first = apart ? kCases[4] : c;
            EXPECT_EQ(s.B[17], slotValue(90, first.delayed));
            EXPECT_EQ(s.B[18], slotValue(91, first.delayed));
            EXPECT_EQ(s.B[19], slotValue(91, first.following));
            EXPECT_EQ(*h.integer(90 + kIndexOffset), first.advanced);
            EXPECT_EQ(*h.integer(91 + kIndexOffset), first.advanced);
        }
    }
}

TEST(DelayLineTest, EachLineIsWrittenAtItsOwnIndex) {
    // One line of the cascade apart from its channel: the sample's values go
    // to each line's own write slot, and nothing else in the line changes.
    ModelHarness h(model_10k::kModelEntry);
    const CursorCase& c = kCases[1];
    runOneSample(h, c, true);
    const BlockSignals& s = *h.signals();
    EXPECT_EQ(h.real(92)[c.writeIndex], s.B[21]);  // stage 2 sum at the moved index
    EXPECT_EQ(h.real(93)[c.writeIndex], s.B[20]);  // stage 2 input (stage 1 output)
    EXPECT_EQ(h.real(90)[0], s.B[15]);             // stage 1 sum at index 0
    EXPECT_EQ(h.real(92)[0], slotValue(92, 0));
    EXPECT_EQ(h.real(90)[c.writeIndex], slotValue(90, c.writeIndex));
}

}  // namespace
