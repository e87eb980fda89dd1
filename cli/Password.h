#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillbank::cli {

class TOptions;

/**
 * The password the command line points at, never the password itself (the
 * process list shows every argument): the first line of the file named by
 * "--password-file" (with a warning when others may read it), of standard
 * input with "--password-stdin", or of what the shell command of
 * "--password-command" prints; the line end is not part of it. Nothing when
 * none of them is given.
 *
 * Throws EUsageError when more than one is given or the file cannot be
 * read, and ECommandError with ExitPassword when the line is empty or the
 * command fails.
 */
std::optional<std::string> ReadGivenPassword(const TOptions& options);

/// Whether standard input is a terminal, where a password can be asked for.
bool CanPromptForPassword();

/// Shows `prompt` on standard error and reads one line from the terminal
/// without echoing it; nothing at the end of input or when reading fails.
std::optional<std::string> PromptForPassword(std::string_view prompt);

} // namespace quillbank::cli
