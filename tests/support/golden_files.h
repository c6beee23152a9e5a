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

// Bitwise comparison of doubles, any two NaNs equal.
bool sameDouble(double a, double b);

// Describes where two output rows differ; empty when they agree bit for bit.
std::string compareOutputs(const ModelOutputs& expected, const ModelOutputs& actual);

#endif  // ORVANE_TESTS_SUPPORT_GOLDEN_FILES_H
