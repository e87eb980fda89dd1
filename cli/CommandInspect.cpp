// The `inspect` command: shows what a backup file holds, its encryption, entries and sizes, as text or JSON.

#include "cli/ArchiveAccess.h"
#include "cli/CommandContext.h"
#include "cli/Commands.h"
#include "cli/ComponentNames.h"
#include "cli/ExitCodes.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Password.h"
#include "platform/Text.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <ostream>

namespace quillbank::cli {

namespace {

constexpr std::string_view Usage =
    "Usage: quillbank-cli inspect ARCHIVE [--list] [--json]\n"
    "                             [--password-file FILE | --password-stdin]\n"
    "\n"
    "Shows what a backup file holds: the application it was made from, its\n"
    "components, the mail folders outside the profile, the unknown entries, how it\n"
    "is encrypted, its entries and sizes. The header of a protected backup is\n"
    "protected too: its password is needed.\n"
    "\n"
    "Options:\n"
    "  --archive PATH          the backup file, when not given as ARCHIVE\n"
    "  --list                  list every entry too: its size, its compressed size\n"
    "                          and whether it is encrypted\n"
    "  --json                  print one JSON object instead of text\n"
    "  --password-file FILE    the password is the first line of FILE\n"
    "  --password-stdin        the password is the first line of standard input\n"
    "                          (without either, it is asked for when standard input\n"
    "                          is a terminal)\n"
    "  --password-command CMD  the password is the first line CMD prints (run by\n"
    "                          the shell; its failure is exit code 4)\n"
    "\n"
    "Exit codes: 0 success, 1 not a readable backup file, 2 bad usage, 4 wrong or\n"
    "missing password.\n";

constexpr std::array<TOptionDefinition, 6> Accepted = {{
    {"archive", true},
    {"list", false},
    {"json", false},
    {"password-file", true},
    {"password-stdin", false},
    {"password-command", true},
}};

/// What the directory of a ZIP archive says.
struct TArchiveFacts
{
    std::size_t Entries = 0;
    std::uint64_t Size = 0;
    std::uint64_t CompressedSize = 0;
    /// The entries' encryption when they all share one, else "mixed".
    std::string Encryption = "none";
    std::vector<TArchiveEntry> List;
};

TArchiveFacts ArchiveFacts(TCommandContext& context)
{
    TArchive archive(context.State().ArchivePath, context.State().BackupPassword, context.Environment());
    const auto entries = archive.ListEntries();
    if (!entries)
        throw ECommandError(ExitFailure, context.State().ArchivePath + ": its entries cannot be listed");
    TArchiveFacts facts;
    facts.Entries = entries->size();
    facts.List = *entries;
    for (std::size_t i = 0; i < entries->size(); ++i) {
        const TArchiveEntry& entry = (*entries)[i];
        facts.Size += entry.Size;
        facts.CompressedSize += entry.CompressedSize;
        if (i == 0)
            facts.Encryption = entry.Encryption;
        else if (facts.Encryption != entry.Encryption)
            facts.Encryption = "mixed";
    }
    return facts;
}

struct TInspection
{
    std::string Path;
    bool Zip = false;
    TArchiveContents Contents;
    std::vector<std::string> MailFolders;
    std::vector<TUnknownEntry> UnknownEntries;
    TArchiveFacts Facts;
    std::uintmax_t FileSize = 0;
    /// Whether every entry is listed.
    bool Listed = false;
};

bool IsEncrypted(const TArchiveEntry& entry)
{
    return entry.Encryption != "none";
}

void PrintJson(const TInspection& found, std::ostream& out)
{
    TJsonWriter json;
    json.BeginObject()
        .Key("archive")
        .String(found.Path)
        .Key("format")
        .String(found.Zip ? "zip" : "legacy")
        .Key("application")
        .BeginObject()
        .Key("type")
        .Number(found.Contents.Type)
        .Key("name")
        .String(ToLowerAscii(AppShortName(found.Contents.Type)))
        .EndObject()
        .Key("components")
        .Strings(TickedComponentNames(found.Contents.Boxes))
        .Key("mailFolders")
        .Strings(found.MailFolders)
        .Key("unknownEntries")
        .BeginArray();
    for (const TUnknownEntry& entry : found.UnknownEntries)
        json.BeginObject().Key("name").String(entry.Name).Key("folder").Bool(entry.IsDirectory).EndObject();
    json.EndArray().Key("encryption").String(found.Facts.Encryption).Key("entries");
    if (found.Zip)
        json.Number(static_cast<std::int64_t>(found.Facts.Entries))
            .Key("size")
            .Number(static_cast<std::int64_t>(found.Facts.Size))
            .Key("compressedSize")
            .Number(static_cast<std::int64_t>(found.Facts.CompressedSize));
    else
        json.Null().Key("size").Null().Key("compressedSize").Null();
    json.Key("fileSize").Number(static_cast<std::int64_t>(found.FileSize));
    if (found.Listed) {
        json.Key("list").BeginArray();
        for (const TArchiveEntry& entry : found.Facts.List)
            json.BeginObject()
                .Key("name")
                .String(entry.Name)
                .Key("size")
                .Number(static_cast<std::int64_t>(entry.Size))
                .Key("compressedSize")
                .Number(static_cast<std::int64_t>(entry.CompressedSize))
                .Key("encrypted")
                .Bool(IsEncrypted(entry))
                .EndObject();
        json.EndArray();
    }
    json.EndObject();
    out << json.Text() << "\n";
}

void PrintText(const TInspection& found, std::ostream& out)
{
    out << "Backup file:       " << VisibleText(found.Path) << "\n"
        << "Format:            " << (found.Zip ? "ZIP archive" : "legacy text container") << "\n"
        << "Application:       "
        << (found.Contents.Type == NoAppType ? std::string("(unknown)")
                                             : std::string(AppShortName(found.Contents.Type)))
        << "\n"
        << "Components:        ";
    const auto components = TickedComponentNames(found.Contents.Boxes);
    for (std::size_t i = 0; i < components.size(); ++i)
        out << (i == 0 ? "" : ", ") << components[i];
    out << (components.empty() ? "(none)\n" : "\n");
    out << "Mail folders:      " << (found.MailFolders.empty() ? "(none)" : "") << "\n";
    for (const std::string& folder : found.MailFolders)
        out << "  " << VisibleText(folder) << "\n";
    out << "Unknown entries:   " << (found.UnknownEntries.empty() ? "(none)" : "") << "\n";
    for (const TUnknownEntry& entry : found.UnknownEntries)
        out << "  " << VisibleText(entry.Name) << (entry.IsDirectory ? "/" : "") << "\n";
    out << "Encryption:        " << found.Facts.Encryption << "\n";
    if (found.Zip)
        out << "Entries:           " << found.Facts.Entries << "\n"
            << "Size:              " << HumanBytes(static_cast<std::int64_t>(found.Facts.Size)) << " ("
            << found.Facts.Size << " bytes)\n"
            << "Compressed size:   " << HumanBytes(static_cast<std::int64_t>(found.Facts.CompressedSize))
            << " (" << found.Facts.CompressedSize << " bytes)\n";
    out << "File size:         " << found.FileSize << " bytes\n";
    if (!found.Listed)
        return;
    out << "\n        Size  Compressed  Encrypted  Name\n";
    for (const TArchiveEntry& entry : found.Facts.List) {
        char columns[64];
        std::snprintf(
            columns, sizeof columns, "%12llu  %10llu  %-9s  ", static_cast<unsigned long long>(entry.Size),
            static_cast<unsigned long long>(entry.CompressedSize), IsEncrypted(entry) ? "yes" : "no");
        out << columns << VisibleText(entry.Name) << "\n";
    }
}

} // namespace

int InspectCommand(const std::vector<std::string>& arguments, const TConsole& console)
{
    const auto parsed = ParseCommandLine(arguments, Accepted, Usage, console.Out);
    if (!parsed)
        return ExitSuccess;
    const TOptions& options = *parsed;
    const std::string archive = ArchiveArgument(options);

    TCommandContext context(console, true, ReadGivenPassword(options, console));
    context.RequireWorkingFiles();
    TInspection found;
    found.Path = AbsolutePath(archive);
    context.State().ArchivePath = found.Path;
    found.Contents = ReadBackupFile(context);
    found.Zip = context.State().ArchiveFormat == TArchiveFormat::Zip;
    for (const TMailFolder& folder : context.State().MailFolders)
        found.MailFolders.push_back(folder.Path);
    found.UnknownEntries = context.State().UnknownEntries;
    if (found.Zip)
        found.Facts = ArchiveFacts(context);
    found.Listed = options.Has("list");
    std::error_code error;
    found.FileSize = std::filesystem::file_size(found.Path, error);
    if (options.Has("json"))
        PrintJson(found, console.Out);
    else
        PrintText(found, console.Out);
    return ExitSuccess;
}

} // namespace quillbank::cli
