// Several instances of one deliverable in one process share nothing but the
// non-finite constants: two blocks stepped in turn on different signals give
// exactly what each gives alone.
#include <string>

#include <gtest/gtest.h>

#include "host/mex_driver.h"
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
            const std::string diff = compareOutputs(outputsFromRow(outputs[b][i]), out);
            ASSERT_TRUE(diff.empty()) << stems[b] << " sample " << i + 1 << ": " << diff;
        }
    }
    for (BlockDriver* block : blocks) block->finish();
}

}  // namespace
