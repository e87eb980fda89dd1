// The legacy text container restored whole into an empty profile: nothing
// may land outside the profile, no link may appear, no partial file stay.
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/RestoreRun.h"
#include "engine/RunEnvironment.h"
#include "fuzz/FuzzSupport.h"

#include <filesystem>

using namespace quillbank;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string programDir = fuzz::FreshDir("program");
    fuzz::WriteFuzzFile(programDir + "Backup.ini", "");
    const std::string folder = fuzz::FreshDir("legacy");
    const std::string target = folder + "target";
    std::filesystem::create_directory(target);
    fuzz::WriteFuzzFile(folder + "backup.qkz", fuzz::AsText(data, size));

    const TInterfaceTexts texts(programDir + "Default.lng");
    fuzz::TFuzzUserInterface ui;
    TWizardState state;
    state.SelectedAppType = FirefoxAppType;
    state.ArchivePath = folder + "backup.qkz";
    state.ArchiveFormat = TArchiveFormat::LegacyContainer;
    state.ProfileEntries = {{"target", target}};
    state.SelectedProfileLine = "target";
    TRestoreRequest request;
    for (auto& box : request.Boxes.Boxes)
        box.Checked = true;
    try {
        RunRestore(request, state, RunEnvironment(ui, texts, state, programDir));
    } catch (const fuzz::TFuzzExit&) {
    }
    fuzz::RequireOnlyEntries(folder, {"backup.qkz", "target"});
    fuzz::RequireNoLinks(target);
    fuzz::RequireNoStagedFiles(target, fuzz::AsText(data, size));
    return 0;
}
