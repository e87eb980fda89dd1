// Checks a profile's lock and the running processes, and asks the user to exit an application that uses it.

#include "apps/RunningCheck.h"

#include "apps/AppTable.h"
#include "apps/ProfileLock.h"
#include "config/InterfaceTexts.h"
#include "platform/FileSystem.h"
#include "platform/ProcessList.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <algorithm>

namespace quillbank {

bool IsAppRunning(AppType type, const std::vector<std::string>& processNames)
{
    if (!IsKnownAppType(type))
        return false;
    const auto& names = AppInfo(type).ProcessNames;
    return std::any_of(processNames.begin(), processNames.end(), [&names](const std::string& process) {
        return std::find(names.begin(), names.end(), process) != names.end();
    });
}

bool IsAppRunning(AppType type)
{
    return IsKnownAppType(type) && IsAppRunning(type, ListOwnProcessNames());
}

bool KeepsProfileLockFiles(AppType type)
{
    // SeaMonkey, Firefox and Thunderbird lay down ".parentlock" and "lock"
    // the moment they open a profile; how the older applications lock theirs
    // on this system is not known, so their process names still count.
    return type == SeaMonkeyAppType || type == FirefoxAppType || type == ThunderbirdAppType;
}

bool IsProfileInUse(AppType type, const std::string& profileDir)
{
    switch (ReadProfileLock(profileDir)) {
    case TProfileLock::InUse:
        return true;
    case TProfileLock::Free:
        return false;
    case TProfileLock::Unknown:
        break;
    }
    // No lock files: an application that locks its profiles never opened this one.
    return !KeepsProfileLockFiles(type) && IsAppRunning(type);
}

std::string ProfileUserName(AppType type, const std::string& profileDir)
{
    return IsKnownAppType(type) ? std::string(AppInfo(type).RunningName)
                                : VisibleText(WithoutTrailingSeparators(profileDir));
}

bool WaitForProfileFree(AppType type, const std::string& profileDir, const TInterfaceTexts& texts,
                        TUserInterface& ui)
{
    while (IsProfileInUse(type, profileDir)) {
        const std::string text =
            texts.GetTextFmt("Quillbank14", "LANG_DETEKCE", ProfileUserName(type, profileDir));
        if (ui.ShowMessageBox(texts.GetText("TForm1", "LANG_WARNING"), text, TBoxButtons::RetryCancel,
                              TBoxIcon::Stop) != TBoxAnswer::Retry)
            return false;
    }
    return true;
}

} // namespace quillbank
