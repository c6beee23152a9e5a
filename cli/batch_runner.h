// `orvane run` on COMTRADE recordings and on several input files at once:
// one model instance per file, each in its own process (a file that fails,
// even one that crashes the block, never stops or corrupts the others), up
// to --jobs N of them at a time, one progress line per file and a summary.
#ifndef ORVANE_CLI_BATCH_RUNNER_H
#define ORVANE_CLI_BATCH_RUNNER_H

#include <string>
#include <vector>

// True when the arguments ask for what this runner adds: --comtrade,
// --jobs, --output-dir or more than one input file.
bool isBatchRun(const std::vector<std::string>& args);

// Runs `orvane run` with those arguments; returns the exit status (0 every
// file done, else the worst status of a failed file: 2 bad input or usage,
// 1 the block or an output failed).
int runBatch(const std::vector<std::string>& args);

// The help lines of the options this runner adds.
extern const char* const kBatchRunHelp;

#endif  // ORVANE_CLI_BATCH_RUNNER_H
