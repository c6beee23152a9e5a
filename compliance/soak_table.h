// The soak's printed table: what runs, the column heads, one row per
// interval.
#ifndef ORVANE_COMPLIANCE_SOAK_TABLE_H
#define ORVANE_COMPLIANCE_SOAK_TABLE_H

#include <cstddef>
#include <string>

#include "compliance/soak.h"

// The run described in two lines, a blank line and the column heads.
// `road` says how the model is called ("via mexFunction" ...), `timeBase`
// names the time base as the user gave it.
std::string soakHeading(const SoakSettings& settings, uint64_t samples, const std::string& model,
                        const std::string& road, const std::string& timeBase);
// Row `index` (from 0), with its line end.
std::string soakRow(std::size_t index, const SoakInterval& interval);

#endif  // ORVANE_COMPLIANCE_SOAK_TABLE_H
