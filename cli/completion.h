// The bash completion script of the tool, written from its own option
// tables, so that it names every command and option the parser knows.
#ifndef ORVANE_CLI_COMPLETION_H
#define ORVANE_CLI_COMPLETION_H

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "cli/options.h"

// A bash script defining _orvane and `complete -F _orvane orvane`: after
// the tool's name, its commands; after a command, that command's options;
// after an option whose value names a file (FILE, PATH, ...), file names,
// after one naming a folder (DIR), folders; after any other option taking
// a value, nothing; a command that takes free arguments gets file names.
std::string bashCompletion(const CLI::App& root, const std::vector<Command>& commands);

#endif
