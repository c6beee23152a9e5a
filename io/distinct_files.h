// A run must not write over what it reads, nor write two outputs into one
// file: the later write would destroy the earlier, or the output would be
// renamed over an input still being read. Files are compared by device and
// inode, so "x.csv", "./x.csv", a hard link and a symbolic link to it are
// all the same file; a name that does not exist yet is compared by its
// folder's identity and its own name.
#ifndef ORVANE_IO_DISTINCT_FILES_H
#define ORVANE_IO_DISTINCT_FILES_H

#include <string>
#include <vector>

// False, with `error` naming both paths, when an output is the same file as
// an input or as another output. Empty names and "-" (standard streams) are
// skipped, and so is a character device shared by two outputs (writing
// twice into /dev/null or a terminal destroys nothing).
bool checkDistinctFiles(const std::vector<std::string>& inputs, const std::vector<std::string>& outputs,
                        std::string& error);

#endif  // ORVANE_IO_DISTINCT_FILES_H
