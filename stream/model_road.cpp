#include "stream/model_road.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/in_process_driver.h"
#include "host/mex_driver.h"
#include "io/input_checks.h"

const ModelEntry* entryByTag(const std::string& tag) {
    if (tag == "10k") return &model_10k::kModelEntry;
    if (tag == "14p4k") return &model_14p4k::kModelEntry;
    if (tag == "4k") return &model_4k::kModelEntry;
    return nullptr;
}

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

bool checkDriverRate(BlockDriver& driver, const DriverChoice& choice, const SampleRateBuild& build,
                     std::string& error) {
    auto* mex = dynamic_cast<MexDriver*>(&driver);
    if (mex == nullptr) return true;  // the model linked in is the build itself
    const double period = ssGetSampleTime(mex->block().simStruct(), 0);
    const std::string which =
        choice.deliverablePath.empty() ? "the build's deliverable" : "deliverable '" + choice.deliverablePath + "'";
    error = deliverableAgainstBuildError(which, period, build.fs);
    if (error.empty()) return true;
    driver.finish();
    return false;
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
