// JSON text of a document built with nlohmann-json, with the number format
// the reports promise: every double with 17 significant digits (%.17g, which
// reads back to the same bits), NaN and infinities as null, integers as
// integers. nlohmann's own dump writes the shortest text that reads back
// ("0.1" where %.17g gives "0.10000000000000001") and "1.0" for a whole
// double, which would change every file already written; keys keep their
// insertion order (ordered_json).
#ifndef ORVANE_COMPLIANCE_JSON_TEXT_H
#define ORVANE_COMPLIANCE_JSON_TEXT_H

#include <nlohmann/json.hpp>

#include <string>

using Json = nlohmann::ordered_json;

// Compact text, no white space.
std::string jsonText(const Json& document);

// `text` with quotes, backslashes and control characters escaped, quoted.
std::string jsonQuote(const std::string& text);

#endif  // ORVANE_COMPLIANCE_JSON_TEXT_H
