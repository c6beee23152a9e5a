#include "io/csv/general17.h"

#include <bit>
#include <cstdint>

namespace {

using u128 = unsigned __int128;

constexpr int kDigits = 17;
constexpr uint64_t kLowest17 = 10000000000000000ULL;   // 10^16
constexpr uint64_t kBeyond17 = 100000000000000000ULL;  // 10^17
// Scales up to 10^22 keep m * 10^s below 2^127 for a 53-bit m.
constexpr int kLargestScale = 22;

constexpr auto kPowersOfTen = [] {
    struct Table {
        u128 power[kLargestScale + 1];
    } t{};
    u128 p = 1;
    for (int i = 0; i <= kLargestScale; ++i) {
        t.power[i] = p;
        p *= 10;
    }
    return t;
}();

// m * 2^e * 10^s, truncated and rounded to the nearest integer (ties to
// even, as printf rounds in the default rounding mode); false when it does
// not fit.
bool scaled(uint64_t m, int e, int s, uint64_t& truncated, uint64_t& rounded) {
    if (s < 0 || s > kLargestScale) return false;
    const u128 product = static_cast<u128>(m) * kPowersOfTen.power[s];
    const u128 limit = static_cast<u128>(kBeyond17) * 10;
    if (e >= 0) {
        if (e > 10) return false;
        const u128 shifted = product << e;
        if (shifted >= limit) return false;
        truncated = rounded = static_cast<uint64_t>(shifted);
        return true;
    }
    const int k = -e;
    if (k >= 127) return false;
    const u128 quotient = product >> k;
    const u128 remainder = product & ((static_cast<u128>(1) << k) - 1);
    const u128 half = static_cast<u128>(1) << (k - 1);
    u128 up = quotient;
    if (remainder > half || (remainder == half && (quotient & 1) != 0)) up += 1;
    if (up >= limit) return false;
    truncated = static_cast<uint64_t>(quotient);
    rounded = static_cast<uint64_t>(up);
    return true;
}

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// The `count` decimal digits of v (leading zeros included) ending at `end`,
// two at a time.
void writeDigitRun(char* end, uint32_t v, int count) {
    while (count >= 2) {
        const uint32_t pair = v % 100;
        v /= 100;
        end -= 2;
        end[0] = kDigitPairs[2 * pair];
        end[1] = kDigitPairs[2 * pair + 1];
        count -= 2;
    }
    if (count == 1) *--end = static_cast<char>('0' + v % 10);
}

// The 17 digits of n (10^16 <= n < 10^17): its top nine and its low eight
// digits as two independent runs.
void writeDigits(char* digits, uint64_t n) {
    const uint64_t high = n / 100000000;
    const uint32_t low = static_cast<uint32_t>(n - high * 100000000);
    writeDigitRun(digits + 9, static_cast<uint32_t>(high), 9);
    writeDigitRun(digits + 17, low, 8);
}

}  // namespace

char* formatGeneral17(char* out, double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0 || biased == 0x7ff) return nullptr;
    const uint64_t m = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{1} << 52);
    const int e = biased - 1075;  // |value| = m * 2^e

    // The decimal exponent x of the value, 10^x <= |value| < 10^(x+1), is
    // floor(b*log10(2)) or one more, b being the binary exponent: t, the
    // value scaled by 10^(16 - x) and truncated, has 17 digits for the right
    // one. The 17 digits are that scaled value rounded; when the rounding
    // carries to 10^17 the text is the next power of ten, as printf's own
    // rounding puts it.
    const int binaryExponent = biased - 1023;
    int x = ((binaryExponent * 78913) >> 18) + 1;
    if (x > kDigits - 1) x = kDigits - 1;
    uint64_t n = 0;
    for (int attempt = 0;; ++attempt) {
        uint64_t truncated = 0;
        if (attempt == 3 || !scaled(m, e, kDigits - 1 - x, truncated, n)) return nullptr;
        if (truncated < kLowest17) {
            --x;
        } else if (truncated >= kBeyond17) {
            ++x;
        } else {
            break;
        }
    }
    if (n == kBeyond17) {
        n = kLowest17;
        ++x;
    }

    char digits[kDigits];
    writeDigits(digits, n);
    int length = kDigits;
    while (length > 1 && digits[length - 1] == '0') --length;  // %g drops trailing zeros

    char* p = out;
    if (negative) *p++ = '-';
    if (x < -4 || x >= kDigits) {
        *p++ = digits[0];
        if (length > 1) {
            *p++ = '.';
            for (int i = 1; i < length; ++i) *p++ = digits[i];
        }
        *p++ = 'e';
        *p++ = x < 0 ? '-' : '+';
        const int magnitude = x < 0 ? -x : x;
        if (magnitude >= 100) *p++ = static_cast<char>('0' + magnitude / 100);
        *p++ = static_cast<char>('0' + magnitude / 10 % 10);
        *p++ = static_cast<char>('0' + magnitude % 10);
    } else if (x >= 0) {
        for (int i = 0; i <= x; ++i) *p++ = i < length ? digits[i] : '0';
        if (length > x + 1) {
            *p++ = '.';
            for (int i = x + 1; i < length; ++i) *p++ = digits[i];
        }
    } else {
        *p++ = '0';
        *p++ = '.';
        for (int i = 0; i < -x - 1; ++i) *p++ = '0';
        for (int i = 0; i < length; ++i) *p++ = digits[i];
    }
    return p;
}
