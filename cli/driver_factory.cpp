#include "cli/driver_factory.h"

#include "host/in_process_driver.h"
#include "model/model_entry.h"

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

std::unique_ptr<BlockDriver> makeDriver(const DriverChoice& choice, std::string& error) {
    const ModelEntry* entry = entryByTag(choice.buildTag);
    if (entry == nullptr) {
        error = "unknown build '" + choice.buildTag + "' (expected 10k, 14p4k or 4k)";
        return nullptr;
    }
    // Until the deliverables can be loaded, every road runs in-process.
    return std::make_unique<InProcessDriver>(entry->installMethods, entry->build->sfunctionName);
}
