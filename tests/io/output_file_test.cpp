#include "io/output_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>
#include <thread>

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

// A FIFO (as /dev/null or a terminal) is written into, never replaced by a
// renamed regular file; a symbolic link keeps pointing at the new contents.
TEST_F(OutputFileTest, ANonRegularTargetIsWrittenDirectlyAndALinkIsFollowed) {
    const std::string fifo = (directory_ / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        const int fd = ::open(fifo.c_str(), O_RDONLY);
        char buffer[256];
        ssize_t n;
        while (fd >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0) received.append(buffer, static_cast<size_t>(n));
        if (fd >= 0) ::close(fd);
    });
    std::string error;
    {
        OutputFile file;
        ASSERT_TRUE(file.open(fifo, error)) << error;
        EXPECT_TRUE(file.isDirect());
        ASSERT_TRUE(file.write("x\n", 2, error));
        ASSERT_TRUE(file.commit(error)) << error;
    }
    reader.join();
    EXPECT_EQ(received, "x\n");
    struct stat status {};
    ASSERT_EQ(::stat(fifo.c_str(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    std::ofstream(path_) << "old\n";
    const std::string link = (directory_ / "link.csv").string();
    std::filesystem::create_symlink(path_, link);
    OutputFile file;
    ASSERT_TRUE(file.open(link, error)) << error;
    ASSERT_TRUE(file.write("new\n", 4, error));
    ASSERT_TRUE(file.commit(error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(contents(), "new\n");
}

}  // namespace
