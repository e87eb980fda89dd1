// What a command that works on profiles or archives runs with: settings, texts, state, console.

#pragma once

#include "apps/WizardState.h"
#include "cli/Console.h"
#include "cli/TerminalProgress.h"
#include "cli/TerminalUserInterface.h"
#include "config/AppSettings.h"
#include "config/InterfaceTexts.h"
#include "engine/Archive.h"
#include "engine/RunEnvironment.h"

#include <optional>
#include <string>

namespace quillbank::cli {

/**
 * What a command that works on profiles or archives runs with: the
 * program's working files and texts, the state the core's steps share, and
 * the console they report to.
 */
class TCommandContext
{
public:
    /// `verbose` shows the progress as plain lines, every task on its own.
    TCommandContext(const TConsole& console, bool quiet, std::optional<std::string> password,
                    bool verbose = false);
    TCommandContext(const TCommandContext&) = delete;
    TCommandContext& operator=(const TCommandContext&) = delete;

    /// Loads the settings as the wizard does at its start (a missing
    /// "Backup.ini" is created empty) and throws ECommandError when a working
    /// file is missing.
    void RequireWorkingFiles();

    const TConsole& Console() const { return console_; }
    const std::string& ProgramDir() const { return programDir_; }
    /// The settings RequireWorkingFiles loaded.
    const TAppSettings& Settings() const { return settings_; }
    const TInterfaceTexts& Texts() const { return texts_; }
    TWizardState& State() { return state_; }
    TTerminalUserInterface& Ui() { return ui_; }
    TTerminalProgress& Progress() { return progress_; }
    bool Quiet() const { return quiet_; }
    TArchiveEnvironment Environment() { return RunEnvironment(ui_, texts_, state_, programDir_); }

    /// Throws ECommandError with ExitPassword when a password problem came up.
    void ThrowOnPasswordProblem(const std::string& subject) const;

private:
    const TConsole& console_;
    bool quiet_;
    std::string programDir_;
    TInterfaceTexts texts_;
    TAppSettings settings_;
    TTerminalProgress progress_;
    TTerminalUserInterface ui_;
    TWizardState state_;
};

/// A line for the person running the command, on the console's standard
/// error, unless quiet.
void Say(const TCommandContext& context, const std::string& text);

/// The absolute form of a path given on the command line.
std::string AbsolutePath(const std::string& path);

} // namespace quillbank::cli
