// Tests of which component takes an entry and which rules leave entries out whatever is ticked.

#include "engine/EntryFate.h"

#include "engine/KnownFiles.h"

#include <string>

#include <gtest/gtest.h>

using namespace quillbank;

namespace {

using enum TEntryFate;

/// Boxes with every component offered and none ticked, then changed by the test.
class EntryFateTest : public ::testing::Test
{
protected:
    TComponentBoxes boxes;

    void Tick(TComponentBox box) { boxes[box].Checked = true; }
    void Withhold(TComponentBox box) { boxes[box] = {false, false}; }

    TEntryFate File(std::string_view name) const { return FateOfProfileEntry(name, false, boxes); }
    TEntryFate Folder(std::string_view name) const { return FateOfProfileEntry(name, true, boxes); }
};

} // namespace

TEST_F(EntryFateTest, AnEntryIsTakenByAnyTickedComponentOfItsOwn)
{
    // places.sqlite belongs to Bookmarks and History alike.
    EXPECT_EQ(File("places.sqlite"), ComponentNotChosen);
    Tick(HistoryBox);
    EXPECT_EQ(File("places.sqlite"), TakenByComponent);
    Withhold(HistoryBox);
    EXPECT_EQ(File("places.sqlite"), ComponentNotChosen);
    Withhold(BookmarksBox);
    EXPECT_EQ(File("places.sqlite"), UnknownEntry);

    // Masks of the profile root, extension data, whole folders; any letter case.
    Tick(SavedPasswordsBox);
    Tick(ExtensionsBox);
    Tick(CertificatesBox);
    for (const char* file : {"12345678.S", "stylish.rdf"})
        EXPECT_EQ(File(file), TakenByComponent) << file;
    EXPECT_EQ(File("PREFS.JS"), ComponentNotChosen);
    for (const char* folder : {"gm_scripts", "Cert8.dir", "extensions", "chrome"})
        EXPECT_EQ(Folder(folder), TakenByComponent) << folder;
    // Extensions takes only its own part of "storage", so not the folder.
    EXPECT_EQ(Folder("storage"), UnknownEntry);
    // A file is not a folder, nor the reverse.
    EXPECT_EQ(Folder("prefs.js"), UnknownEntry);
    EXPECT_EQ(File("gm_scripts"), UnknownEntry);
    EXPECT_EQ(File("notes.txt"), UnknownEntry);
}

TEST_F(EntryFateTest, AccountsSettingsOnlyTakesTheSettingsButNotTheMailFolders)
{
    Tick(EmailsBox);
    EXPECT_EQ(Folder("Mail"), TakenByComponent);
    EXPECT_EQ(File("global-messages-db.sqlite"), TakenByComponent);
    // The wizard unticks and disables Emails while its modifier is ticked:
    // the mail folders are then the user's choice, not unknown entries.
    boxes[EmailsBox] = {false, false};
    Tick(AccountsSettingsOnlyBox);
    EXPECT_EQ(File("prefs.js"), TakenByComponent);
    EXPECT_EQ(File("global-messages-db.sqlite"), ComponentNotChosen);
    for (const char* folder : {"Mail", "ImapMail", "News"})
        EXPECT_EQ(Folder(folder), ComponentNotChosen) << folder;
    Withhold(AccountsSettingsOnlyBox);
    EXPECT_EQ(Folder("Mail"), UnknownEntry);
}

TEST_F(EntryFateTest, RulesLeaveOutLocksAndRebuiltCachesWhateverIsTicked)
{
    for (int box = 1; box <= ComponentBoxCount; ++box)
        boxes.Boxes[box].Checked = true;
    for (const char* lock : {".parentlock", "parent.lock", "lock"})
        EXPECT_EQ(File(lock), LockFile) << lock;
    for (const char* cache : {"compatibility.ini", "folderCache.json"})
        EXPECT_EQ(File(cache), RebuiltCache) << cache;
    // The rules name files exactly as the applications write them.
    EXPECT_EQ(Folder("lock"), UnknownEntry);
    EXPECT_EQ(File("Lock"), UnknownEntry);
}

TEST_F(EntryFateTest, EveryEntryOfTheShippedListHasAComponentOrARule)
{
    const TKnownFiles known(QUILLBANK_SOURCE_DIR "/data");
    for (const TUnknownEntry& item : known.KnownItems()) {
        std::string name = item.Name;
        if (const auto star = name.find('*'); star != std::string::npos)
            name[star] = 'x'; // "*.mab": a file it stands for
        EXPECT_NE(FateOfProfileEntry(name, item.IsDirectory, boxes), UnknownEntry) << name;
    }
}
