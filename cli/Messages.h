// The "quillbank-cli COMMAND: " start of every message on standard error, and warnings.

#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace quillbank::cli {

/// Names the command that runs: every message on standard error starts with
/// "quillbank-cli COMMAND: " from then on.
void SetCommandName(std::string_view name);

/// "quillbank-cli COMMAND: ", or "quillbank-cli: " before a command runs.
std::string MessagePrefix();

/// Prints "quillbank-cli COMMAND: warning: `text`" on `err`, standard error.
void Warn(std::ostream& err, const std::string& text);

} // namespace quillbank::cli
