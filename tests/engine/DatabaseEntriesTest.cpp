// A database entry and its log's entry are extracted as one: both are read
// and checked before the target's database, "-wal" and "-shm" change, and
// they change together.
#include "config/errorlog.h"
#include "engine/Archive.h"
#include "engine/BackupTask.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

using namespace quillbank;
using namespace quillbank::testing;
namespace fs = std::filesystem;

namespace {

using Files = std::map<std::string, std::string>;

class DatabaseEntriesTest : public TArchiveTest
{
protected:
    std::string archive = home.Path() + "/backup.qkz";
    std::string out = home.MakeDir("out");
    /// The target's files before the extract: a database with its log and index.
    Files old = {{"places.sqlite", "old database"},
                 {"places.sqlite-wal", "old log"},
                 {"places.sqlite-shm", "old index"}};

    DatabaseEntriesTest()
    {
        for (const auto& [name, content] : old)
            home.WriteFile("out/" + name, content);
    }

    /// Every file in the target folder with its content.
    Files Target() const
    {
        Files files;
        for (const std::string& name : EntryNamesIn(out))
            files[name] = fs::is_directory(out + "/" + name) ? "(folder)" : ReadFileForTest(out + "/" + name);
        return files;
    }

    /// Backs up `files` from a source profile into the archive with `password`.
    void Backup(const Files& files, const std::string& password = "")
    {
        const std::string source = home.MakeDir("source") + "/";
        TBackupTask task(source, source, ui);
        for (const auto& [name, content] : files) {
            home.WriteFile("source/" + name, content);
            task.AddFile(name);
        }
        TArchive(archive, password, source, Environment()).AddTask(task, "Quillbank\r\n");
    }

    int Extract(const std::string& spec)
    {
        return TArchive(archive, "", out, Environment()).ExtractFile(spec);
    }

    std::string ErrorLog() const { return ErrorLogMessages(); }
};

} // namespace

TEST_F(DatabaseEntriesTest, ADatabaseBringsItsLogAlongAndTheTargetsLogAndIndexGo)
{
    Backup({{"places.sqlite", "new database"}, {"places.sqlite-wal", "new log"}, {"cookies.sqlite", "c"}});
    home.WriteFile("out/cookies.sqlite-wal", "old cookie log");
    home.WriteFile("out/cookies.sqlite-shm", "old cookie index");
    EXPECT_EQ(Extract("places.sqlite"), 2);
    EXPECT_EQ(Extract("cookies.sqlite"), 1);
    EXPECT_EQ(Target(), (Files{{"places.sqlite", "new database"},
                               {"places.sqlite-wal", "new log"},
                               {"cookies.sqlite", "c"}}));
    EXPECT_EQ(ErrorLog(), "");
}

TEST_F(DatabaseEntriesTest, ADamagedDatabaseOrLogEntryLeavesTheTargetsFilesAsTheyWere)
{
    for (const char* damaged : {"places.sqlite", "places.sqlite-wal"}) {
        std::vector<TZipEntrySpec> entries = {{"places.sqlite", "new database", true},
                                              {"places.sqlite-wal", std::string(3000, 'w'), true}};
        for (TZipEntrySpec& entry : entries)
            if (entry.Name == damaged)
                entry.DeclaredCrc = 12345;
        home.WriteFile("backup.qkz", BuildZip(entries));
        fs::remove(ErrorLogPath());
        EXPECT_EQ(Extract("*"), 0) << damaged;
        EXPECT_EQ(Target(), old) << damaged;
        const std::string other =
            damaged == std::string("places.sqlite") ? "places.sqlite-wal" : "places.sqlite";
        EXPECT_NE(ErrorLog().find("\"" + std::string(damaged) + "\" not extracted: the archive is damaged"),
                  std::string::npos)
            << ErrorLog();
        EXPECT_NE(ErrorLog().find("\"" + other + "\" not extracted: it goes only with \"" + damaged + "\""),
                  std::string::npos)
            << ErrorLog();
    }
}

// The log was protected with another password than its database: once the
// question is given up, neither is written.
TEST_F(DatabaseEntriesTest, AWrongPasswordForTheLogAloneLeavesTheTargetsFilesAsTheyWere)
{
    Backup({{"places.sqlite", "new database"}}, "right");
    Backup({{"places.sqlite-wal", "new log"}}, "other");
    state.BackupPassword = "right";
    ui.QueuePassword(std::nullopt);
    EXPECT_EQ(Extract("places.sqlite"), 0);
    EXPECT_EQ(ui.calls, std::vector<std::string>{"password"});
    EXPECT_EQ(Target(), old);
    EXPECT_NE(ErrorLog().find("\"places.sqlite-wal\" not extracted: no or wrong password"), std::string::npos)
        << ErrorLog();
    EXPECT_NE(ErrorLog().find("\"places.sqlite\" not extracted: it goes only with \"places.sqlite-wal\""),
              std::string::npos)
        << ErrorLog();
}

TEST_F(DatabaseEntriesTest, ALogOrIndexIsNeverExtractedWithoutItsDatabase)
{
    home.WriteFile("backup.qkz", BuildZip({{"places.sqlite-wal", "foreign log"},
                                           {"places.sqlite-shm", "foreign index"},
                                           {"sub/key4.db-wal", "foreign log"},
                                           {"cookies.sqlite", "c"},
                                           {"cookies.sqlite-SHM", "foreign index"}}));
    EXPECT_EQ(Extract("*"), 1);
    Files expected = old;
    expected["cookies.sqlite"] = "c";
    EXPECT_EQ(Target(), expected);
    for (const char* name :
         {"places.sqlite-wal", "places.sqlite-shm", "sub/key4.db-wal", "cookies.sqlite-SHM"})
        EXPECT_NE(ErrorLog().find(std::string("\"") + name +
                                  "\" not extracted: it is restored only with its database"),
                  std::string::npos)
            << name << ": " << ErrorLog();
}

// The target's "-wal" cannot be set aside, or its "-shm" cannot be removed
// (each is a folder with a file in it): the database and its log stay.
TEST_F(DatabaseEntriesTest, TargetFilesThatCannotBeReplacedStayAsTheyWere)
{
    Backup({{"places.sqlite", "new database"}, {"places.sqlite-wal", "new log"}});
    for (const char* blocking : {"places.sqlite-wal", "places.sqlite-shm"}) {
        for (const auto& [name, content] : old)
            fs::remove_all(out + "/" + name);
        for (const auto& [name, content] : old)
            if (name != blocking)
                home.WriteFile("out/" + name, content);
        home.WriteFile("out/" + std::string(blocking) + "/inside", "x");
        const Files before = Target();
        fs::remove(ErrorLogPath());
        EXPECT_EQ(Extract("places.sqlite"), 0) << blocking;
        EXPECT_EQ(Target(), before) << blocking;
        EXPECT_NE(ErrorLog().find(out + "/" + blocking + ": "), std::string::npos) << ErrorLog();
        EXPECT_NE(ErrorLog().find("\"places.sqlite\" not extracted"), std::string::npos) << ErrorLog();
    }
}
