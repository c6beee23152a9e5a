// Several instances of one deliverable in one process share nothing but the
// non-finite constants: two blocks stepped in turn on different signals give
// exactly what each gives alone; a block restarted mid-run gives exactly
// what a fresh one gives.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "host/in_process_driver.h"
#include "host/mex_driver.h"
#include "model/model_entry.h"
#include "tests/support/deliverables.h"
#include "tests/support/golden_files.h"

namespace {

TEST(IndependentInstancesTest, InterleavedBlocksGiveTheirGoldenOutputs) {
    const char* stems[2] = {"steady50_10k", "stress_10k"};
    std::vector<std::vector<std::string>> inputs[2];
    std::vector<std::vector<std::string>> outputs[2];
    for (int b = 0; b < 2; ++b) {
        inputs[b] = readGoldenRows(std::string(stems[b]) + ".in.csv");
        outputs[b] = readGoldenRows(std::string(stems[b]) + ".out.csv");
        ASSERT_FALSE(inputs[b].empty()) << "cannot read " << stems[b];
    }

    std::string error;
    auto first = MexDriver::open(deliverablePath("Orvane_10kHz_sf"), error);
    ASSERT_NE(first, nullptr) << error;
    auto second = MexDriver::open(deliverablePath("Orvane_10kHz_sf"), error);
    ASSERT_NE(second, nullptr) << error;
    BlockDriver* blocks[2] = {first.get(), second.get()};
    for (BlockDriver* block : blocks) ASSERT_TRUE(block->start()) << block->error();

    const std::size_t samples = std::min(inputs[0].size(), inputs[1].size());
    for (std::size_t i = 0; i < samples; ++i) {
        for (int b = 0; b < 2; ++b) {
            ModelOutputs out;
            ASSERT_TRUE(blocks[b]->step(inputsFromRow(inputs[b][i]), out)) << blocks[b]->error();
            const std::string diff = compareOutputs(outputsFromRow(outputs[b][i]), out, NanSign::Free);
            ASSERT_TRUE(diff.empty()) << stems[b] << " sample " << i + 1 << ": " << diff;
        }
    }
    for (BlockDriver* block : blocks) block->finish();
}

// The restart a sampled-values stream makes after a long gap: whatever the
// block went through before, it starts again as at the run's start, on the
// shipping road and in-process.
TEST(IndependentInstancesTest, RestartedBlockGivesTheGoldenOutputsOfAFreshOne) {
    const auto before = readGoldenRows("stress_4k.in.csv");
    const auto inputs = readGoldenRows("steady50_4k.in.csv");
    const auto outputs = readGoldenRows("steady50_4k.out.csv");
    ASSERT_FALSE(before.empty() || inputs.empty() || outputs.empty());
    std::string error;
    std::unique_ptr<BlockDriver> roads[2] = {MexDriver::open(deliverablePath("Orvane_4kHz_sf"), error),
                                             std::make_unique<InProcessDriver>(model_4k::kModelEntry.installMethods,
                                                                               model_4k::kModelEntry.build->sfunctionName)};
    ASSERT_NE(roads[0], nullptr) << error;
    for (auto& block : roads) {
        ASSERT_TRUE(block->start()) << block->error();
        ModelOutputs out;
        for (std::size_t i = 0; i < before.size() / 2; ++i) ASSERT_TRUE(block->step(inputsFromRow(before[i]), out));
        ASSERT_TRUE(block->restart()) << block->error();
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            ASSERT_TRUE(block->step(inputsFromRow(inputs[i]), out)) << block->error();
            const std::string diff = compareOutputs(outputsFromRow(outputs[i]), out, NanSign::Free);
            ASSERT_TRUE(diff.empty()) << "sample " << i + 1 << ": " << diff;
        }
        block->finish();
    }
}

}  // namespace
