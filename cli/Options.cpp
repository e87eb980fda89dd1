// Parses a command's options and arguments, short forms and "--" included, and checks integer values.

#include "cli/Options.h"

#include "cli/ExitCodes.h"
#include "cli/OptionsFile.h"
#include "cli/Suggestion.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>
#include <iostream>

namespace quillbank::cli {

namespace {

/// The short forms and the options they stand for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 3> ShortForms = {{
    {"-h", "help"},
    {"-q", "quiet"},
    {"-v", "verbose"},
}};

std::string ShortAlias(std::string_view argument)
{
    for (const auto& [shortForm, name] : ShortForms)
        if (argument == shortForm)
            return "--" + std::string(name);
    return std::string(argument);
}

/// The options a command accepts, one a line: the option, a tab, and
/// "value" or "flag"; its short forms, and "--options-file", which every
/// command takes, among them.
void PrintOptionList(std::span<const TOptionDefinition> accepted, std::ostream& out)
{
    auto print = [&out](std::string_view option, bool takesValue) {
        out << option << '\t' << (takesValue ? "value" : "flag") << '\n';
    };
    for (const TOptionDefinition& option : accepted) {
        print("--" + std::string(option.Name), option.TakesValue);
        for (const auto& [shortForm, name] : ShortForms)
            if (name == option.Name)
                print(shortForm, option.TakesValue);
    }
    print(OptionsFileOption, true);
}

} // namespace

std::optional<std::string> TOptions::Value(std::string_view name) const
{
    const auto found = values_.find(name);
    if (found == values_.end())
        return std::nullopt;
    return found->second.back();
}

std::vector<std::string> TOptions::Values(std::string_view name) const
{
    const auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>() : found->second;
}

TOptions ParseOptions(const std::vector<std::string>& arguments, std::span<const TOptionDefinition> accepted)
{
    TOptions options;
    bool onlyArguments = false;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string argument = ShortAlias(arguments[at]);
        if (onlyArguments || argument == "-" || !argument.starts_with('-')) {
            options.arguments_.push_back(argument);
            continue;
        }
        if (argument == "--") {
            onlyArguments = true;
            continue;
        }
        const auto equals = argument.find('=');
        const std::string name = argument.substr(0, equals);
        const auto option =
            std::find_if(accepted.begin(), accepted.end(),
                         [&name](const TOptionDefinition& s) { return "--" + std::string(s.Name) == name; });
        if (option == accepted.end()) {
            std::vector<std::string_view> names;
            std::vector<std::string> spelled;
            for (const TOptionDefinition& definition : accepted)
                spelled.push_back("--" + std::string(definition.Name));
            for (const std::string& spelling : spelled)
                names.push_back(spelling);
            throw EUsageError("unknown option " + name + DidYouMean(name, names));
        }
        if (options.values_.contains(option->Name) && !option->Repeatable)
            throw EUsageError(name + " is given twice");
        std::string value;
        if (option->TakesValue) {
            if (equals != std::string::npos)
                value = argument.substr(equals + 1);
            else if (at + 1 < arguments.size())
                value = arguments[++at];
            else
                throw EUsageError(name + " needs a value");
        } else if (equals != std::string::npos) {
            throw EUsageError(name + " takes no value");
        }
        options.values_[std::string(option->Name)].push_back(std::move(value));
    }
    return options;
}

std::optional<TOptions> ParseCommandLine(const std::vector<std::string>& arguments,
                                         std::span<const TOptionDefinition> accepted, std::string_view usage,
                                         std::ostream& out)
{
    std::vector<TOptionDefinition> withHelp(accepted.begin(), accepted.end());
    withHelp.push_back({"help", false});
    if (arguments.size() == 1 && arguments.front() == ListOptionsArgument) {
        PrintOptionList(withHelp, out);
        return std::nullopt;
    }
    TOptions options = ParseOptions(WithOptionsFiles(arguments), withHelp);
    if (options.Has("help")) {
        out << usage;
        return std::nullopt;
    }
    return options;
}

std::optional<TOptions> ParseOptionsOnly(const std::vector<std::string>& arguments,
                                         std::span<const TOptionDefinition> accepted, std::string_view usage,
                                         std::ostream& out)
{
    auto options = ParseCommandLine(arguments, accepted, usage, out);
    if (options && !options->Arguments().empty())
        throw EUsageError("unexpected argument \"" + options->Arguments().front() + "\"");
    return options;
}

std::string ArchiveArgument(const TOptions& options)
{
    const auto& arguments = options.Arguments();
    const auto option = options.Value("archive");
    if (arguments.size() > 1 || (option && !arguments.empty()))
        throw EUsageError("give one ARCHIVE, as an argument or with --archive");
    if (option && !option->empty())
        return *option;
    if (arguments.empty() || arguments.front().empty())
        throw EUsageError("ARCHIVE is missing");
    return arguments.front();
}

int ParseIntegerOption(std::string_view option, std::string_view text, int minimum, int maximum)
{
    int value = 0;
    if (!TryParseInt(text, value) || value < minimum || value > maximum)
        throw EUsageError("--" + std::string(option) + " must be a whole number from " +
                          std::to_string(minimum) + " to " + std::to_string(maximum) + ", not \"" +
                          std::string(text) + "\"");
    return value;
}

} // namespace quillbank::cli
