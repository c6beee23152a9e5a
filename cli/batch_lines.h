// The lines `orvane run` prints for a batch of files run in their own
// processes.
#ifndef ORVANE_CLI_BATCH_LINES_H
#define ORVANE_CLI_BATCH_LINES_H

#include <cstddef>
#include <string>
#include <vector>

#include "stream/file_batch.h"

// A job's line for the batch display: "[i/n] PATH: " then waiting, its
// progress, done with its figures and output, or FAILED with its exit
// status and error.
std::string describeFileJob(const FileJob& job, std::size_t index, std::size_t count);

// "k of n files done", with the failed inputs named.
std::string describeBatchEnd(const std::vector<FileJob>& jobs);

#endif  // ORVANE_CLI_BATCH_LINES_H
