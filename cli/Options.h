// Command-line options: what a command accepts, how its arguments are parsed, help and completion lists.

#pragma once

#include <map>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank::cli {

/// One option a command accepts: "--name" alone, or "--name VALUE".
struct TOptionDefinition
{
    std::string_view Name;
    bool TakesValue = false;
    /// The option may be given more than once, each time with its own value.
    bool Repeatable = false;
};

/// The options and the other arguments of one command line.
class TOptions
{
public:
    bool Has(std::string_view name) const { return values_.contains(name); }
    /// The value of an option that takes one; nothing when it was not given.
    std::optional<std::string> Value(std::string_view name) const;
    /// Every value of a repeatable option, in the order given.
    std::vector<std::string> Values(std::string_view name) const;
    /// The arguments that are not options, in order.
    const std::vector<std::string>& Arguments() const { return arguments_; }

private:
    friend TOptions ParseOptions(const std::vector<std::string>& arguments,
                                 std::span<const TOptionDefinition> accepted);

    std::map<std::string, std::vector<std::string>, std::less<>> values_;
    std::vector<std::string> arguments_;
};

/**
 * Parses the arguments that follow the command's name. An option is written
 * "--name VALUE" or "--name=VALUE"; "-h" stands for "--help", "-q" for
 * "--quiet" and "-v" for "--verbose"; after "--" every argument is an argument. Throws EUsageError for
 * an unknown option, a missing value, a value given to an option that takes
 * none, and an option given twice that is not repeatable.
 */
TOptions ParseOptions(const std::vector<std::string>& arguments, std::span<const TOptionDefinition> accepted);

/// Given alone to a command, makes ParseCommandLine print the options the
/// command accepts, for shell completion (see `quillbank-cli __complete`).
inline constexpr std::string_view ListOptionsArgument = "--list-options";

/**
 * Parses a command's arguments as ParseOptions does, "--help" among the
 * options and the options of "--options-file" files in its place (see
 * WithOptionsFiles); nothing when help was asked for, after printing `usage`
 * on `out`, standard output. Given ListOptionsArgument alone, prints the
 * options `accepted` and "--help" one a line (the option, a tab, and "value"
 * or "flag"), short forms and "--options-file" included, and gives nothing.
 */
std::optional<TOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                         std::span<const TOptionDefinition> accepted, std::string_view usage,
                                         std::ostream& out);

/// ParseCommandLine for a command that takes nothing but options: throws
/// EUsageError naming the first other argument.
std::optional<TOptions> ParseOptionsOnly(const std::vector<std::string>& arguments,
                                         std::span<const TOptionDefinition> accepted, std::string_view usage,
                                         std::ostream& out);

/// The backup file a command works on: its one argument, or the value of
/// "--archive"; throws EUsageError when there is none, more than one, or both.
std::string ArchiveArgument(const TOptions& options);

/// The integer `text` holds, within `minimum` and `maximum`; throws
/// EUsageError naming `option` otherwise.
int ParseIntegerOption(std::string_view option, std::string_view text, int minimum, int maximum);

} // namespace quillbank::cli
