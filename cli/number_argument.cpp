#include "cli/number_argument.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

bool parseNumberArgument(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size()) return false;
    // A finite number too large for a double ("1e999") is refused rather
    // than silently read as infinity; "inf" itself parses without ERANGE.
    if (errno == ERANGE && std::isinf(parsed)) return false;
    value = parsed;
    return true;
}
