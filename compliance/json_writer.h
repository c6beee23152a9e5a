// A small streaming JSON writer: objects, arrays, strings, numbers (NaN and
// infinities become null, which JSON can carry), booleans. It keeps commas
// and nesting right; the caller keeps the structure meaningful.
#ifndef ORVANE_COMPLIANCE_JSON_WRITER_H
#define ORVANE_COMPLIANCE_JSON_WRITER_H

#include <string>
#include <vector>

class JsonWriter {
public:
    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    // The key of the next value inside an object.
    JsonWriter& key(const std::string& name);
    void value(const std::string& text);
    void value(const char* text);
    void value(double number);
    void value(int number);
    void value(long long number);
    void value(bool flag);
    void null();

    // Shorthand for key(name) followed by value(v).
    template <typename T>
    void field(const std::string& name, const T& v) {
        key(name);
        value(v);
    }

    const std::string& text() const { return text_; }

private:
    void separate();

    std::string text_;
    std::vector<bool> first_;  // per open container: no element written yet
    bool afterKey_ = false;
};

// `text` with quotes, backslashes and control characters escaped, quoted.
std::string jsonQuote(const std::string& text);

#endif  // ORVANE_COMPLIANCE_JSON_WRITER_H
