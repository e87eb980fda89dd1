// How often a backup and an extraction let the window process its events:
// runs both on a profile folder the way the wizard does, with a user
// interface that only records the time between its event calls, and prints
// the longest gaps. It also times listing every file of the profile, as a
// backup collects them. Part of the benchmark (bench/run.sh), not of the
// tests.
//
//   quillbank-event-gaps PROFILE_DIR WORK_DIR

#include "apps/ProfileDiscovery.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "config/WorkingFiles.h"
#include "engine/Archive.h"
#include "engine/BackupRun.h"
#include "engine/BackupTask.h"
#include "engine/RunEnvironment.h"
#include "platform/FileSystem.h"
#include "platform/Locale.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

using namespace quillbank;
using Clock = std::chrono::steady_clock;

namespace {

/// Answers every box with its first button and records event gaps.
class TGapRecorder final : public TUserInterface
{
public:
    std::vector<double> gaps;

    void Start()
    {
        gaps.clear();
        last_ = Clock::now();
    }
    void Stop() { ProcessEvents(); }

    TBoxAnswer ShowMessageBox(const std::string& caption, const std::string& text, TBoxButtons,
                              TBoxIcon) override
    {
        std::fprintf(stderr, "box: %s: %s\n", caption.c_str(), text.c_str());
        return TBoxAnswer::Ok;
    }
    std::optional<std::string> AskRestorePassword() override { return std::nullopt; }
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override
    {
        return std::nullopt;
    }
    void ProcessEvents() override
    {
        const auto now = Clock::now();
        gaps.push_back(std::chrono::duration<double, std::milli>(now - last_).count());
        last_ = now;
    }
    void ShowTaskLine(const std::string&) override {}
    void AddReportLine(const std::string&) override {}
    void SetProgressRange(int, int) override {}
    void SetProgressPosition(int) override {}

protected:
    void EndProgram(int exitCode) override { std::exit(exitCode); }

private:
    Clock::time_point last_ = Clock::now();
};

void Print(const char* phase, std::vector<double> gaps, double seconds, std::size_t files = 0)
{
    std::sort(gaps.begin(), gaps.end());
    const auto at = [&](double share) {
        return gaps.empty() ? 0.0
                            : gaps[std::min(gaps.size() - 1, static_cast<std::size_t>(share * gaps.size()))];
    };
    std::printf("%s,%.2f,%zu,%.1f,%.1f,%.1f,%zu\n", phase, seconds, gaps.size(), at(0.5), at(0.99),
                gaps.empty() ? 0.0 : gaps.back(), files);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s PROFILE_DIR WORK_DIR\n", argv[0]);
        return 2;
    }
    KeepLocalTimeZoneLoaded();
    const std::string profile = IncludeTrailingSeparator(argv[1]);
    const std::string work = IncludeTrailingSeparator(argv[2]);
    const std::string programDir = ProgramDataDir();
    const TInterfaceTexts texts(programDir + "/Default.lng");
    TGapRecorder ui;
    TWizardState state;
    const TArchiveEnvironment environment = RunEnvironment(ui, texts, state, programDir);

    TBackupRequest request;
    request.Application = ThunderbirdAppType;
    request.ProfileDir = profile;
    request.ArchivePath = work + "event-gaps.qkz";
    request.Boxes = CheckProfileFolder(profile, texts, ui);
    request.CompressionLevel = 9;
    std::printf("phase,seconds,event_calls,median_gap_ms,p99_gap_ms,longest_gap_ms,files\n");
    ui.Start();
    auto start = Clock::now();
    TBackupTask listing(profile, profile, ui);
    listing.AddFolder("", "*.*");
    ui.Stop();
    Print("listing", ui.gaps, std::chrono::duration<double>(Clock::now() - start).count(),
          listing.Files().size());

    ui.Start();
    start = Clock::now();
    RunBackup(request, state, environment);
    ui.Stop();
    Print("backup", ui.gaps, std::chrono::duration<double>(Clock::now() - start).count());

    const std::string restored = work + "event-gaps-restored";
    std::filesystem::remove_all(restored);
    std::filesystem::create_directories(restored);
    ui.Start();
    start = Clock::now();
    TArchive(request.ArchivePath, "", restored, environment).ExtractFileList({"*"});
    ui.Stop();
    Print("extract", ui.gaps, std::chrono::duration<double>(Clock::now() - start).count());
    std::filesystem::remove_all(restored);
    std::filesystem::remove(request.ArchivePath);
    return 0;
}
