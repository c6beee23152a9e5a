#include "compliance/json_writer.h"

#include <cmath>
#include <cstdio>

std::string jsonQuote(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    out += escaped;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

void JsonWriter::separate() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!first_.empty()) {
        if (!first_.back()) text_ += ',';
        first_.back() = false;
    }
}

void JsonWriter::beginObject() {
    separate();
    text_ += '{';
    first_.push_back(true);
}

void JsonWriter::endObject() {
    first_.pop_back();
    text_ += '}';
}

void JsonWriter::beginArray() {
    separate();
    text_ += '[';
    first_.push_back(true);
}

void JsonWriter::endArray() {
    first_.pop_back();
    text_ += ']';
}

JsonWriter& JsonWriter::key(const std::string& name) {
    separate();
    text_ += jsonQuote(name);
    text_ += ':';
    afterKey_ = true;
    return *this;
}

void JsonWriter::value(const std::string& text) {
    separate();
    text_ += jsonQuote(text);
}

void JsonWriter::value(const char* text) { value(std::string(text)); }

void JsonWriter::value(double number) {
    separate();
    if (!std::isfinite(number)) {
        text_ += "null";
        return;
    }
    // Enough digits to give back the double exactly.
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", number);
    text_ += text;
}

void JsonWriter::value(int number) { value(static_cast<long long>(number)); }

void JsonWriter::value(long long number) {
    separate();
    text_ += std::to_string(number);
}

void JsonWriter::value(bool flag) {
    separate();
    text_ += flag ? "true" : "false";
}

void JsonWriter::null() {
    separate();
    text_ += "null";
}
