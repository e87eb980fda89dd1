// Sets up a command's working files, texts and terminal interface, and turns password problems into errors.

#include "cli/CommandContext.h"

#include "cli/ExitCodes.h"
#include "cli/Messages.h"
#include "config/AppSettings.h"
#include "config/WorkingFiles.h"

#include <filesystem>

namespace quillbank::cli {

TCommandContext::TCommandContext(const TConsole& console, bool quiet, std::optional<std::string> password,
                                 bool verbose)
    : console_(console), quiet_(quiet), programDir_(ProgramDataDir()), texts_(programDir_ + "/Default.lng"),
      progress_(TTerminalProgress::ForStandardError(console, quiet, verbose)),
      ui_(console, progress_, password)
{
    // The core reads the password of a restore from here.
    state_.BackupPassword = password.value_or(std::string());
}

void TCommandContext::RequireWorkingFiles()
{
    settings_ = LoadSettings(programDir_, texts_);
    const auto missing = MissingWorkingFiles(programDir_);
    if (missing.empty())
        return;
    std::string names;
    for (const std::string& name : missing)
        names += (names.empty() ? "" : ", ") + name;
    throw ECommandError(ExitFailure, programDir_ + ": working files missing: " + names);
}

void TCommandContext::ThrowOnPasswordProblem(const std::string& subject) const
{
    switch (ui_.PasswordProblem()) {
    case TTerminalUserInterface::TPasswordProblem::Missing:
        throw ECommandError(ExitPassword, subject +
                                              ": protected by a password; give it with --password-file FILE "
                                              "or --password-stdin");
    case TTerminalUserInterface::TPasswordProblem::Wrong:
        throw ECommandError(ExitPassword, subject + ": wrong password");
    case TTerminalUserInterface::TPasswordProblem::None:
        break;
    }
}

void Say(const TCommandContext& context, const std::string& text)
{
    if (!context.Quiet())
        context.Console().Err << MessagePrefix() << text << std::endl;
}

std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const auto absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

} // namespace quillbank::cli
