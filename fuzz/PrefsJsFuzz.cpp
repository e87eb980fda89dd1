// "prefs.js": the account reader, the line helpers, and the rewrites of a
// restore (the external mail folders, Windows paths and the final filter). "@SCRATCH@" in
// the input stands for this process's scratch folder, so inputs can name
// external mail folders that the run may create.
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "engine/Archive.h"
#include "engine/MailRestore.h"
#include "engine/RunEnvironment.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Text.h"
#include "profile/AccountFolder.h"
#include "profile/PrefsParser.h"

#include <sstream>

using namespace quillbank;

namespace {

void ReadLines(std::string_view text)
{
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        PrefName(line);
        PrefValue(line);
        ReplaceStringValue(line, "[ProfD]Mail/x");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string scratch = fuzz::ScratchDir();
    const std::string text = ReplaceAll(fuzz::AsText(data, size), "@SCRATCH@", scratch);
    ReadLines(text);

    const std::string programDir = fuzz::FreshDir("program");
    fuzz::WriteFuzzFile(programDir + "Backup.ini", "");
    const std::string profile = fuzz::FreshDir("profile");
    fuzz::FreshDir("external");
    fuzz::WriteFuzzFile(profile + "prefs.js", text);
    const TInterfaceTexts texts(programDir + "Default.lng");
    fuzz::TFuzzUserInterface ui;
    TWizardState state;
    // A folder recorded on Windows goes into the profile's "Mail" folder.
    state.MailFolders = {{scratch + "external/Mail", "Mail"},
                         {scratch + "external/News", "News"},
                         {"C:\\Mail\\Archive", "Archive"}};
    try {
        TPrefsParser parser(profile + "prefs.js", texts);
        HasMailSettings(profile);
        for (const TPrefsParserAccount& account : parser.Accounts())
            LocateAccountFolder(account, profile);
        // No archive there: the extracts find nothing, the rewrite still runs.
        TArchive archive(programDir + "missing.qkz", "", profile,
                         RunEnvironment(ui, texts, state, programDir));
        PointAccountsAtMailFolders(
            profile, RestoreMailFolders(profile, archive, state.MailFolders, texts, ui).Accounts);
        FitWindowsPrefs(profile, state.MailFolders);
        TComponentBoxes boxes;
        for (auto& box : boxes.Boxes)
            box.Checked = true;
        FilterRestoredPrefs(profile, ThunderbirdAppType, boxes, false, texts, ui);
    } catch (const std::runtime_error&) {
    } catch (const fuzz::TFuzzExit&) {
    }
    fuzz::RequireOnlyEntries(scratch, {"home", "program", "profile", "external"});
    return 0;
}
