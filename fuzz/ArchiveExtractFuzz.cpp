// A whole archive extracted through the archive layer into an empty folder:
// nothing may land beside that folder, no link may appear in it and no
// partial file may stay.
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/Archive.h"
#include "engine/RunEnvironment.h"
#include "fuzz/FuzzSupport.h"

#include <filesystem>

using namespace quillbank;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string programDir = fuzz::FreshDir("program");
    fuzz::WriteFuzzFile(programDir + "Backup.ini", "");
    const std::string folder = fuzz::FreshDir("extract");
    const std::string target = folder + "target/";
    std::filesystem::create_directory(target);
    fuzz::WriteFuzzFile(folder + "archive.qkz", fuzz::AsText(data, size));

    const TInterfaceTexts texts(programDir + "Default.lng");
    fuzz::TFuzzUserInterface ui;
    TWizardState state;
    // A password, so encrypted entries are read (and mostly fail to decrypt).
    state.BackupPassword = "secret";
    TArchive archive(folder + "archive.qkz", "", target, RunEnvironment(ui, texts, state, programDir));
    archive.ExtractFileList({"*"});
    archive.ListEntries();
    archive.CheckArchive();

    fuzz::RequireOnlyEntries(folder, {"archive.qkz", "target"});
    fuzz::RequireNoLinks(target);
    fuzz::RequireNoStagedFiles(target, fuzz::AsText(data, size));
    return 0;
}
