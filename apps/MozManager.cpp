#include "apps/MozManager.h"

#include "apps/FirefoxApp.h"
#include "apps/ThunderbirdApp.h"
#include "platform/Text.h"

namespace quillbank {

TMozManager::TMozManager(const TInterfaceTexts& l10n, TAppStatusTable& status)
{
    apps_.push_back(std::make_unique<TFirefoxApp>(l10n, status));
    apps_.push_back(std::make_unique<TThunderbirdApp>(l10n, status));
}

TMozApp* TMozManager::FindApp(std::string_view name) const
{
    const std::string lowerName = ToLowerAscii(name);
    if (lowerName.empty())
        return nullptr;
    TMozApp* found = nullptr;
    for (const auto& app : apps_)
        if (app->ShortName().find(lowerName) != std::string::npos)
            found = app.get();
    return found;
}

} // namespace quillbank
