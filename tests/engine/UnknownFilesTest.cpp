// Tests of finding the profile's files that no component knows, and of the choice of which to take.

#include "config/InterfaceTexts.h"
#include "engine/Catalogue.h"
#include "engine/Extensions.h"
#include "engine/KnownFiles.h"
#include "engine/UnknownFilesChoice.h"
#include "tests/support/FakeHome.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;
namespace fs = std::filesystem;

namespace {

using TItems = std::vector<TUnknownEntry>;

class UnknownFilesTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string programDir = home.MakeDir("program");
    std::string profile = home.MakeDir("profile") + "/";
    /// Every component offered unless a test withholds some.
    TComponentBoxes offered;

    TKnownFiles Known(const std::string& lines)
    {
        home.WriteFile("program/PROFILEFILES.TXT", lines);
        return TKnownFiles(programDir);
    }

    TItems Scan(const TKnownFiles& known)
    {
        TItems found = known.FindUnknown(profile, offered);
        std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.Name < b.Name; });
        return found;
    }
};

} // namespace

TEST_F(UnknownFilesTest, ReadsTheKnownList)
{
    const TKnownFiles known =
        Known("prefs.js\r\nextensions\\*.*\r\nchrome/*.*\r\n*.mab\r\n\r\nnotes.txt \nbad *.* \nlast");
    EXPECT_EQ(known.KnownItems(), (TItems{{"prefs.js", false},
                                          {"extensions", true},
                                          {"chrome", true},
                                          {"*.mab", false},
                                          {"", false},
                                          {"notes.txt ", false},
                                          {"bad ", true},
                                          {"last", false}}));
    EXPECT_THROW(TKnownFiles{home.MakeDir("empty")}, EKnownFilesError);
}

TEST_F(UnknownFilesTest, FindsWhatTheListDoesNotCover)
{
    const TKnownFiles known = Known("prefs.js\nuser.js\nextensions/*.*\nchrome/*.*\n*.mab\n\n");
    for (const char* name : {"prefs.js", "Prefs.JS", "abook.mab", "x.mab/f", "extensions/a", "Extensions/b",
                             "user.js/f", "chrome", ".hidden"})
        home.WriteFile(std::string("profile/") + name, "x");
    fs::create_symlink("127.0.0.1:+4242", profile + "lock");
    EXPECT_EQ(Scan(known), (TItems{{".hidden", false},
                                   {"Extensions", true},
                                   {"Prefs.JS", false},
                                   {"chrome", false},
                                   {"user.js", true},
                                   {"x.mab", true}}));
    EXPECT_TRUE(known.FindUnknown(profile + "missing/", offered).empty());
}

TEST_F(UnknownFilesTest, TheShippedListKnowsEveryComponentEntry)
{
    const TKnownFiles known(QUILLBANK_SOURCE_DIR "/data");
    std::vector<std::string> missing;
    // Only names of the profile root: the root's own masks and files below
    // a folder ("chrome/userChrome.css") are not scanned entries.
    auto check = [&](std::string_view name, bool isDirectory) {
        if (!name.empty() && name.find('/') == std::string_view::npos &&
            !known.IsKnown(std::string(name), isDirectory))
            missing.emplace_back(name);
    };
    for (const TBackupComponent& component : BackupComponents()) {
        for (std::string_view file : component.Files)
            check(file, false);
        for (const TFolderMask& folder : component.Folders)
            check(folder.Folder, true);
    }
    for (std::string_view file : EmailsBackup().Files)
        check(file, false);
    for (const TFolderMask& folder : EmailsBackup().FullProfileFolders)
        check(folder.Folder, true);
    for (const TExtensionDataEntry& entry : ExtensionDataEntries())
        check(entry.Name, entry.IsFolder);
    EXPECT_EQ(missing, std::vector<std::string>{});
}

TEST(UnknownFilesChoice, RowsTicksAndSavedStates)
{
    TFakeHome home;
    const TInterfaceTexts texts(home.Path() + "/Default.lng");
    TUnknownFilesChoice model;
    model.Fill({{"extensions_old", true}, {"a.txt", false}, {"b", false}}, texts);
    EXPECT_EQ(model.RowTexts(), (std::vector<std::string>{"extensions_old (directory)", "a.txt", "b"}));
    // A name cannot add a row or hide part of itself.
    model.Fill({{"two\nrows", true}, {"c\r\x1b[0m.txt", false}}, texts);
    EXPECT_EQ(model.RowTexts(), (std::vector<std::string>{"two\\nrows (directory)", "c\\r\\x1b[0m.txt"}));
    model.Fill({{"extensions_old", true}, {"a.txt", false}, {"b", false}}, texts);
    // Never shown: every row counts as ticked.
    EXPECT_EQ(model.Ticks(), (std::vector<bool>{true, true, true}));

    model.Show();
    model.SetTicked(0, false);
    model.SetTicked(2, false);
    model.Cancel();
    EXPECT_EQ(model.Ticks(), (std::vector<bool>{true, true, true}));

    model.Show();
    model.SetTicked(0, false);
    model.SetTicked(2, false);
    model.Ok();
    // Showing again puts back what OK saved.
    model.SetTicked(1, false);
    model.Show();
    EXPECT_EQ(model.Ticks(), (std::vector<bool>{false, true, false}));

    model.SetAllBoxTicked(false);
    EXPECT_EQ(model.Ticks(), (std::vector<bool>{false, false, false}));
    model.SetAllBoxTicked(true);
    EXPECT_EQ(model.Ticks(), (std::vector<bool>{true, true, true}));

    // Rows built anew start ticked and forget what was saved.
    model.SetAllBoxTicked(false);
    model.Fill({{"x", false}, {"y", false}}, texts);
    EXPECT_FALSE(model.SavedStates());
    model.Show();
    EXPECT_EQ(model.Ticks(), (std::vector<bool>{true, true}));
    EXPECT_FALSE(model.AllBoxTicked());
}

TEST_F(UnknownFilesTest, DatabaseLogsAreNeverOfferedAndNumberedAddressBooksAreKnown)
{
    const TKnownFiles known(QUILLBANK_SOURCE_DIR "/data");
    for (const char* name : {"abook-3.sqlite", "abook-3.sqlite-wal", "places.sqlite-shm", "key4.db-wal",
                             "bounce-tracking-protection.sqlite", "bounce-tracking-protection.sqlite-wal",
                             "notes-wal", "abook-3.sqlite.bak"})
        home.WriteFile(std::string("profile/") + name, "x");
    EXPECT_EQ(Scan(known), (TItems{{"abook-3.sqlite.bak", false},
                                   {"bounce-tracking-protection.sqlite", false},
                                   {"notes-wal", false}}));
}

TEST_F(UnknownFilesTest, KnownEntriesOfComponentsTheProfileDoesNotOfferAreUnknown)
{
    const TKnownFiles known(QUILLBANK_SOURCE_DIR "/data");
    for (const char* name : {"prefs.js", "places.sqlite", "gm_scripts/a.user.js", "stylish.rdf",
                             "cert8.dir/x", "chrome/userChrome.css", "Mail/Local Folders/Inbox",
                             ".parentlock", "parent.lock", "compatibility.ini", "folderCache.json"})
        home.WriteFile(std::string("profile/") + name, "x");
    EXPECT_EQ(Scan(known), TItems{});

    for (TComponentBox box : {ExtensionsBox, CertificatesBox, EmailsBox, AccountsSettingsOnlyBox})
        offered[box] = {false, false};
    // The locks and the rebuilt caches stay out by rule; "chrome" is more
    // than the user styles.
    EXPECT_EQ(Scan(known), (TItems{{"Mail", true},
                                   {"cert8.dir", true},
                                   {"chrome", true},
                                   {"gm_scripts", true},
                                   {"stylish.rdf", false}}));
}

TEST_F(UnknownFilesTest, LeftoversOfAnInterruptedRunAreNeverOffered)
{
    const TKnownFiles known(QUILLBANK_SOURCE_DIR "/data");
    for (const char* name :
         {"prefs.js.qbpart-Ab3xY9", "prefs.zal", ".Firefox.qkz.qbpart", ".Firefox.qkz.qbpart.q1W2e3",
          "notes.qbpart-abc", "notes.qbpart-abcdefg", "notes.qbpart-abc de", "prefs.zal.old", ".qbpart"})
        home.WriteFile(std::string("profile/") + name, "x");
    home.MakeDir("profile/folder.qbpart-Ab3xY9");
    EXPECT_EQ(Scan(known), (TItems{{".qbpart", false},
                                   {"folder.qbpart-Ab3xY9", true},
                                   {"notes.qbpart-abc", false},
                                   {"notes.qbpart-abc de", false},
                                   {"notes.qbpart-abcdefg", false},
                                   {"prefs.zal.old", false}}));
}
