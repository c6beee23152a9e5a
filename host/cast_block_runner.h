// Runs the cast deliverable (Narrow32_sf) through mexFunction on a list of
// values: one sample hit of its inherited rate per value.
#ifndef ORVANE_HOST_CAST_BLOCK_RUNNER_H
#define ORVANE_HOST_CAST_BLOCK_RUNNER_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/deliverable.h"

// False, with `error` set, when the block refuses or does not have the
// cast block's shape (one double input, one int32 output).
bool runCastBlock(const std::shared_ptr<const Deliverable>& deliverable, const std::vector<double>& values,
                  std::vector<int32_t>& results, std::string& error);

#endif  // ORVANE_HOST_CAST_BLOCK_RUNNER_H
