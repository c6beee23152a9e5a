#include "model/estimation/non_finite.h"

#include <cmath>
#include <cstdint>
#include <cstring>

double nonFinitePosInf = 0.0;
double nonFiniteNegInf = 0.0;
double nonFiniteNaN = 0.0;

namespace {

bool hostIsLittleEndian() {
    const uint16_t one = 1;
    unsigned char firstByte = 0;
    std::memcpy(&firstByte, &one, 1);
    return firstByte == 1;
}

// Assembles a double from its high and low 32-bit words in host byte order.
double fromWords(uint32_t high, uint32_t low) {
    const uint64_t bits = (static_cast<uint64_t>(high) << 32) | low;
    double value = 0.0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

void initNonFinite(std::size_t realSize) {
    (void)realSize;
    nonFinitePosInf = fromWords(0x7FF00000u, 0u);
    nonFiniteNegInf = fromWords(0xFFF00000u, 0u);
    // The little-endian NaN carries the sign bit; it can reach the outputs.
    nonFiniteNaN = hostIsLittleEndian() ? fromWords(0xFFF80000u, 0u) : fromWords(0x7FFFFFFFu, 0xFFFFFFFFu);
}

double atan2SafeSpecial(double y, double x) {
    if (isNaNValue(y) || isNaNValue(x)) return nonFiniteNaN;
    if (isInfinite(y) && isInfinite(x)) {
        const int sy = y > 0.0 ? 1 : -1;
        const int sx = x > 0.0 ? 1 : -1;
        return std::atan2(static_cast<double>(sy), static_cast<double>(sx));
    }
    // A zero denominator gives +-pi/2 by the sign of y, or 0: never pi.
    if (x == 0.0) {
        if (y > 0.0) return 1.5707963267948966;
        if (y < 0.0) return -1.5707963267948966;
        return 0.0;
    }
    return std::atan2(y, x);
}
