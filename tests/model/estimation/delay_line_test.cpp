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

constexpr int kFirstLine = dw::kFirstDelayLine;
constexpr int kLastLine = 143;
constexpr int kIndexOffset = dw::kWriteIndexOffset;
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
    {stageSumsLineVector(1), kStageEntries[1].delayedSum, -1},
    {stageInputsLineVector(1), kStageEntries[1].delayedInput0, kStageEntries[1].delayedInput1},
    {kSmootherVectorsCh1.lineSumA, kSmootherCh1.delayedSumA, -1},
    {kSmootherVectorsCh1.lineSumB, kSmootherCh1.delayedSumB, -1},
    {kSmootherVectorsCh1.lineRaw, kSmootherCh1.delayedRaw0, kSmootherCh1.delayedRaw1},
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
            ASSERT_EQ(s.BI[sig::kCascadeDelayCh1], 200);
            ASSERT_EQ(s.BI[kSmootherCh1.delay], 200);
            for (const LineRead& r : kReads) {
                EXPECT_EQ(s.B[r.delayedEntry], slotValue(r.line, c.delayed)) << "line " << r.line;
                if (r.followingEntry >= 0) {
                    EXPECT_EQ(s.B[r.followingEntry], slotValue(r.line, c.following)) << "line " << r.line;
                }
                EXPECT_EQ(*h.integer(r.line + kIndexOffset), c.advanced) << "line " << r.line;
            }
            // The first stage's lines, left at index 0 when the others moved.
            const CursorCase& first = apart ? kCases[4] : c;
            constexpr StageEntries e = kStageEntries[0];
            constexpr int sums = stageSumsLineVector(0);
            constexpr int inputs = stageInputsLineVector(0);
            EXPECT_EQ(s.B[e.delayedSum], slotValue(sums, first.delayed));
            EXPECT_EQ(s.B[e.delayedInput0], slotValue(inputs, first.delayed));
            EXPECT_EQ(s.B[e.delayedInput1], slotValue(inputs, first.following));
            EXPECT_EQ(*h.integer(sums + kIndexOffset), first.advanced);
            EXPECT_EQ(*h.integer(inputs + kIndexOffset), first.advanced);
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
    constexpr int firstSums = stageSumsLineVector(0);
    constexpr int secondSums = stageSumsLineVector(1);
    // Stage 2's sum and input (stage 1's output) at the moved index, stage 1's
    // sum at index 0.
    EXPECT_EQ(h.real(secondSums)[c.writeIndex], s.B[kStageEntries[1].sum]);
    EXPECT_EQ(h.real(stageInputsLineVector(1))[c.writeIndex], s.B[kStageEntries[1].input]);
    EXPECT_EQ(h.real(firstSums)[0], s.B[kStageEntries[0].sum]);
    EXPECT_EQ(h.real(secondSums)[0], slotValue(secondSums, 0));
    EXPECT_EQ(h.real(firstSums)[c.writeIndex], slotValue(firstSums, c.writeIndex));
}

}  // namespace
