#include "io/distinct_files.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>

namespace {

struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    std::string name;  // only for a file that does not exist yet
    bool characterDevice = false;
    bool operator==(const Identity& other) const {
        return device == other.device && inode == other.inode && name == other.name;
    }
};

std::optional<Identity> identityOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        return Identity{status.st_dev, status.st_ino, "", S_ISCHR(status.st_mode)};
    }
    const std::filesystem::path p(path);
    const std::string folder = p.has_parent_path() ? p.parent_path().string() : ".";
    if (::stat(folder.c_str(), &status) != 0) return std::nullopt;  // cannot be created anyway
    return Identity{status.st_dev, status.st_ino, p.filename().string(), false};
}

bool isStandardStream(const std::string& path) { return path.empty() || path == "-"; }

}  // namespace

bool checkDistinctFiles(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                        std::string& error) {
    std::vector<std::optional<Identity>> outputIds;
    for (const std::string& output : outputs) {
        outputIds.push_back(isStandardStream(output) ? std::nullopt : identityOf(output));
    }
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        if (!outputIds[o]) continue;
        for (const std::string& input : inputs) {
            if (isStandardStream(input)) continue;
            const std::optional<Identity> in = identityOf(input);
            if (in && in->name.empty() && *in == *outputIds[o]) {
                error = "output '" + outputs[o] + "' is the input '" + input +
                        "'; writing it would destroy the input (give another output name)";
                return false;
            }
        }
        for (std::size_t other = 0; other < o; ++other) {
            if (outputIds[other] && *outputIds[other] == *outputIds[o] && !outputIds[o]->characterDevice) {
                error = "outputs '" + outputs[other] + "' and '" + outputs[o] +
                        "' are the same file; one would overwrite the other (give two names)";
                return false;
            }
        }
    }
    return true;
}
