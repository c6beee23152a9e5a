#include "io/output_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

std::unique_ptr<OutputRows> openOutputRows(const std::string& path, std::string& error) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot read '" + path + "': " + std::strerror(errno);
        return nullptr;
    }
    char signature[8] = {};
    const std::size_t got = std::fread(signature, 1, sizeof signature, file);
    std::fclose(file);
    static const char kHdf5Signature[8] = {'\x89', 'H', 'D', 'F', '\r', '\n', '\x1a', '\n'};
    if (got == sizeof signature && std::memcmp(signature, kHdf5Signature, sizeof signature) == 0) {
        return openHdf5OutputRows(path, error);
    }
    return openCsvOutputRows(path, error);
}
