// What a file is when it is not the text a reader expected: its first bytes
// name the formats people hand the tool by mistake (a capture given as a
// sample CSV, an HDF5 output given as an input), and say which option reads
// it. One place, so that every reader of text says it the same way.
#ifndef ORVANE_IO_FILE_KIND_H
#define ORVANE_IO_FILE_KIND_H

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <string>

// "" when the bytes look like text (printable ASCII or UTF-8, tabs, line
// ends); otherwise a phrase such as "a pcap capture, not a text file (read
// it with --sv-pcap FILE)".
std::string describeNonText(const uint8_t* bytes, std::size_t size);

// The same for the first bytes of the open file `file` (its position is
// restored).
std::string describeNonTextFile(std::FILE* file);

#endif  // ORVANE_IO_FILE_KIND_H
