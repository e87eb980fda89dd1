// Options files: "--options-file FILE" stands for the options FILE holds, one a line.

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillbank::cli {

/// The option that names an options file; every command takes it.
inline constexpr std::string_view OptionsFileOption = "--options-file";

/// The largest options file read: far more than any command's options.
inline constexpr std::size_t OptionsFileLimit = 64 * 1024;

/**
 * A command's arguments with every "--options-file FILE" (or
 * "--options-file=FILE") replaced by the options FILE holds, so that a timer
 * or a crontab names one file per backup. FILE holds one option a line,
 * written as on the command line but without quoting: "--name VALUE" (the
 * value is the rest of the line, blanks and all), "--name=VALUE" or
 * "--name". Blank lines and lines starting with "#" are skipped. Relative
 * paths in values are taken from the working directory, as on the command
 * line. After "--" nothing is replaced.
 *
 * Throws EUsageError for a missing FILE, a line that is no option, and an
 * options file named inside another; ECommandError (exit code 1) when FILE
 * cannot be read or is larger than OptionsFileLimit.
 */
std::vector<std::string> WithOptionsFiles(const std::vector<std::string>& arguments);

} // namespace quillbank::cli
