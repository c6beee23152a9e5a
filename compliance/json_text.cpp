#include "compliance/json_text.h"

#include <cmath>
#include <cstdio>

namespace {

void append(const Json& j, std::string& out) {
    switch (j.type()) {
        case Json::value_t::object: {
            out += '{';
            bool first = true;
            for (auto it = j.begin(); it != j.end(); ++it) {
                if (!first) out += ',';
                first = false;
                out += jsonQuote(it.key());
                out += ':';
                append(it.value(), out);
            }
            out += '}';
            return;
        }
        case Json::value_t::array: {
            out += '[';
            bool first = true;
            for (const Json& element : j) {
                if (!first) out += ',';
                first = false;
                append(element, out);
            }
            out += ']';
            return;
        }
        case Json::value_t::string: out += jsonQuote(j.get_ref<const std::string&>()); return;
        case Json::value_t::boolean: out += j.get<bool>() ? "true" : "false"; return;
        case Json::value_t::number_integer: out += std::to_string(j.get<int64_t>()); return;
        case Json::value_t::number_unsigned: out += std::to_string(j.get<uint64_t>()); return;
        case Json::value_t::number_float: {
            const double number = j.get<double>();
            if (!std::isfinite(number)) {
                out += "null";
                return;
            }
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", number);
            out += text;
            return;
        }
        default: out += "null"; return;
    }
}

}  // namespace

std::string jsonText(const Json& document) {
    std::string out;
    append(document, out);
    return out;
}

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
