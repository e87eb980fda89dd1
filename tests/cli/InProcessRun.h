// Runs a quillbank-cli command line inside the test's process, as the built program would run it.

#pragma once

#include "tests/cli/CliRun.h"

#include <string>
#include <vector>

namespace quillbank::testing {

/**
 * Runs the quillbank-cli command line `arguments` in this process, as the
 * built program runs it: in this process's environment (so HOME is the
 * test's fake home), with `input` on its standard input (not a terminal),
 * and its outputs caught. A run the core ends early gives the exit code it
 * ends with.
 */
TCliResult RunCliInProcess(const std::vector<std::string>& arguments, const std::string& input = "");

} // namespace quillbank::testing
