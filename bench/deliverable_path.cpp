#include "bench/deliverable_path.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string benchDeliverablePath(const std::string& sfunctionName) {
    const std::string file = sfunctionName + ".mexa64";
    const char* chosen = std::getenv("ORVANE_BENCH_DELIVERABLES");
    if (chosen != nullptr && chosen[0] != '\0') return (std::filesystem::path(chosen) / file).string();
    std::error_code failure;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", failure);
    if (failure) return file;
    return (executable.parent_path() / file).string();
}
