#pragma once

#include "apps/MozApp.h"

namespace quillbank {

class TFirefoxApp final : public TMozApp
{
public:
    TFirefoxApp(const TInterfaceTexts& l10n, TAppStatusTable& status) : TMozApp(l10n, status)
    {
        Initialise();
    }

protected:
    void SetupIdentity() override { SetupIdentityOf(2); }
    void DetectInstallation() override { DetectInstallationOfOwnType(); }
};

} // namespace quillbank
