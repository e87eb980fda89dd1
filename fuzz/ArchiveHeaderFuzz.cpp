// A file chosen as a backup: recognised by DetectBackupFile and its header
// read, and its summary read as retention reads it. Each input is tried
// twice: as the whole file (a legacy container, a ZIP archive or anything
// else), and as the header entry of a ZIP archive.
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/ArchiveHeader.h"
#include "engine/RunEnvironment.h"
#include "fuzz/FuzzSupport.h"
#include "tests/support/ZipBuilder.h"

using namespace quillbank;

namespace {

void ReadBackup(const std::string& path, const std::string& programDir)
{
    const TInterfaceTexts texts(programDir + "Default.lng");
    fuzz::TFuzzUserInterface ui;
    TWizardState state;
    state.SelectedAppType = FirefoxAppType;
    state.ArchivePath = path;
    const TArchiveEnvironment environment = RunEnvironment(ui, texts, state, programDir);
    ReadHeaderSummary(path, environment);
    try {
        if (!DetectBackupFile(path, state, environment))
            return;
        TComponentBoxes boxes;
        ReadArchiveHeader(state, boxes, environment);
    } catch (const fuzz::TFuzzExit&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes = fuzz::AsText(data, size);
    const std::string programDir = fuzz::FreshDir("program");
    fuzz::WriteFuzzFile(programDir + "Backup.ini", "");
    const std::string folder = fuzz::FreshDir("backup");
    fuzz::WriteFuzzFile(folder + "whole.qkz", bytes);
    ReadBackup(folder + "whole.qkz", programDir);
    fuzz::WriteFuzzFile(folder + "header.qkz",
                        testing::BuildZip({{std::string(ArchiveHeaderName), std::string(bytes)}}));
    ReadBackup(folder + "header.qkz", programDir);
    fuzz::RequireOnlyEntries(folder, {"whole.qkz", "header.qkz"});
    return 0;
}
