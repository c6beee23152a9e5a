#include "stream/model_road.h"

#include <filesystem>
#include <system_error>

#include "host/in_process_driver.h"
#include "host/mex_driver.h"

namespace {

const ModelEntry* entryByTag(const std::string& tag) {
    if (tag == "10k") return &model_10k::kModelEntry;
    if (tag == "14p4k") return &model_14p4k::kModelEntry;
    if (tag == "4k") return &model_4k::kModelEntry;
    return nullptr;
}

}  // namespace

const SampleRateBuild* buildByTag(const std::string& tag) {
    const ModelEntry* entry = entryByTag(tag);
    return entry == nullptr ? nullptr : entry->build;
}

std::string builtDeliverablePath(const std::string& fileName) {
    std::error_code failure;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", failure);
    if (failure) return fileName;
    return (executable.parent_path() / fileName).string();
}

std::unique_ptr<BlockDriver> makeDriver(const DriverChoice& choice, std::string& error) {
    const ModelEntry* entry = entryByTag(choice.buildTag);
    if (entry == nullptr) {
        error = "unknown build '" + choice.buildTag + "' (expected 10k, 14p4k or 4k)";
        return nullptr;
    }
    if (choice.inProcess) {
        return std::make_unique<InProcessDriver>(entry->installMethods, entry->build->sfunctionName);
    }
    // The shipping road: the deliverable loaded from its file and driven
    // through mexFunction alone.
    const std::string path = choice.deliverablePath.empty()
                                 ? builtDeliverablePath(std::string(entry->build->sfunctionName) + ".mexa64")
                                 : choice.deliverablePath;
    return MexDriver::open(path, error);
}
