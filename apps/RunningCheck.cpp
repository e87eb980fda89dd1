#include "apps/RunningCheck.h"

#include "apps/AppTable.h"
#include "apps/ProfileLock.h"
#include "config/l10n.h"
#include "platform/ProcessList.h"
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
    return IsKnownAppType(type) && IsAppRunning(type, ListProcessNames());
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
    return IsAppRunning(type);
}

bool WaitForProfileFree(AppType type, const std::string& profileDir, const Tl10n& l10n, TUserInterface& ui)
{
    while (IsProfileInUse(type, profileDir)) {
        const std::string text = l10n.GetTextFmt("Quillbank14", "LANG_DETEKCE", AppInfo(type).RunningName);
        if (ui.ShowMessageBox(l10n.GetText("TForm1", "LANG_WARNING"), text, TBoxButtons::RetryCancel,
                              TBoxIcon::Stop) != TBoxAnswer::Retry)
            return false;
    }
    return true;
}

} // namespace quillbank
