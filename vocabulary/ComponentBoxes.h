// The check boxes of the components page: the runs' record of what a backup or restore includes.

#pragma once

#include <array>

namespace quillbank {

/// The check boxes of the components page: fourteen components and the
/// modifier "Accounts settings only" (box 7). They are the runs' record of
/// what a backup or restore includes.
enum TComponentBox
{
    GeneralSettingsBox = 1,
    EmailsBox = 2,
    AddressBooksBox = 3,
    BookmarksBox = 4,
    HistoryBox = 5,
    SidebarsBox = 6,
    AccountsSettingsOnlyBox = 7,
    UserStylesBox = 8,
    SavedPasswordsBox = 9,
    CookiesBox = 10,
    SavedFormDetailsBox = 11,
    DownloadedFileListBox = 12,
    CertificatesBox = 13,
    ExtensionsBox = 14,
    CacheBox = 15,
};

inline constexpr int ComponentBoxCount = 15;

struct TCheckBoxState
{
    bool Checked = false;
    bool Enabled = true;
};

struct TComponentBoxes
{
    /// Indexed by TComponentBox; index 0 is unused.
    std::array<TCheckBoxState, ComponentBoxCount + 1> Boxes{};
    /// The hint "Firefox & Thunderbird only" beside the Extensions box.
    bool ExtensionsHintVisible = false;

    TCheckBoxState& operator[](TComponentBox box) { return Boxes[box]; }
    const TCheckBoxState& operator[](TComponentBox box) const { return Boxes[box]; }
};

/// "Accounts settings only" takes the place of Emails: while it is ticked,
/// Emails is neither ticked nor open to ticking; otherwise Emails stays as
/// `emails`.
inline TCheckBoxState EmailsBoxBesideAccountsSettingsOnly(bool accountsSettingsOnly, TCheckBoxState emails)
{
    return accountsSettingsOnly ? TCheckBoxState{false, false} : emails;
}

} // namespace quillbank
