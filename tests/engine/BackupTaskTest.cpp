// Tests of listing a component's files by name masks: where searches descend, links, special files.

#include "engine/BackupTask.h"

#include "tests/support/FakeHome.h"
#include "tests/support/ScriptedUserInterface.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;
using quillbank::testing::TScriptedUserInterface;
namespace fs = std::filesystem;

namespace {

using TNames = std::vector<std::string>;

TNames Sorted(TNames names)
{
    std::sort(names.begin(), names.end());
    return names;
}

class BackupTaskTest : public ::testing::Test
{
protected:
    TFakeHome home;
    TScriptedUserInterface ui;
    std::string profile = home.MakeDir("profile") + "/";
    TBackupTask task{profile, profile, ui};

    void Write(const std::string& relativePath, const std::string& content = "x")
    {
        home.WriteFile("profile/" + relativePath, content);
    }
    void Link(const std::string& target, const std::string& relativePath)
    {
        fs::create_symlink(target, profile + relativePath);
    }
};

} // namespace

// Mask searches: "*.*" takes the whole tree, other masks stop where they find.

TEST_F(BackupTaskTest, EveryNameMaskTakesTheTreeButNotMessageIndexes)
{
    Write("Mail/Local Folders/Inbox", "12345");
    Write("Mail/Local Folders/Inbox.msf", "12");
    Write("Mail/Local Folders/Inbox.mozmsgs/a.wdseml");
    Write("Mail/Local Folders/Inbox.mozmsgs/deeper/b.wdseml");
    Write("Mail/.hidden", "123");
    Write("Mail/noextension");
    home.MakeDir("profile/Mail/empty");
    task.AddFolder("Mail", "*.*");
    EXPECT_EQ(Sorted(task.Files()), (TNames{"Mail/.hidden", "Mail/Local Folders/Inbox",
                                            "Mail/Local Folders/Inbox.msf", "Mail/noextension"}));
    EXPECT_EQ(task.TotalBytes(), 11);
    EXPECT_TRUE(task.ExternalFiles().empty());
    // Every folder the search finds lets events run, the skipped index included.
    EXPECT_EQ(ui.processEventsCount, 3);
}

TEST_F(BackupTaskTest, OtherMaskDescendsOnlyWhereNothingMatches)
{
    Write("abook.mab");
    Write("old/history.mab");
    task.AddFolder("", "*.mab");
    EXPECT_EQ(task.Files(), TNames{"abook.mab"});

    // Without a match in the profile itself, the sub-folders are searched.
    fs::remove(profile + "abook.mab");
    TBackupTask again(profile, profile, ui);
    again.AddFolder("", "*.mab");
    EXPECT_EQ(again.Files(), TNames{"old/history.mab"});
}

TEST_F(BackupTaskTest, FallbackDescentSearchesEachSubFolderByTheSameRule)
{
    Write("Mail/Local Folders/msgFilterRules.dat");
    Write("Mail/Local Folders/sub/deep.dat");
    Write("Mail/pop.example.com/Inbox.mozmsgs/popstate.dat");
    Write("Mail/pop.example.com/Inbox");
    task.AddFolder("Mail", "*.dat");
    EXPECT_EQ(Sorted(task.Files()), (TNames{"Mail/Local Folders/msgFilterRules.dat",
                                            "Mail/pop.example.com/Inbox.mozmsgs/popstate.dat"}));
    // The fallback searches are not the mask search: no events there.
    EXPECT_EQ(ui.processEventsCount, 0);
}

TEST_F(BackupTaskTest, FolderMatchingTheMaskIsAFindAndIsSearched)
{
    Write("books.mab/inside.mab");
    Write("books.mab/sub/deeper.mab");
    Write("other/elsewhere.mab");
    task.AddFolder("", "*.MAB");
    EXPECT_EQ(task.Files(), TNames{"books.mab/inside.mab"});
    EXPECT_EQ(ui.processEventsCount, 1);
}

TEST_F(BackupTaskTest, EmptyOrMissingFoldersContributeNothing)
{
    home.MakeDir("profile/extensions/empty/emptier");
    task.AddFolder("extensions", "*.*");
    task.AddFolder("extensions", "*.xpi");
    task.AddFolder("missing", "*.*");
    task.AddFile("missing.js");
    task.AddExternal("missing", profile);
    EXPECT_TRUE(task.Files().empty());
    EXPECT_TRUE(task.ExternalFiles().empty());
    EXPECT_EQ(task.TotalBytes(), 0);
}

// Where a listed file goes, how it is spelt and what it counts.

TEST_F(BackupTaskTest, FilesOutsideTheProfileAreExternalWithTheirRoot)
{
    home.WriteFile("mailstore/MyMail/Inbox", "1234");
    home.WriteFile("mailstore/MyMail/Inbox.sbd/Work", "12");
    const std::string root = home.Path() + "/mailstore/";
    task.ListFolder("MyMail", "*.*", root);
    EXPECT_TRUE(task.Files().empty());
    EXPECT_EQ(task.ExternalFiles(), (std::vector<TBackupTaskExternal>{{root, "MyMail/Inbox", {}},
                                                                      {root, "MyMail/Inbox.sbd/Work", {}}}));
    EXPECT_EQ(task.TotalBytes(), 6);
}

TEST_F(BackupTaskTest, ProfileTestUsesTheWizardsProfileFolderCaseIncluded)
{
    Write("prefs.js");
    TBackupTask other(profile, home.Path() + "/PROFILE/", ui);
    other.AddFolder("", "*.js");
    EXPECT_TRUE(other.Files().empty());
    EXPECT_EQ(other.ExternalFiles(), (std::vector<TBackupTaskExternal>{{profile, "prefs.js", {}}}));
}

TEST_F(BackupTaskTest, FileListedTwiceCountsTwice)
{
    Write("places.sqlite", "1234567");
    task.AddFile("places.sqlite");
    task.AddFile("places.sqlite");
    EXPECT_EQ(task.Files(), (TNames{"places.sqlite", "places.sqlite"}));
    EXPECT_EQ(task.TotalBytes(), 14);
}

TEST_F(BackupTaskTest, SizesAreSixtyFourBit)
{
    Write("big.sqlite", "");
    fs::resize_file(profile + "big.sqlite", 5'000'000'000);
    task.AddFile("big.sqlite");
    task.AddFile("big.sqlite");
    EXPECT_EQ(task.TotalBytes(), 10'000'000'000);
}

TEST_F(BackupTaskTest, NamesAreFoundRegardlessOfCaseAndListedAsOnDisk)
{
    Write("prefs.js");
    Write("extensions/{id}/install.rdf");
    task.AddFile("Prefs.JS");
    task.AddFolder("Extensions/", "*.*");
    EXPECT_EQ(task.Files(), (TNames{"prefs.js", "extensions/{id}/install.rdf"}));
}

// Links and special files.

TEST_F(BackupTaskTest, LinksAreFollowedAndLoopsEnd)
{
    Write("chrome/userChrome.css", "123");
    home.WriteFile("shared/common.css", "12345");
    Link(home.Path() + "/shared/common.css", "chrome/common.css");
    Link(home.Path() + "/shared", "linked");
    Link("..", "chrome/up");
    Link(".", "chrome/self");
    task.AddFolder("", "*.*");
    EXPECT_EQ(Sorted(task.Files()),
              (TNames{"chrome/common.css", "chrome/userChrome.css", "linked/common.css"}));
    EXPECT_EQ(task.TotalBytes(), 13);
}

TEST_F(BackupTaskTest, DanglingLinksAndSpecialFilesAreNotListed)
{
    Link("127.0.0.1:+4242", "lock");
    ASSERT_EQ(::mkfifo((profile + "fifo").c_str(), 0600), 0);
    Write("times.json", "12");
    task.AddFolder("", "*.*");
    task.AddFile("lock");
    task.AddFile("fifo");
    EXPECT_EQ(task.Files(), TNames{"times.json"});
    EXPECT_EQ(task.TotalBytes(), 2);
}

TEST_F(BackupTaskTest, FileThatCannotBeOpenedThrowsNamingIt)
{
    Write("cookies.sqlite");
    const std::string path = profile + "cookies.sqlite";
    fs::permissions(path, fs::perms::none);
    const auto throwsNamingIt = [&] {
        try {
            task.AddFolder("", "*.sqlite");
            return false;
        } catch (const ETaskFileError& error) {
            return std::string(error.what()).find(path) != std::string::npos && task.Files().empty();
        }
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(throwsNamingIt());
        EXPECT_THROW(task.AddExternal("cookies.sqlite", profile), ETaskFileError);
        return;
    }
    // Permissions do not bind root: check as an ordinary user, in a child process.
    fs::permissions(home.Path(), fs::perms::others_exec, fs::perm_options::add);
    fs::permissions(profile, fs::perms::others_exec, fs::perm_options::add);
    EXPECT_EXIT(std::_Exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && throwsNamingIt() ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
}

TEST_F(BackupTaskTest, AFolderOfManyFilesIsSizedWholeAndFailsOnItsFirstUnreadableFile)
{
    // Enough files for their sizes to be taken on every core.
    for (int i = 0; i < 3000; ++i)
        Write("cache2/entries/e" + std::to_string(10000 + i),
              std::string(static_cast<std::size_t>(i % 7), 'x'));
    task.AddFolder("cache2", "*.*");
    ASSERT_EQ(task.Files().size(), 3000u);
    EXPECT_EQ(task.Files()[1234], "cache2/entries/e11234");
    EXPECT_EQ(task.FileInfos()[1234].Size, 1234 % 7);

    for (const char* name : {"e12500", "e10700"})
        fs::permissions(profile + "cache2/entries/" + name, fs::perms::none);
    TBackupTask again{profile, profile, ui};
    const auto failsOnTheFirst = [&] {
        try {
            again.AddFolder("cache2", "*.*");
            return false;
        } catch (const ETaskFileError& error) {
            return std::string(error.what()).find("e10700") != std::string::npos;
        }
    };
    if (::geteuid() != 0) {
        EXPECT_TRUE(failsOnTheFirst());
        return;
    }
    fs::permissions(home.Path(), fs::perms::others_exec, fs::perm_options::add);
    for (const char* folder : {"", "cache2", "cache2/entries"})
        fs::permissions(profile + folder, fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
    for (const auto& file : fs::directory_iterator(profile + "cache2/entries"))
        fs::permissions(file.path(), fs::perms::others_read, fs::perm_options::add);
    for (const char* name : {"e12500", "e10700"})
        fs::permissions(profile + "cache2/entries/" + name, fs::perms::none);
    EXPECT_EXIT(std::_Exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && failsOnTheFirst() ? 0 : 1),
                ::testing::ExitedWithCode(0), "");
}
