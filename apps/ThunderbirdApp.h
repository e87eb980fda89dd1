#pragma once

#include "apps/MozApp.h"

namespace quillbank {

class TThunderbirdApp final : public TMozApp
{
public:
    TThunderbirdApp(const TInterfaceTexts& l10n, TAppStatusTable& status) : TMozApp(l10n, status)
    {
        Initialise();
    }

protected:
    void SetupIdentity() override { SetupIdentityOf(3); }
    void DetectInstallation() override { DetectInstallationOfOwnType(); }
};

} // namespace quillbank
