// Finds a profile's backups in a folder by their headers, applies the retention policy and reports it.

#include "cli/Pruning.h"

#include "apps/WizardState.h"
#include "cli/Clock.h"
#include "cli/Options.h"
#include "engine/ArchiveHeader.h"
#include "engine/BackupIdentity.h"
#include "engine/PendingArchive.h"
#include "engine/RunEnvironment.h"
#include "platform/FileSystem.h"
#include "platform/SilentUserInterface.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <sys/stat.h>

namespace quillbank::cli {

namespace {

namespace fs = std::filesystem;

/// Reading headers asks nobody anything: a header that does not open with
/// the password in hand is not read, and nothing is shown.
class THeaderReadingInterface final : public TSilentUserInterface
{
protected:
    void EndProgram(int exitCode) override { std::exit(exitCode); }
};

std::int64_t ModificationTime(const std::string& path)
{
    struct stat status
    {};
    return ::stat(path.c_str(), &status) == 0 ? static_cast<std::int64_t>(status.st_mtime) : 0;
}

/// The backups of the profile in the folder, with their times.
std::vector<TDatedBackup> BackupsOfProfile(const TPruneRequest& request, TArchiveEnvironment environment)
{
    std::vector<TDatedBackup> backups;
    std::error_code error;
    const std::string profile = IdentityFolder(request.ProfileFolder);
    for (const fs::directory_entry& entry : fs::directory_iterator(request.Folder, error)) {
        std::error_code statusError;
        if (!entry.is_regular_file(statusError) || entry.is_symlink(statusError))
            continue;
        // A backup still being written (or left by a killed run) is no backup yet.
        if (IsPendingArchiveName(entry.path().filename().string()))
            continue;
        const std::string path = entry.path().string();
        const auto summary = ReadHeaderSummary(path, environment);
        if (!summary || summary->Type != request.Application || !summary->Identity ||
            IdentityFolder(summary->Identity->ProfileFolder) != profile)
            continue;
        const std::int64_t madeAt = summary->Identity->MadeAt.value_or(ModificationTime(path));
        backups.push_back({path, madeAt, LocalDay(madeAt)});
    }
    if (error)
        throw std::runtime_error(request.Folder + ": cannot list the folder: " + error.message());
    return backups;
}

} // namespace

TRetentionPolicy ParseRetentionOptions(const TOptions& options)
{
    TRetentionPolicy policy;
    const auto count = [&options](std::string_view name) {
        const auto value = options.Value(name);
        return value ? ParseIntegerOption(name, *value, 0, MaxKeepCount) : 0;
    };
    policy.KeepLast = count("keep-last");
    policy.KeepDaily = count("keep-daily");
    policy.KeepWeekly = count("keep-weekly");
    policy.KeepMonthly = count("keep-monthly");
    return policy;
}

std::vector<TPrunedBackup> PruneBackups(const TPruneRequest& request, const TInterfaceTexts& texts,
                                        const std::string& programDir)
{
    THeaderReadingInterface ui;
    TWizardState state;
    state.BackupPassword = request.Password;
    const std::vector<TDatedBackup> backups =
        BackupsOfProfile(request, RunEnvironment(ui, texts, state, programDir));
    const std::vector<bool> kept = KeptByPolicy(backups, request.Policy);
    std::vector<TPrunedBackup> result;
    for (std::size_t i = 0; i < backups.size(); ++i) {
        TPrunedBackup backup{backups[i].Path,
                             backups[i].MadeAt,
                             kept[i] || LexicallyNormal(backups[i].Path) == LexicallyNormal(request.Spared),
                             {}};
        std::error_code error;
        if (!backup.Kept && !request.DryRun && !fs::remove(backup.Path, error) && error)
            backup.RemovalFailure = error.message();
        result.push_back(std::move(backup));
    }
    std::ranges::sort(result, [](const TPrunedBackup& a, const TPrunedBackup& b) {
        return a.MadeAt != b.MadeAt ? a.MadeAt > b.MadeAt : a.Path > b.Path;
    });
    return result;
}

bool ReportPruning(const std::vector<TPrunedBackup>& backups, const TPruneReport& report, std::ostream& out,
                   std::ostream& err)
{
    const bool dryRun = report.DryRun;
    const bool quiet = report.Quiet;
    const std::string& prefix = report.Prefix;
    bool removedAll = true;
    for (const TPrunedBackup& backup : backups) {
        if (backup.Kept) {
            if (report.Verbose && !quiet)
                out << prefix << "kept " << VisibleText(backup.Path) << " (made "
                    << FormatUtcTime(backup.MadeAt) << ")\n";
            continue;
        }
        if (!backup.RemovalFailure.empty()) {
            removedAll = false;
            err << prefix << VisibleText(backup.Path) << ": cannot remove: " << backup.RemovalFailure << "\n";
        } else if (!quiet) {
            out << prefix << (dryRun ? "would remove " : "removed ") << VisibleText(backup.Path) << " (made "
                << FormatUtcTime(backup.MadeAt) << ")\n";
        }
    }
    return removedAll;
}

} // namespace quillbank::cli
