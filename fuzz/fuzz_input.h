// Reads typed values off a fuzzer's byte string, front to back. When the
// bytes run out every read yields zero, so a target never reads past its
// input and short inputs still make a (short) case.
#ifndef ORVANE_FUZZ_FUZZ_INPUT_H
#define ORVANE_FUZZ_FUZZ_INPUT_H

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t remaining() const { return size_ - pos_; }

    uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    bool flag() { return (byte() & 1) != 0; }

    template <typename T>
    T raw() {
        T value{};
        unsigned char bytes[sizeof(T)] = {};
        for (std::size_t i = 0; i < sizeof(T); ++i) bytes[i] = byte();
        std::memcpy(&value, bytes, sizeof(T));
        return value;
    }

    // 0..count-1.
    std::size_t below(std::size_t count) { return count == 0 ? 0 : raw<uint16_t>() % count; }

    // A double that is often one of the values where arithmetic breaks
    // (non-finite, extreme, subnormal, the int32 and +-2e9 edges), sometimes
    // any bit pattern, otherwise a plausible value around `typical`.
    double number(double typical) {
        static constexpr double kEdges[] = {
            0.0, -0.0, 1.0, -1.0,
            std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::quiet_NaN(),
            std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
            DBL_MAX, -DBL_MAX, DBL_MIN, -DBL_MIN, std::numeric_limits<double>::denorm_min(),
            1e300, -1e300, 1e-300, 2e9, -2e9, 2e9 + 0.5, -2e9 - 0.5,
            2147483647.0, 2147483648.0, -2147483648.0, -2147483649.0, 4294967296.0,
            1e15, 9007199254740993.0, 25.0, 35.714285714285715, 50.0, 60.0, 1e-9, 0.999999,
        };
        const uint8_t choice = byte();
        if (choice < 48) return kEdges[choice % (sizeof kEdges / sizeof kEdges[0])];
        if (choice < 80) return raw<double>();
        const double spread = static_cast<double>(raw<int16_t>()) / 256.0;  // +-128
        return typical + spread * (choice & 0x10 ? typical : 1.0);
    }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

#endif  // ORVANE_FUZZ_FUZZ_INPUT_H
