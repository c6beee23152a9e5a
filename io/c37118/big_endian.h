// Network-order (big-endian) field access for synchrophasor frames. The
// writer appends to a byte vector; the reader walks a byte span and refuses
// to read past its end instead of trusting a length field.
#ifndef ORVANE_IO_C37118_BIG_ENDIAN_H
#define ORVANE_IO_C37118_BIG_ENDIAN_H

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    void u8(uint8_t v) { out_.push_back(v); }
    void u16(uint16_t v) {
        out_.push_back(static_cast<uint8_t>(v >> 8));
        out_.push_back(static_cast<uint8_t>(v));
    }
    void i16(int16_t v) { u16(static_cast<uint16_t>(v)); }
    void u24(uint32_t v) {
        out_.push_back(static_cast<uint8_t>(v >> 16));
        out_.push_back(static_cast<uint8_t>(v >> 8));
        out_.push_back(static_cast<uint8_t>(v));
    }
    void u32(uint32_t v) {
        u16(static_cast<uint16_t>(v >> 16));
        u16(static_cast<uint16_t>(v));
    }
    void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
    void f32(float v) { u32(std::bit_cast<uint32_t>(v)); }
    void bytes(const uint8_t* data, size_t size) { out_.insert(out_.end(), data, data + size); }
    // A fixed-width text field: truncated or padded with spaces to `width`.
    void paddedText(const std::string& text, size_t width) {
        for (size_t i = 0; i < width; ++i) out_.push_back(i < text.size() ? static_cast<uint8_t>(text[i]) : ' ');
    }
    size_t size() const { return out_.size(); }

private:
    std::vector<uint8_t>& out_;
};

// Every read returns false, and leaves its output alone, when fewer bytes
// remain than the field needs.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

    size_t offset() const { return offset_; }
    size_t remaining() const { return data_.size() - offset_; }

    bool u8(uint8_t& v) {
        if (remaining() < 1) return false;
        v = data_[offset_++];
        return true;
    }
    bool u16(uint16_t& v) {
        if (remaining() < 2) return false;
        v = static_cast<uint16_t>((data_[offset_] << 8) | data_[offset_ + 1]);
        offset_ += 2;
        return true;
    }
    bool i16(int16_t& v) {
        uint16_t raw = 0;
        if (!u16(raw)) return false;
        v = static_cast<int16_t>(raw);
        return true;
    }
    bool u24(uint32_t& v) {
        if (remaining() < 3) return false;
        v = (uint32_t{data_[offset_]} << 16) | (uint32_t{data_[offset_ + 1]} << 8) | data_[offset_ + 2];
        offset_ += 3;
        return true;
    }
    bool u32(uint32_t& v) {
        uint16_t high = 0;
        uint16_t low = 0;
        if (remaining() < 4) return false;
        u16(high);
        u16(low);
        v = (uint32_t{high} << 16) | low;
        return true;
    }
    bool i32(int32_t& v) {
        uint32_t raw = 0;
        if (!u32(raw)) return false;
        v = static_cast<int32_t>(raw);
        return true;
    }
    bool f32(float& v) {
        uint32_t raw = 0;
        if (!u32(raw)) return false;
        v = std::bit_cast<float>(raw);
        return true;
    }
    bool bytes(uint8_t* out, size_t size) {
        if (remaining() < size) return false;
        for (size_t i = 0; i < size; ++i) out[i] = data_[offset_ + i];
        offset_ += size;
        return true;
    }
    // A fixed-width text field with its trailing padding (spaces or NULs)
    // removed; such names are padded, never terminated.
    bool paddedText(std::string& text, size_t width) {
        if (remaining() < width) return false;
        size_t end = width;
        while (end > 0 && (data_[offset_ + end - 1] == ' ' || data_[offset_ + end - 1] == 0)) --end;
        text.assign(reinterpret_cast<const char*>(data_.data() + offset_), end);
        offset_ += width;
        return true;
    }
    // A text field preceded by its one-byte length.
    bool lengthPrefixedText(std::string& text) {
        uint8_t length = 0;
        if (remaining() < 1 || remaining() < 1u + data_[offset_]) return false;
        u8(length);
        text.assign(reinterpret_cast<const char*>(data_.data() + offset_), length);
        offset_ += length;
        return true;
    }

private:
    std::span<const uint8_t> data_;
    size_t offset_ = 0;
};

#endif  // ORVANE_IO_C37118_BIG_ENDIAN_H
