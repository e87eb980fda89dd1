// Reads options files and puts their options in place of each "--options-file" argument.

#include "cli/OptionsFile.h"

#include "cli/ExitCodes.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"

#include <sys/stat.h>

namespace quillbank::cli {

namespace {

/// The options the file at `path` holds, in order.
std::vector<std::string> ReadOptionsFile(const std::string& path)
{
    struct stat info = {};
    if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<std::size_t>(info.st_size) > OptionsFileLimit)
        throw ECommandError(ExitFailure, path + ": the options file is larger than " +
                                             std::to_string(OptionsFileLimit / 1024) + " KiB");
    const auto content = ReadWholeFile(path);
    if (!content || content->size() > OptionsFileLimit)
        throw ECommandError(ExitFailure, path + ": cannot read the options file");
    std::vector<std::string> options;
    std::size_t lineNumber = 0;
    for (std::string_view rest = *content; !rest.empty();) {
        const auto end = rest.find('\n');
        const std::string line = Trim(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        ++lineNumber;
        if (line.empty() || line.starts_with('#'))
            continue;
        const std::string where = path + ":" + std::to_string(lineNumber) + ": ";
        if (!line.starts_with("--") || line == "--")
            throw EUsageError(where + "not an option: \"" + line + "\"");
        // "--name=VALUE" stays one argument, blanks and all; "--name VALUE" is two.
        const auto nameEnd = line.find_first_of(" \t=");
        const std::string name = line.substr(0, nameEnd);
        if (name == OptionsFileOption)
            throw EUsageError(where + "an options file cannot name another");
        if (nameEnd == std::string::npos || line[nameEnd] == '=') {
            options.push_back(line);
        } else {
            options.push_back(name);
            options.push_back(Trim(line.substr(nameEnd)));
        }
    }
    return options;
}

} // namespace

std::vector<std::string> WithOptionsFiles(const std::vector<std::string>& arguments)
{
    std::vector<std::string> expanded;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "--") {
            expanded.insert(expanded.end(), arguments.begin() + static_cast<std::ptrdiff_t>(at),
                            arguments.end());
            break;
        }
        std::string file;
        if (argument == OptionsFileOption) {
            if (at + 1 == arguments.size())
                throw EUsageError(std::string(OptionsFileOption) + " needs a value");
            file = arguments[++at];
        } else if (argument.starts_with(std::string(OptionsFileOption) + "=")) {
            file = argument.substr(OptionsFileOption.size() + 1);
        } else {
            expanded.push_back(argument);
            continue;
        }
        const std::vector<std::string> options = ReadOptionsFile(file);
        expanded.insert(expanded.end(), options.begin(), options.end());
    }
    return expanded;
}

} // namespace quillbank::cli
