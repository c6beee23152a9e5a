#include "stream/model_driver.h"

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
    // Beside the tool in the build folder; ../lib/orvane beside bin/ in an
    // installed or unpacked tree, wherever its prefix lies. Missing from
    // both: the path beside the tool, so that the load error names it.
    const std::filesystem::path beside = executable.parent_path() / fileName;
    const std::filesystem::path installed = executable.parent_path().parent_path() / "lib" / "orvane" / fileName;
    if (!std::filesystem::exists(beside, failure) && std::filesystem::exists(installed, failure)) {
        return installed.string();
    }
    return beside.string();
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

ReportQualityTracker qualityTrackerFor(const SampleRateBuild& build) {
    // Every boxcar of the model holds at most its delay line of L samples.
    // Behind the phasor's cascade of two nominal periods (the tracker adds
    // those once it knows the nominal frequency) the frequency smoother and
    // the ROCOF stage hold at most L samples each: a report is free of the
    // zeros the filters started with once 2/f0 + 2 L/Fs have passed.
    return ReportQualityTracker(build.fs, 2.0 * build.delayLineLength / build.fs);
}

ReportQualityTracker qualityTrackerFor(double sampleRate) {
    for (const char* tag : {"10k", "14p4k", "4k"}) {
        const SampleRateBuild* build = buildByTag(tag);
        if (build->fs == sampleRate) return qualityTrackerFor(*build);
    }
    // Delay lines of Fs/25 + 2 samples, as every build has.
    const double delayLine = sampleRate / 25.0 + 2.0;
    return ReportQualityTracker(sampleRate, 2.0 * delayLine / sampleRate);
}
