// Reading the golden runs (xz-compressed CSV files in tests/data/golden).
#ifndef ORVANE_TESTS_SUPPORT_GOLDEN_FILES_H
#define ORVANE_TESTS_SUPPORT_GOLDEN_FILES_H

#include <string>
#include <vector>

#include "model/ports.h"

// Decompressed rows of a golden CSV file, header dropped, each split into
// its comma-separated fields. Empty when the file cannot be read.
std::vector<std::vector<std::string>> readGoldenRows(const std::string& fileName);

ModelInputs inputsFromRow(const std::vector<std::string>& row);
ModelOutputs outputsFromRow(const std::vector<std::string>& row);

// How two NaNs compare. The block's NaNs reach every output with their
// sign, so two runs of our own code (roads, instances, the tool) must agree
// on it: Compared. The golden files come from another implementation, whose
// compiler may order the operands of an addition of two NaNs otherwise, so
// the sign of a NaN is not pinned down against them: Free. The payload
// below the sign is not compared (text outputs do not carry it).
enum class NanSign { Compared, Free };

// Bitwise comparison of doubles, NaNs by `nanSign`.
bool sameDouble(double a, double b, NanSign nanSign = NanSign::Compared);

// Describes where two output rows differ; empty when they agree bit for bit
// (NaNs by `nanSign`).
std::string compareOutputs(const ModelOutputs& expected, const ModelOutputs& actual,
                           NanSign nanSign = NanSign::Compared);

#endif  // ORVANE_TESTS_SUPPORT_GOLDEN_FILES_H
