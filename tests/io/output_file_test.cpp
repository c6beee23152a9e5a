#include "io/output_file.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory_ = std::filesystem::temp_directory_path() /
                     ("orvane_output_" + std::to_string(getpid()) + "_" +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(directory_);
        path_ = (directory_ / "out.csv").string();
    }
    void TearDown() override { std::filesystem::remove_all(directory_); }

    std::string contents() const {
        std::ifstream in(path_, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }
    size_t entries() const {
        return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(directory_), {}));
    }

    std::filesystem::path directory_;
    std::string path_;
};

TEST_F(OutputFileTest, NothingAppearsUntilCommit) {
    std::string error;
    OutputFile file;
    ASSERT_TRUE(file.open(path_, error)) << error;
    ASSERT_TRUE(file.write("a,b\n", 4, error));
    EXPECT_FALSE(std::filesystem::exists(path_));
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_EQ(contents(), "a,b\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, AbandonedOutputLeavesNoFileAndKeepsTheOldOne) {
    std::ofstream(path_) << "old\n";
    {
        std::string error;
        OutputFile file;
        ASSERT_TRUE(file.open(path_, error)) << error;
        // More than the buffer, so part of it has reached the disk.
        const std::string block(3 << 20, 'x');
        ASSERT_TRUE(file.write(block.data(), block.size(), error));
    }
    EXPECT_EQ(contents(), "old\n");
    EXPECT_EQ(entries(), 1u);
}

TEST_F(OutputFileTest, UncreatableOutputIsReported) {
    std::string error;
    OutputFile file;
    EXPECT_FALSE(file.open((directory_ / "no" / "such" / "dir.csv").string(), error));
    EXPECT_NE(error.find("cannot create output"), std::string::npos) << error;
    EXPECT_FALSE(file.open(directory_.string(), error));
    EXPECT_NE(error.find("it is a directory"), std::string::npos) << error;
    EXPECT_EQ(entries(), 0u);
}

}  // namespace
