// Walks the profile and its account folders to sort every file into the account, and words it for the report.

#include "engine/BackupAccount.h"

#include "config/InterfaceTexts.h"
#include "engine/BackupTask.h"
#include "engine/EntryFate.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <dirent.h>
#include <functional>
#include <memory>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace quillbank {

namespace {

constexpr std::string_view TextSection = "Quillbank14";

/// How many entries are walked between two turns of the window's events.
constexpr std::size_t EntriesBetweenEvents = 256;

/// The suffix of a message search index folder (one per mail folder).
constexpr std::string_view MessageIndexSuffix = ".mozmsgs";
/// The suffix of a database's shared-memory index of its log.
constexpr std::string_view SharedMemorySuffix = "-shm";

/// The language-file key of each rule's name, in TLeaveOutRule order.
constexpr std::string_view RuleTextKeys[LeaveOutRuleCount] = {
    "LANG_RULE_CACHE",      "LANG_RULE_LOCK_FILES", "LANG_RULE_REBUILT",
    "LANG_RULE_NOT_CHOSEN", "LANG_RULE_NOT_TICKED", "LANG_RULE_NO_COMPONENT",
};

std::string_view FirstPart(std::string_view relativeName)
{
    return relativeName.substr(0, relativeName.find(PathSeparator));
}

/// What the applications rebuild anywhere: databases' memory files and
/// message search indexes (the profile root's own entries follow its rules).
bool IsRebuiltByTheApplications(std::string_view relativeName)
{
    if (relativeName.ends_with(SharedMemorySuffix))
        return true;
    // Any folder on the way that is a message search index.
    for (std::size_t end = relativeName.find(PathSeparator); end != std::string_view::npos;
         end = relativeName.find(PathSeparator, end + 1))
        if (relativeName.substr(0, end).ends_with(MessageIndexSuffix))
            return true;
    return false;
}

bool IsUntickedEntry(std::string_view relativeName, const std::vector<TUnknownEntry>& unticked)
{
    const bool inFolder = relativeName.find(PathSeparator) != std::string_view::npos;
    return std::ranges::any_of(unticked, [&](const TUnknownEntry& entry) {
        return entry.IsDirectory ? inFolder && FirstPart(relativeName) == entry.Name
                                 : relativeName == entry.Name;
    });
}

/// Calls `visit` with the full path and the info of every file the task listed.
void ForEachListed(const TBackupTask& task,
                   const std::function<void(const std::string&, const TListedFileInfo&)>& visit)
{
    const std::string base = IncludeTrailingSeparator(task.BaseDir());
    for (std::size_t file = 0; file < task.Files().size(); ++file)
        visit(base + task.Files()[file], task.FileInfos()[file]);
    for (std::size_t file = 0; file < task.ExternalFiles().size(); ++file) {
        const TBackupTaskExternal& external = task.ExternalFiles()[file];
        visit(external.SourceDir + external.RelativeName, task.ExternalInfos()[file]);
    }
}

struct TFolderCloser
{
    void operator()(DIR* folder) const { ::closedir(folder); }
};
using TFolderHandle = std::unique_ptr<DIR, TFolderCloser>;

/// Calls `visit` with the name below `root` (which ends with a separator)
/// and the size of every regular file of its tree, except the files whose
/// full paths `passOver` holds, which are not even looked at. Links are
/// followed; each folder is read once, so that links cannot make the walk
/// loop.
void WalkRegularFiles(const std::string& root, const std::unordered_set<std::string>& passOver,
                      TUserInterface& ui, const std::function<void(const std::string&, std::int64_t)>& visit)
{
    std::set<std::pair<dev_t, ino_t>> visited;
    std::vector<std::string> folders = {""};
    std::size_t entries = 0;
    while (!folders.empty()) {
        const std::string folder = std::move(folders.back());
        folders.pop_back();
        const TFolderHandle handle(::opendir((root + folder).c_str()));
        struct stat info = {};
        if (!handle || ::fstat(::dirfd(handle.get()), &info) != 0 ||
            !visited.insert({info.st_dev, info.st_ino}).second)
            continue;
        while (const dirent* entry = ::readdir(handle.get())) {
            const std::string_view entryName = entry->d_name;
            if (entryName == "." || entryName == "..")
                continue;
            if (++entries % EntriesBetweenEvents == 0)
                ui.ProcessEvents();
            const std::string name = folder + entry->d_name;
            if (entry->d_type == DT_REG && passOver.contains(root + name))
                continue;
            // Looked up relative to the open folder: no long path to walk again.
            if (::fstatat(::dirfd(handle.get()), entry->d_name, &info, 0) != 0)
                continue;
            if (S_ISDIR(info.st_mode))
                folders.push_back(name + PathSeparator);
            else if (S_ISREG(info.st_mode))
                visit(name, static_cast<std::int64_t>(info.st_size));
        }
    }
}

/// Sorts the files that were not written by the rule that left them out.
class TRuleFinder
{
public:
    explicit TRuleFinder(const TAccountSources& sources) : unticked_(sources.Unticked)
    {
        ForEachListed(sources.NotChosen, [this](const std::string& path, const TListedFileInfo& info) {
            if (info.Component)
                notChosen_.emplace(path, *info.Component);
        });
    }

    /// The rule for the file at `root` + `relativeName`; `inProfile` when
    /// `root` is the profile folder.
    TLeaveOutRule RuleFor(const std::string& root, const std::string& relativeName, bool inProfile) const
    {
        const std::string_view entry = FirstPart(relativeName);
        const auto rule =
            inProfile ? LeaveOutRuleFor(entry, entry.size() < relativeName.size()) : std::nullopt;
        if (rule == TEntryFate::LockFile)
            return TLeaveOutRule::LockFiles;
        if (rule == TEntryFate::RebuiltCache || IsRebuiltByTheApplications(relativeName))
            return TLeaveOutRule::RebuiltCaches;
        if (const auto found = notChosen_.find(root + relativeName); found != notChosen_.end())
            return found->second == CacheBox ? TLeaveOutRule::Cache : TLeaveOutRule::ComponentNotChosen;
        if (inProfile && IsUntickedEntry(relativeName, unticked_))
            return TLeaveOutRule::UnknownNotTicked;
        return TLeaveOutRule::NoComponent;
    }

private:
    const std::vector<TUnknownEntry>& unticked_;
    /// The full path of every file a component not chosen would have listed.
    std::unordered_map<std::string, TComponentBox> notChosen_;
};

/// "<items>" joined by ", ".
void AppendItem(std::string& items, const std::string& item)
{
    items += (items.empty() ? "" : ", ") + item;
}

} // namespace

TFileCount TBackupAccount::Entries() const
{
    TFileCount total = UnknownEntries;
    for (const TFileCount& component : Components) {
        total.Files += component.Files;
        total.Bytes += component.Bytes;
    }
    return total;
}

TBackupAccount DrawUpAccount(const TAccountSources& sources, TUserInterface& ui)
{
    TBackupAccount account;
    account.LeftOutByFault = sources.Faults;
    std::unordered_set<std::string> faulty;
    for (const TLeftOutFile& fault : sources.Faults)
        faulty.insert(fault.Path);
    // Every path the backup took, whether it got in or was left out by a fault.
    std::unordered_set<std::string> accounted;
    ForEachListed(sources.Chosen, [&](const std::string& path, const TListedFileInfo& info) {
        if (!accounted.insert(path).second || faulty.contains(path))
            return;
        (info.Component ? account.Components[*info.Component] : account.UnknownEntries).Add(info.Size);
    });
    accounted.insert(faulty.begin(), faulty.end());

    const TRuleFinder rules(sources);
    const auto walk = [&](const std::string& root, bool inProfile) {
        WalkRegularFiles(root, accounted, ui, [&](const std::string& relativeName, std::int64_t size) {
            // A folder reached twice (an account folder inside another) counts once.
            if (!accounted.insert(root + relativeName).second)
                return;
            const TLeaveOutRule rule = rules.RuleFor(root, relativeName, inProfile);
            account.LeftOutByRule[static_cast<std::size_t>(rule)].Add(size);
        });
    };
    walk(IncludeTrailingSeparator(sources.ProfileDir), true);
    for (const std::string& folder : sources.AccountFolders)
        walk(IncludeTrailingSeparator(folder), false);
    return account;
}

std::vector<std::string> AccountReportLines(const TBackupAccount& account, const TInterfaceTexts& texts,
                                            bool trial)
{
    const auto files = [&](std::int64_t count) {
        return texts.GetTextFmt(TextSection, "LANG_ACCOUNT_FILES", std::to_string(count));
    };
    std::string parts;
    for (int box = 1; box <= ComponentBoxCount; ++box)
        if (const TFileCount& component = account.Components[box]; component.Files > 0)
            AppendItem(parts, texts.GetText("TForm1", "LANG_CHECKBOX" + std::to_string(box)) + " " +
                                  std::to_string(component.Files));
    if (account.UnknownEntries.Files > 0)
        AppendItem(parts, texts.GetText(TextSection, "LANG_ACCOUNT_UNKNOWN") + " " +
                              std::to_string(account.UnknownEntries.Files));
    const TFileCount entries = account.Entries();
    std::string summary = files(entries.Files) + ", " + HumanBytes(entries.Bytes);
    if (!parts.empty())
        summary += " (" + parts + ")";
    std::vector<std::string> lines = {
        texts.GetTextFmt(TextSection, trial ? "LANG_ACCOUNT_TO_BACK_UP" : "LANG_ACCOUNT_BACKED_UP", summary)};

    std::string rules;
    for (std::size_t rule = 0; rule < LeaveOutRuleCount; ++rule)
        if (account.LeftOutByRule[rule].Files > 0)
            AppendItem(rules, texts.GetText(TextSection, RuleTextKeys[rule]) + " " +
                                  std::to_string(account.LeftOutByRule[rule].Files));
    if (!rules.empty())
        lines.push_back(texts.GetTextFmt(TextSection, "LANG_ACCOUNT_BY_RULE", rules));
    if (!account.LeftOutByFault.empty())
        lines.push_back(texts.GetTextFmt(TextSection, "LANG_ACCOUNT_BY_FAULT",
                                         files(static_cast<std::int64_t>(account.LeftOutByFault.size()))));
    return lines;
}

} // namespace quillbank
