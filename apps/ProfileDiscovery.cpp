// Reads profile roots into the profile list, finds default profiles, and checks which components one offers.

#include "apps/ProfileDiscovery.h"

#include "apps/AppTable.h"
#include "apps/WizardState.h"
#include "config/InterfaceTexts.h"
#include "platform/FileSystem.h"
#include "platform/SpecialFolders.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "profile/PrefsParser.h"

#include <algorithm>
#include <filesystem>

namespace quillbank {

namespace {

/// The profile is unusable: say so, then end the program at once.
[[noreturn]] void RejectProfile(const TInterfaceTexts& texts, TUserInterface& ui)
{
    ui.ShowWarning(texts.GetText("TForm1", "LANG_WARNING"), texts.GetText("TForm1", "LANG_BAD_PROFIL"));
    ui.ExitImmediately(1);
}

/// Whether a file of this name lies in the profile, found as a
/// case-insensitive file system would find it.
bool HoldsFile(const std::string& profileDir, std::string_view relativePath)
{
    const auto found = ResolvePathIgnoreCase(profileDir, relativePath);
    return found && FileExists(*found);
}

bool HoldsFolder(const std::string& profileDir, std::string_view name)
{
    const auto found = ResolvePathIgnoreCase(profileDir, name);
    return found && DirectoryExists(*found);
}

bool HoldsMatch(const std::string& profileDir, std::string_view pattern)
{
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(profileDir, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        if (MatchesWildcard(it->path().filename().string(), pattern))
            return true;
    return false;
}

/// Whether any of the names (files, or wildcard patterns) lies in the profile.
bool HoldsAny(const std::string& profileDir, std::initializer_list<std::string_view> names)
{
    return std::any_of(names.begin(), names.end(), [&profileDir](std::string_view name) {
        return name.find('*') != std::string_view::npos ? HoldsMatch(profileDir, name)
                                                        : HoldsFile(profileDir, name);
    });
}

TComponentBoxes ComponentAvailability(const std::string& profileDir)
{
    TComponentBoxes boxes;
    auto decide = [&boxes](TComponentBox box, bool present) {
        if (present)
            boxes[box].Checked = true;
        else
            boxes[box].Enabled = false;
    };
    decide(GeneralSettingsBox, true);
    // Mail folders are offered even when prefs.js no longer names their accounts.
    decide(EmailsBox, HasMailSettings(profileDir) || HoldsFolder(profileDir, "Mail") ||
                          HoldsFolder(profileDir, "ImapMail") || HoldsFolder(profileDir, "News"));
    decide(AddressBooksBox,
           HoldsAny(profileDir, {"abook.mab", "abook.sqlite", "history.sqlite", "abook-*.sqlite"}));
    decide(BookmarksBox,
           HoldsAny(profileDir, {"bookmarks.html", "bookmarks_history.sqlite", "places.sqlite"}));
    decide(HistoryBox, HoldsAny(profileDir, {"history.dat", "bookmarks_history.sqlite", "places.sqlite"}));
    decide(SidebarsBox, HoldsAny(profileDir, {"panels.rdf"}));
    decide(UserStylesBox, HoldsAny(profileDir, {"chrome/userChrome.css", "chrome/userContent.css"}));
    decide(SavedPasswordsBox,
           HoldsAny(profileDir, {"*.s", "signons.txt", "signons2.txt", "signons3.txt", "signons4.txt",
                                 "signons.sqlite", "logins.json", "logins.db"}));
    decide(CookiesBox, HoldsAny(profileDir, {"cookies.txt", "cookies.sqlite"}));
    decide(SavedFormDetailsBox,
           HoldsAny(profileDir, {"*.w", "formhistory.dat", "formhistory.sqlite", "autofill-profiles.json"}));
    decide(DownloadedFileListBox, HoldsAny(profileDir, {"downloads.rdf", "downloads.sqlite"}));
    decide(CertificatesBox,
           HoldsAny(profileDir, {"key3.db", "cert7.db", "cert8.db", "secmod.db", "cert9.db", "key4.db"}));

    // Today's profiles keep their add-on database even before an add-on
    // lives in the "extensions" folder.
    const bool extensions = HoldsFolder(profileDir, "Extensions") || HoldsFile(profileDir, "extensions.json");
    boxes[ExtensionsBox] = {extensions, extensions};
    boxes.ExtensionsHintVisible = !extensions;
    // The cache is offered, never proposed.
    if (!HoldsFolder(profileDir, "Cache"))
        boxes[CacheBox].Enabled = false;
    if (!boxes[EmailsBox].Enabled)
        boxes[AccountsSettingsOnlyBox].Enabled = false;
    return boxes;
}

/// Whether the wizard's profile list offers the profile: a legacy
/// registry's folders are offered only when they are profile folders.
bool OfferedInTheList(const TAppProfile& profile)
{
    return !profile.FromLegacyRegistry() || profile.Folder().find(".slt") != std::string::npos;
}

} // namespace

std::optional<std::string> FindProfileRegistryRoot(const std::vector<std::string_view>& roots)
{
    for (std::string_view place : roots) {
        const std::string root = IncludeTrailingSeparator(ExpandPlace(place));
        if (HoldsProfileRegistry(root))
            return root;
    }
    return std::nullopt;
}

std::string ProfileRootOf(AppType type)
{
    const auto& roots = AppInfo(type).ProfileRoots;
    if (auto root = FindProfileRegistryRoot(roots))
        return *root;
    // No profile yet: where the application would make its first one, the
    // first root that exists, else the first of all.
    for (std::string_view place : roots)
        if (DirectoryExists(ExpandPlace(place)))
            return IncludeTrailingSeparator(ExpandPlace(place));
    return IncludeTrailingSeparator(ExpandPlace(roots.front()));
}

std::vector<std::string> FindProfileRegistryRoots(const std::vector<std::string_view>& roots)
{
    std::vector<std::string> found;
    for (std::string_view place : roots) {
        const std::string root = IncludeTrailingSeparator(ExpandPlace(place));
        if (HoldsProfileRegistry(root) &&
            std::none_of(found.begin(), found.end(),
                         [&root](const std::string& other) { return SameFolder(root, other); }))
            found.push_back(root);
    }
    return found;
}

bool SameFolder(const std::string& a, const std::string& b)
{
    std::error_code error;
    const auto first = std::filesystem::weakly_canonical(WithoutTrailingSeparators(a), error);
    const auto second =
        error ? first : std::filesystem::weakly_canonical(WithoutTrailingSeparators(b), error);
    return error ? WithoutTrailingSeparators(a) == WithoutTrailingSeparators(b) : first == second;
}

std::string FolderForDisplay(const std::string& folder)
{
    const std::string home = IncludeTrailingSeparator(HomeDir());
    const std::string path = WithoutTrailingSeparators(folder);
    return home.size() > 1 && path.starts_with(home) ? "~/" + path.substr(home.size()) : path;
}

std::vector<TAppProfile> ReadProfilesOfRoots(const std::vector<std::string>& roots, TIsRelativeRule rule)
{
    std::vector<TAppProfile> profiles;
    for (const std::string& root : roots) {
        const std::size_t earlierRoots = profiles.size();
        for (TAppProfile& profile : ReadProfileRegistry(root, rule).Profiles) {
            const auto earlier = profiles.begin() + static_cast<std::ptrdiff_t>(earlierRoots);
            if (std::none_of(profiles.begin(), earlier, [&profile](const TAppProfile& listed) {
                    return SameFolder(listed.Folder(), profile.Folder());
                }))
                profiles.push_back(std::move(profile));
        }
    }
    return profiles;
}

namespace {

/// The one folder of `folders`, when they all name the same.
std::optional<std::string> OnlyFolder(const std::vector<std::string>& folders)
{
    if (folders.empty() || std::any_of(folders.begin(), folders.end(), [&folders](const std::string& folder) {
            return !SameFolder(folder, folders.front());
        }))
        return std::nullopt;
    return folders.front();
}

} // namespace

std::optional<std::string> DefaultProfileFolder(const std::string& root)
{
    if (auto folder = OnlyFolder(InstallsIniDefaults(root)))
        return folder;
    const TProfileRegistry registry = ReadProfileRegistry(root, TIsRelativeRule::OnlyOne);
    if (auto folder = OnlyFolder(registry.InstallationDefaults))
        return folder;
    return registry.MarkedDefault;
}

void ListProfiles(TWizardState& state, const TInterfaceTexts& texts)
{
    state.ProfileList.clear();
    if (!IsKnownAppType(state.SelectedAppType)) {
        ReadProfileList(state, state.ProfileDir);
    } else {
        const TAppInfo& info = AppInfo(state.SelectedAppType);
        state.ProfileDir = ProfileRootOf(state.SelectedAppType);
        state.ProfileEntries.clear();
        const auto roots = FindProfileRegistryRoots(info.ProfileRoots);
        // Profiles from several roots are told apart by their root.
        for (const TAppProfile& profile : ReadProfilesOfRoots(roots, TIsRelativeRule::LowByteNotZero)) {
            TProfileEntry entry{profile.Name(), profile.Folder()};
            entry.Root = profile.Root();
            if (roots.size() > 1)
                entry.Line = entry.Name + " (" + FolderForDisplay(profile.Root()) + ")";
            if (OfferedInTheList(profile))
                state.ProfileList.push_back(entry.ListLine());
            state.ProfileEntries.push_back(std::move(entry));
        }
        if (state.ProfileEntries.empty() && !info.FallbackProfileRoot.empty())
            ReadProfileList(state, IncludeTrailingSeparator(ExpandPlace(info.FallbackProfileRoot)));
    }
    if (!state.PortableProfileDir.empty())
        state.ProfileList.push_back(texts.GetText("Quillbank14", "LANG_PORTABLE_PROFILE"));
}

std::string ProfileNameOfLine(const TWizardState& state, const std::string& line)
{
    const auto entry = std::find_if(state.ProfileEntries.begin(), state.ProfileEntries.end(),
                                    [&line](const TProfileEntry& e) { return e.ListLine() == line; });
    return entry == state.ProfileEntries.end() ? line : entry->Name;
}

void ReadProfileList(TWizardState& state, const std::string& root)
{
    state.ProfileEntries.clear();
    for (const TAppProfile& profile : ReadProfileRegistry(root, TIsRelativeRule::LowByteNotZero).Profiles) {
        state.ProfileEntries.push_back({profile.Name(), profile.Folder()});
        if (OfferedInTheList(profile))
            state.ProfileList.push_back(profile.Name());
    }
}

void ChoosePortableProfile(TWizardState& state, const TInterfaceTexts& texts, TUserInterface& ui)
{
    const auto folder = ui.ChooseFolder(texts.GetText("Quillbank14", "LANG_PORTABLE_SELECT_PROFILE"), {});
    if (!folder)
        return;
    const std::string chosen = folder->size() > 1 && folder->ends_with(PathSeparator)
                                   ? folder->substr(0, folder->size() - 1)
                                   : *folder;
    if (!HoldsFile(IncludeTrailingSeparator(chosen), "prefs.js")) {
        ui.ShowError(texts.GetText("Quillbank14", "LANG_ERROR"),
                     texts.GetText("Quillbank14", "LANG_NO_PROFIL2"));
        return;
    }
    // The first portable folder chosen stays for the rest of the run.
    const std::string line = texts.GetText("Quillbank14", "LANG_PORTABLE_PROFILE");
    if (std::find(state.ProfileList.begin(), state.ProfileList.end(), line) != state.ProfileList.end())
        return;
    state.ProfileList.push_back(line);
    state.PortableProfileDir = chosen;
}

TComponentBoxes CheckProfile(TWizardState& state, const TInterfaceTexts& texts, TUserInterface& ui)
{
    std::optional<std::string> folder;
    if (state.SelectedProfileLine) {
        const auto entry = std::find_if(
            state.ProfileEntries.begin(), state.ProfileEntries.end(),
            [&state](const TProfileEntry& e) { return e.ListLine() == *state.SelectedProfileLine; });
        if (entry != state.ProfileEntries.end())
            folder = entry->Path + PathSeparator;
    }
    if (!folder && !state.PortableProfileDir.empty())
        folder = state.PortableProfileDir + PathSeparator;
    if (!folder)
        RejectProfile(texts, ui);
    state.ProfileDir = *folder;
    return CheckProfileFolder(*folder, texts, ui);
}

TComponentBoxes CheckProfileFolder(const std::string& profileDir, const TInterfaceTexts& texts,
                                   TUserInterface& ui)
{
    const std::string folder = IncludeTrailingSeparator(profileDir);
    if (!HoldsFile(folder, "prefs.js"))
        RejectProfile(texts, ui);
    try {
        return ComponentAvailability(folder);
    } catch (const std::exception&) {
        RejectProfile(texts, ui);
    }
}

} // namespace quillbank
