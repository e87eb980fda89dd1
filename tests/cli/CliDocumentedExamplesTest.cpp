// The commands the README and the manual page show, run as they are written
// there, in a home laid out as Debian's Firefox ESR leaves it: the profile
// "default-esr" that the installation uses (its lock files left behind by
// the last run) and the profile "default" that an older release made, which
// holds only times.json. A new example is one more line of the table.

#include "engine/ArchiveHeader.h"
#include "tests/cli/CliRun.h"
#include "tests/support/FakeHome.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>
#include <set>

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::EntryNamesIn;
using quillbank::testing::ReadFileForTest;
using quillbank::testing::RunCli;
using quillbank::testing::RunShell;
using quillbank::testing::TCliResult;
using quillbank::testing::TFakeHome;
namespace fs = std::filesystem;

namespace {

struct TDocumentedCommand
{
    /// The file that shows the command.
    std::string Document;
    /// The command as the document shows it (the manual page's escapes undone).
    std::string AsWritten;
    /// How a shell runs it, where the document's setting runs it otherwise
    /// (a systemd unit expands "%h" and names the installed program); empty
    /// for the command as written.
    std::string AsRun = {};
};

const std::vector<TDocumentedCommand>& DocumentedCommands()
{
    static const std::vector<TDocumentedCommand> commands = {
        {"README.md",
         "quillbank-cli backup --app firefox \\\n"
         "    --output \"$HOME/Backups/<application>-<profile>-<year>-<month>-<day>-<hour><minute>.qkz\" \\\n"
         "    --password-file \"$HOME/.config/Quillbank/password\" --quiet"},
        {"README.md",
         "quillbank-cli backup --app firefox --output "
         "\"$HOME/Backups/<application>-<profile>-<year><month><day>-<hour><minute>.qkz\" --quiet"},
        {"docs/quillbank-cli.1",
         "quillbank-cli backup --app firefox --profile default-esr \\\n"
         "    --output \"$HOME/Backups/<application>-<profile>-<year>-<month>-<day>.qkz\" \\\n"
         "    --password-file \"$HOME/.config/quillbank-password\" --quiet"},
        {"docs/quillbank-cli.1",
         "quillbank-cli verify Firefox-default-esr-2026-12-08.qkz --password-stdin < pw"},
        {"docs/quillbank-cli.1", "quillbank-cli restore --archive Firefox-default-esr-2026-12-08.qkz \\\n"
                                 "    --app fire --profile default --components bookmarks,history"},
        {"docs/quillbank-cli.1", "quillbank-cli restore --archive Firefox-default-esr-2026-12-08.qkz \\\n"
                                 "    --app fire --profile default --components bookmarks,history --unknown"},
        {"docs/quillbank-cli.1", "quillbank-cli restore --undo --app fire --profile default"},
        {"docs/quillbank-cli.1",
         "quillbank-cli restore --archive certificates.qkz --app firefox --profile default \\\n"
         "    --components certificates --replace-key"},
        {"docs/quillbank-cli.1", "quillbank-cli backup --app firefox --output Firefox.qkz --dry-run"},
        {"docs/quillbank-cli.1", "quillbank-cli list --json | python3 -c 'import json, sys\n"
                                 "for a in json.load(sys.stdin)[\"applications\"]:\n"
                                 "    if a[\"name\"] == \"thunderbird\":\n"
                                 "        print(\"\\n\".join(p[\"name\"] for p in a[\"profiles\"]))'"},
    };
    return commands;
}

/// A document's text as a reader sees it; for a manual page, its escapes
/// undone and the indent of its examples (".nf" to ".fi") taken away.
std::string ReadDocument(const std::string& name)
{
    std::string text = ReadFileForTest(QUILLBANK_SOURCE_DIR "/" + name);
    if (name.ends_with(".1")) {
        std::string unindented;
        bool example = false;
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            std::string line = text.substr(start, end - start);
            example = line == ".nf" || (example && line != ".fi");
            if (example && line.starts_with("    "))
                line.erase(0, 4);
            unindented += line + "\n";
            start = end + 1;
        }
        text = unindented;
        std::string plain;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '-' || text[i + 1] == 'e')) {
                plain += text[i + 1] == '-' ? '-' : '\\';
                ++i;
            } else {
                plain += text[i];
            }
        }
        text = plain;
    }
    return text;
}

class CliDocumentedExamplesTest : public ::testing::Test
{
protected:
    TFakeHome home;
    std::string root = home.MakeDir(".mozilla/firefox");
    std::string esr = root + "/q1w2e3r4.default-esr";
    std::string legacy = root + "/a1b2c3d4.default";

    CliDocumentedExamplesTest()
    {
        // As firefox-esr writes them on its first start in a new home.
        home.WriteFile(".mozilla/firefox/profiles.ini",
                       "[Install3B6073811A6ABF12]\nDefault=q1w2e3r4.default-esr\nLocked=1\n\n"
                       "[Profile1]\nName=default\nIsRelative=1\nPath=a1b2c3d4.default\nDefault=1\n\n"
                       "[Profile0]\nName=default-esr\nIsRelative=1\nPath=q1w2e3r4.default-esr\n\n"
                       "[General]\nStartWithLastProfile=1\nVersion=2\n");
        home.WriteFile(".mozilla/firefox/installs.ini",
                       "[3B6073811A6ABF12]\nDefault=q1w2e3r4.default-esr\nLocked=1\n");
        home.WriteFile(".mozilla/firefox/a1b2c3d4.default/times.json", "{\"created\":1733700000000}");
        home.WriteFile(".mozilla/firefox/q1w2e3r4.default-esr/prefs.js",
                       "user_pref(\"browser.startup.page\", 3);\n");
        home.WriteFile(".mozilla/firefox/q1w2e3r4.default-esr/places.sqlite", "places");
        home.WriteFile(".mozilla/firefox/q1w2e3r4.default-esr/cookies.sqlite", "cookies");
        home.WriteFile(".mozilla/firefox/q1w2e3r4.default-esr/times.json", "{\"created\":1733700000001}");
        home.WriteFile(".mozilla/firefox/q1w2e3r4.default-esr/notes.txt", "notes");
        // Left by the last run: the fcntl lock file, no longer held, and the
        // link naming a process that has ended.
        home.WriteFile(".mozilla/firefox/q1w2e3r4.default-esr/.parentlock", "");
        fs::create_symlink("127.0.0.1:+2147483647", esr + "/lock");

        home.WriteFile(".config/Quillbank/password", "correct horse\n");
        home.WriteFile(".config/quillbank-password", "correct horse\n");
        home.WriteFile("pw", "correct horse\n");
        home.MakeDir("Backups");
        // The backup the manual's restore examples name, and one of certificates.
        const TCliResult made = RunCli({"backup", "--app", "firefox", "--profile", "default-esr", "--output",
                                        home.Path() + "/Firefox-default-esr-2026-12-08.qkz"},
                                       home.Path());
        EXPECT_EQ(made.ExitCode, 0) << made.Err;
        TComponentBoxes boxes;
        boxes[CertificatesBox].Checked = true;
        home.WriteFile("certificates.qkz",
                       quillbank::testing::BuildZip({{std::string(ArchiveHeaderName),
                                                      WriteArchiveHeader(FirefoxAppType, boxes, {}, {})},
                                                     {"cert9.db", "certificates"}}));
    }
};

} // namespace

TEST_F(CliDocumentedExamplesTest, EveryCommandIsWrittenSoInItsDocument)
{
    for (const TDocumentedCommand& command : DocumentedCommands())
        EXPECT_NE(ReadDocument(command.Document).find(command.AsWritten), std::string::npos)
            << command.Document << " no longer shows:\n"
            << command.AsWritten;
}

TEST_F(CliDocumentedExamplesTest, EveryCommandRunsOnAStockDebianHome)
{
    for (const TDocumentedCommand& command : DocumentedCommands()) {
        const TCliResult result =
            RunShell(command.AsRun.empty() ? command.AsWritten : command.AsRun, home.Path());
        EXPECT_EQ(result.ExitCode, 0) << command.AsWritten << "\n" << result.Err;
    }
    // The backups without --profile took the profile the installation uses
    // ("default" holds no bookmarks).
    for (const fs::directory_entry& backup : fs::directory_iterator(home.Path() + "/Backups"))
        EXPECT_NE(
            RunCli({"inspect", backup.path().string(), "--password-file", home.Path() + "/pw"}, home.Path())
                .Out.find("bookmarks, history"),
            std::string::npos)
            << backup.path();
    EXPECT_EQ(fs::exists(home.Path() + "/Firefox.qkz"), false);
    // "default" was restored into, not "default-esr"; the undo took back the
    // restore that added the unknown entries.
    EXPECT_EQ(EntryNamesIn(legacy), (std::set<std::string>{"cert9.db", "places.sqlite", "times.json"}));
    EXPECT_EQ(ReadFileForTest(esr + "/cookies.sqlite"), "cookies");
}
