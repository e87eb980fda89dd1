// Runs a whole quillbank-cli command line and gives its exit code.

#pragma once

#include "cli/Console.h"

#include <string>
#include <vector>

namespace quillbank::cli {

/**
 * Runs the quillbank-cli command line `arguments` (the program's name left
 * out) on `console`: the help, the version, or the command named first, whose
 * failures become a message on standard error and their exit code. Gives the
 * exit code.
 */
int RunCommandLine(const std::vector<std::string>& arguments, const TConsole& console);

} // namespace quillbank::cli
