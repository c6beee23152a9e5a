// A COMTRADE file that cannot be read: what was wrong and where. `line` is
// 1-based for text (0 when the fault is not on one line); binary data gives
// the record instead and says so in the text.
#ifndef ORVANE_IO_COMTRADE_COMTRADE_ERROR_H
#define ORVANE_IO_COMTRADE_COMTRADE_ERROR_H

#include <stdexcept>
#include <string>

class ComtradeError : public std::runtime_error {
public:
    // `field` is 1-based; 0 when the fault concerns the whole line.
    ComtradeError(const std::string& file, int line, int field, const std::string& fieldName,
                  const std::string& what)
        : std::runtime_error(format(file, line, field, fieldName, what)), file_(file), line_(line), field_(field) {}

    const std::string& file() const { return file_; }
    int line() const { return line_; }
    int field() const { return field_; }

private:
    static std::string format(const std::string& file, int line, int field, const std::string& fieldName,
                              const std::string& what) {
        std::string text = file;
        if (line > 0) text += ":" + std::to_string(line);
        if (field > 0) text += ": field " + std::to_string(field);
        if (!fieldName.empty()) text += (field > 0 ? " (" + fieldName + ")" : ": " + fieldName);
        return text + ": " + what;
    }

    std::string file_;
    int line_;
    int field_;
};

#endif  // ORVANE_IO_COMTRADE_COMTRADE_ERROR_H
