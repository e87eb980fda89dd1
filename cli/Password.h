// Where a command gets a password: a file, standard input, a shell command, or a prompt without echo.

#pragma once

#include "cli/Console.h"

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
 * none of them is given. Standard input and error are the console's.
 *
 * Throws EUsageError when more than one is given or the file cannot be
 * read, and ECommandError with ExitPassword when the line is empty or the
 * command fails.
 */
std::optional<std::string> ReadGivenPassword(const TOptions& options, const TConsole& console);

/// Shows `prompt` on the console's standard error and reads one line from its
/// standard input, without echoing it when that is a terminal; nothing at the
/// end of input or when reading fails.
std::optional<std::string> PromptForPassword(const TConsole& console, std::string_view prompt);

} // namespace quillbank::cli
