#include "io/file_kind.h"

#include <cstring>

namespace {

struct Magic {
    const char* bytes;
    std::size_t size;
    const char* phrase;
};

// The formats a user of this tool holds: captures, our own outputs, the
// binary half of a recording, archives.
const Magic kMagics[] = {
    {"\xd4\xc3\xb2\xa1", 4, "a pcap capture, not a text file (read its sampled values with --sv-pcap FILE)"},
    {"\xa1\xb2\xc3\xd4", 4, "a pcap capture, not a text file (read its sampled values with --sv-pcap FILE)"},
    {"\x4d\x3c\xb2\xa1", 4, "a pcap capture, not a text file (read its sampled values with --sv-pcap FILE)"},
    {"\xa1\xb2\x3c\x4d", 4, "a pcap capture, not a text file (read its sampled values with --sv-pcap FILE)"},
    {"\x0a\x0d\x0d\x0a", 4, "a pcapng capture, not a text file (read its sampled values with --sv-pcap FILE)"},
    {"\x89HDF\r\n\x1a\n", 8, "an HDF5 file, not a text file (an output of 'orvane run': draw it with 'orvane plot')"},
    {"\x1f\x8b", 2, "a gzip-compressed file, not a text file (unpack it first)"},
    {"PK\x03\x04", 4, "a zip archive, not a text file (unpack it first)"},
    {"\x89PNG", 4, "a PNG image, not a text file"},
    {"%PDF", 4, "a PDF document, not a text file"},
};

}  // namespace

std::string describeNonText(const uint8_t* bytes, std::size_t size) {
    for (const Magic& m : kMagics) {
        if (size >= m.size && std::memcmp(bytes, m.bytes, m.size) == 0) return m.phrase;
    }
    // Text: no NUL and few control characters. UTF-8 bytes (>= 0x80) pass:
    // names and comments may carry them.
    std::size_t control = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const uint8_t c = bytes[i];
        if (c == 0) return "a binary file, not a text file (it holds NUL bytes)";
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') ++control;
    }
    if (size > 0 && control * 20 > size) return "a binary file, not a text file";
    return "";
}

std::string describeNonTextFile(std::FILE* file) {
    uint8_t head[512];
    const long at = std::ftell(file);
    const std::size_t n = std::fread(head, 1, sizeof head, file);
    if (at >= 0) std::fseek(file, at, SEEK_SET);
    return describeNonText(head, n);
}
