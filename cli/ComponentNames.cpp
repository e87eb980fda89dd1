// Maps component names to components both ways, parses --components lists and checks them against a source.

#include "cli/ComponentNames.h"

#include "cli/ExitCodes.h"
#include "cli/Suggestion.h"
#include "platform/Text.h"

#include <algorithm>
#include <array>

namespace quillbank::cli {

namespace {

constexpr std::array<TComponentName, ComponentBoxCount> Names = {{
    {"general-settings", GeneralSettingsBox},
    {"emails", EmailsBox},
    {"accounts-settings-only", AccountsSettingsOnlyBox},
    {"address-books", AddressBooksBox},
    {"bookmarks", BookmarksBox},
    {"history", HistoryBox},
    {"sidebars", SidebarsBox},
    {"user-styles", UserStylesBox},
    {"saved-passwords", SavedPasswordsBox},
    {"cookies", CookiesBox},
    {"saved-form-details", SavedFormDetailsBox},
    {"downloaded-file-list", DownloadedFileListBox},
    {"certificates", CertificatesBox},
    {"extensions", ExtensionsBox},
    {"cache", CacheBox},
}};

} // namespace

std::span<const TComponentName> ComponentNames()
{
    return Names;
}

std::string_view ComponentName(TComponentBox box)
{
    for (const TComponentName& name : Names)
        if (name.Box == box)
            return name.Name;
    return {};
}

std::vector<TComponentBox> ParseComponentList(std::string_view list)
{
    std::vector<TComponentBox> boxes;
    while (true) {
        const auto comma = list.find(',');
        const std::string item = ToLowerAscii(Trim(list.substr(0, comma)));
        if (!item.empty()) {
            const auto found = std::find_if(Names.begin(), Names.end(), [&item](const TComponentName& name) {
                return name.Name == item;
            });
            if (found == Names.end()) {
                std::vector<std::string_view> names;
                for (const TComponentName& name : Names)
                    names.push_back(name.Name);
                throw EUsageError("unknown component \"" + item + "\" in --components" +
                                  DidYouMean(item, names));
            }
            if (std::find(boxes.begin(), boxes.end(), found->Box) == boxes.end())
                boxes.push_back(found->Box);
        }
        if (comma == std::string_view::npos)
            break;
        list.remove_prefix(comma + 1);
    }
    if (boxes.empty())
        throw EUsageError("--components names no component");
    return boxes;
}

TComponentBoxes ChooseComponents(TComponentBoxes available, const std::vector<TComponentBox>& wanted,
                                 std::string_view source)
{
    if (wanted.empty())
        return available;
    for (int box = 1; box <= ComponentBoxCount; ++box)
        available.Boxes[box].Checked = false;
    for (TComponentBox box : wanted) {
        if (!available[box].Enabled)
            throw EUsageError(std::string(ComponentName(box)) + " was asked for, but " + std::string(source) +
                              " holds none");
        available[box].Checked = true;
    }
    available[EmailsBox] =
        EmailsBoxBesideAccountsSettingsOnly(available[AccountsSettingsOnlyBox].Checked, available[EmailsBox]);
    return available;
}

std::vector<std::string> TickedComponentNames(const TComponentBoxes& boxes)
{
    std::vector<std::string> ticked;
    for (const TComponentName& name : Names)
        if (boxes[name.Box].Checked)
            ticked.emplace_back(name.Name);
    return ticked;
}

} // namespace quillbank::cli
