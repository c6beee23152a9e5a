// Runs the built orvane tool as a user would and captures what it says:
// every test that runs the tool goes through here.
#ifndef ORVANE_TESTS_SUPPORT_TOOL_PROCESS_H
#define ORVANE_TESTS_SUPPORT_TOOL_PROCESS_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct ToolResult {
    int status = -1;
    std::string out;
    std::string err;
    std::string all() const { return out + err; }
};

inline std::string readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::string toolPath() {
    const char* buildDir = std::getenv("ORVANE_BUILD_DIR");
    return std::string(buildDir == nullptr ? "build" : buildDir) + "/orvane";
}

// A scratch folder for one test, removed afterwards.
class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& tag)
        : path_(std::filesystem::temp_directory_path() / ("orvane_test_" + tag + "_" + std::to_string(getpid()))) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchDirectory() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// `arguments` is shell text after "orvane".
inline ToolResult runTool(const std::string& arguments, const ScratchDirectory& scratch) {
    const std::string out = scratch.file("tool.stdout");
    const std::string err = scratch.file("tool.stderr");
    const std::string command = "'" + toolPath() + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
    const int raw = std::system(command.c_str());
    ToolResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readWholeFile(out);
    result.err = readWholeFile(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

// The same in a scratch folder of its own.
inline ToolResult runTool(const std::string& arguments) {
    const ScratchDirectory scratch("tool");
    return runTool(arguments, scratch);
}

#endif  // ORVANE_TESTS_SUPPORT_TOOL_PROCESS_H
