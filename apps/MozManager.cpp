// Makes the Firefox and Thunderbird applications and finds one by a part of its short name.

#include "apps/MozManager.h"

#include "platform/Text.h"

namespace quillbank {

TMozManager::TMozManager(const TInterfaceTexts& texts, TAppStatusTable& status)
{
    for (AppType type : {FirefoxAppType, ThunderbirdAppType})
        apps_.emplace_back(type, texts, status);
}

const TMozApp* TMozManager::FindApp(std::string_view name) const
{
    const std::string lowerName = ToLowerAscii(name);
    if (lowerName.empty())
        return nullptr;
    const TMozApp* found = nullptr;
    for (const TMozApp& app : apps_)
        if (app.ShortName().find(lowerName) != std::string::npos)
            found = &app;
    return found;
}

} // namespace quillbank
