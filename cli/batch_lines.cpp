#include "cli/batch_lines.h"

#include <cstdio>

#include "cli/options.h"

std::string describeFileJob(const FileJob& job, std::size_t index, std::size_t count) {
    std::string text = "[" + std::to_string(index + 1) + "/" + std::to_string(count) + "] " + job.input.path + ": ";
    char buffer[96];
    switch (job.state) {
        case FileJob::State::Waiting: return text + "waiting";
        case FileJob::State::Running:
            if (job.fraction) {
                std::snprintf(buffer, sizeof buffer, "%3.0f%%, %llu samples", 100.0 * *job.fraction,
                              static_cast<unsigned long long>(job.done));
            } else {
                std::snprintf(buffer, sizeof buffer, "%llu samples", static_cast<unsigned long long>(job.done));
            }
            return text + buffer;
        case FileJob::State::Done: break;
    }
    if (job.fault == FaultKind::None) {
        std::snprintf(buffer, sizeof buffer, "done, %llu samples at the %s build in %.2f s -> ",
                      static_cast<unsigned long long>(job.samples), job.buildTag.c_str(), job.seconds);
        return text + buffer + job.input.outputPath;
    }
    return text + "FAILED (exit " + std::to_string(exitStatusOf(job.fault)) + "): " + job.error;
}

std::string describeBatchEnd(const std::vector<FileJob>& jobs) {
    std::size_t failed = 0;
    std::string names;
    for (const FileJob& job : jobs) {
        if (job.fault == FaultKind::None) continue;
        ++failed;
        names += (names.empty() ? "" : ", ") + job.input.path;
    }
    return std::to_string(jobs.size() - failed) + " of " + std::to_string(jobs.size()) + " files done" +
           (failed > 0 ? "; failed: " + names : "");
}
