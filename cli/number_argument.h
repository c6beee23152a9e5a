// Numbers given as positional command-line arguments.
#ifndef ORVANE_CLI_NUMBER_ARGUMENT_H
#define ORVANE_CLI_NUMBER_ARGUMENT_H

#include <string>

// Parses the whole text as a double ("nan", "inf", "-0.0" and exponents
// included). False when anything is left over or nothing is a number.
bool parseNumberArgument(const std::string& text, double& value);

#endif  // ORVANE_CLI_NUMBER_ARGUMENT_H
