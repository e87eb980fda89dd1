// Writes and parses the header text, and finds it in a ZIP archive or at the head of a legacy container.

#include "engine/ArchiveHeader.h"

#include "apps/WizardState.h"
#include "config/ArchiveCodePage.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "engine/ArchiveReaders.h"
#include "engine/Catalogue.h"
#include "engine/PrivateTempDir.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "platform/UserInterface.h"
#include "profile/WindowsPaths.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

namespace quillbank {

namespace {

constexpr std::string_view MagicLine = "Quillbank";
constexpr std::string_view LineEnd = "\r\n";

/// Reading a file that exists failed: say so and end the program.
[[noreturn]] void FailOnFile(const TArchiveEnvironment& environment)
{
    environment.Ui.ShowWarning(environment.Texts.GetText("TForm1", "LANG_WARNING"),
                               environment.Texts.GetText("TForm1", "LANG_NOT_FOUND"));
    environment.Ui.ExitImmediately(1);
}

/// The lines of a legacy container before its file records.
constexpr std::size_t LegacyHeaderLines = 6;

/// The first `maxLines` lines of a text, without their CR LF or LF ends.
std::vector<std::string> Lines(std::string_view text, std::size_t maxLines)
{
    std::vector<std::string> lines;
    while (!text.empty() && lines.size() < maxLines) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.emplace_back(line);
    }
    return lines;
}

/// The application type the first lines of a header name (a legacy
/// container starts with the same lines), when they are such lines.
std::optional<int> LegacyContainerType(const std::string& firstLine, const std::string& secondLine)
{
    if (Trim(firstLine) != MagicLine)
        return std::nullopt;
    const std::string revision = Trim(secondLine);
    int type = 0;
    if (revision.size() < 7 || !TryParseInt(Trim(std::string_view(revision).substr(7)), type))
        return std::nullopt;
    return type;
}

/// The first `limit` bytes of the file at `path`, or nothing when it cannot be read.
std::optional<std::string> ReadFileHead(const std::string& path, std::uint64_t limit)
{
    std::ifstream file(path, std::ios::binary);
    std::string head(static_cast<std::size_t>(limit), '\0');
    file.read(head.data(), static_cast<std::streamsize>(head.size()));
    if (file.bad() || (!file && !file.eof()))
        return std::nullopt;
    head.resize(static_cast<std::size_t>(file.gcount()));
    return head;
}

/// Whether the archive declares a header entry larger than the limit; the
/// error log says so. Declared sizes are checked before anything is read,
/// and an entry is never read past its declared size.
bool DeclaresOversizedHeader(TArchive& archive)
{
    const std::uint64_t declared = archive.LargestDeclaredSize(IsHeaderEntryName);
    if (declared <= HeaderSizeLimit)
        return false;
    WriteErrorLog(archive.FileName() + ": the header declares " + std::to_string(declared) +
                  " bytes, more than the " + HumanBytes(HeaderSizeLimit) + " a header may hold");
    return true;
}

/// The header's text extracted from the archive, or nothing.
std::optional<std::string> ExtractHeader(const std::string& path, const TArchiveEnvironment& environment)
{
    TArchive archive(path, "", environment);
    if (DeclaresOversizedHeader(archive))
        return std::nullopt;
    const TPrivateTempDir folder;
    if (archive.ExtractFileTo(std::string(ArchiveHeaderName), folder.Path()) != 1)
        return std::nullopt;
    auto text = ReadFileHead(folder.Path() + std::string(ArchiveHeaderName), HeaderSizeLimit);
    // Counted before the text is split: each line costs far more memory
    // than its bytes.
    if (text && static_cast<std::size_t>(std::ranges::count(*text, '\n')) >= HeaderLineLimit) {
        WriteErrorLog(path + ": the header has " + std::to_string(HeaderLineLimit) +
                      " lines or more, more than a header may have");
        return std::nullopt;
    }
    return text;
}

/// Where the separator closing the part that starts at line `at` is, the
/// part's records being `step` lines each; the number of lines when none is.
std::size_t PartEnd(const std::vector<std::string>& lines, std::size_t at, std::size_t step)
{
    while (at < lines.size() && lines[at] != HeaderSeparator)
        at += step;
    return std::min(at, lines.size());
}

/// The archive folders of the mail folders, when the header lists them from
/// line `at` on: one per folder, in the folders' order, closed by the
/// separator. A list of another length is not used.
void ReadArchiveFolders(const std::vector<std::string>& lines, std::size_t at,
                        std::vector<TMailFolder>& mailFolders, const std::string& codePage)
{
    std::vector<std::string> names;
    for (; at < lines.size() && lines[at] != HeaderSeparator; ++at)
        names.push_back(Utf8FromCodePage(lines[at], codePage));
    if (names.empty() || names.size() != mailFolders.size())
        return;
    for (std::size_t i = 0; i < names.size(); ++i)
        mailFolders[i].ArchiveFolder = std::move(names[i]);
}

} // namespace

std::string WriteArchiveHeader(AppType type, const TComponentBoxes& boxes,
                               const std::vector<TMailFolder>& mailFolders,
                               const std::vector<TUnknownEntry>& unknownEntries,
                               const std::optional<TBackupIdentity>& identity)
{
    std::string header;
    auto line = [&header](std::string_view text) {
        header.append(text);
        header.append(LineEnd);
    };
    line(MagicLine);
    line("Revize: " + std::to_string(type));
    line("Verze: ");
    line(HeaderSeparator);
    std::string flags;
    for (TComponentBox box : HeaderFlagOrder)
        flags += boxes[box].Checked ? 'Y' : 'N';
    line(flags);
    line(HeaderSeparator);
    for (const TMailFolder& folder : mailFolders)
        line(Utf8ToAnsi(folder.Path));
    line(HeaderSeparator);
    for (const TUnknownEntry& entry : unknownEntries) {
        line(entry.IsDirectory ? "dir" : "file");
        line(entry.Name);
    }
    line(HeaderSeparator);
    // Readers stop after the unknown entries: the archive folders follow only
    // when a folder is not stored under its own name.
    const bool renamed = std::ranges::any_of(mailFolders, [](const TMailFolder& folder) {
        return folder.ArchiveFolder != ExtractFileName(folder.Path);
    });
    if (renamed || identity) {
        if (renamed)
            for (const TMailFolder& folder : mailFolders)
                line(Utf8ToAnsi(folder.ArchiveFolder));
        line(HeaderSeparator);
    }
    if (identity) {
        for (const std::string& text : IdentityLines(*identity))
            line(text);
        line(HeaderSeparator);
    }
    return header;
}

bool DetectBackupFile(const std::string& path, TWizardState& state, TArchiveEnvironment environment)
{
    std::error_code error;
    if (!std::filesystem::exists(path, error))
        return false;
    std::ifstream text(path, std::ios::binary);
    if (!text)
        FailOnFile(environment);
    std::string firstLine, secondLine;
    std::getline(text, firstLine);
    std::getline(text, secondLine);
    if (text.bad())
        FailOnFile(environment);
    text.close();
    if (const auto type = LegacyContainerType(firstLine, secondLine);
        type && *type % 256 == state.SelectedAppType) {
        state.ArchiveFormat = TArchiveFormat::LegacyContainer;
        return true;
    }
    // A ZIP archive is accepted whatever application type its header names.
    if (ExtractHeader(path, environment)) {
        state.ArchiveFormat = TArchiveFormat::Zip;
        return true;
    }
    return false;
}

bool IsBackupFile(const std::string& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return false;
    // The first two lines of a legacy container are short.
    constexpr std::uint64_t LegacyHeadLimit = 4096;
    const std::vector<std::string> head = Lines(ReadFileHead(path, LegacyHeadLimit).value_or(""), 2);
    if (head.size() == 2 && LegacyContainerType(head[0], head[1]))
        return true;
    TArchiveReaders readers(path, false);
    std::string problem;
    if (!readers.Open(problem))
        return false;
    for (std::uint64_t index = 0; index < readers.EntryCount(); ++index)
        if (IsHeaderEntryName(readers.Name(index)))
            return true;
    return false;
}

AppType ReadArchiveHeader(TWizardState& state, TComponentBoxes& boxes, TArchiveEnvironment environment)
{
    DetectBackupFile(state.ArchivePath, state, environment);
    const bool legacy = state.ArchiveFormat == TArchiveFormat::LegacyContainer;
    const auto content = legacy ? ReadFileHead(state.ArchivePath, HeaderSizeLimit)
                                : ExtractHeader(state.ArchivePath, environment);
    if (!content)
        FailOnFile(environment);
    const std::vector<std::string> lines = Lines(*content, legacy ? LegacyHeaderLines : HeaderLineLimit);
    const std::string flags = lines.size() > 4 ? Trim(lines[4]) : std::string();

    state.MailFolders.clear();
    state.UnknownEntries.clear();
    // A legacy container's file records follow its flags at once: it has no lists.
    if (state.ArchiveFormat == TArchiveFormat::Zip) {
        const std::string codePage =
            ArchiveCodePage(environment.CodePage, environment.ProgramDir, environment.Texts);
        std::size_t at = 6;
        for (; at < lines.size() && lines[at] != HeaderSeparator; ++at) {
            std::string path = Utf8FromCodePage(lines[at], codePage);
            // A backup made on Windows records Windows paths.
            std::string name = RecordedFolderName(path);
            state.MailFolders.push_back({std::move(path), std::move(name)});
        }
        for (++at; at < lines.size() && lines[at] != HeaderSeparator; at += 2)
            if (at + 1 < lines.size())
                state.UnknownEntries.push_back(
                    {Utf8FromCodePage(lines[at + 1], codePage), lines[at].starts_with("dir")});
        ReadArchiveFolders(lines, at + 1, state.MailFolders, codePage);
    }
    for (std::size_t position = 0; position < HeaderFlagOrder.size(); ++position) {
        const bool chosen = position < flags.size() && flags[position] == 'Y';
        boxes[HeaderFlagOrder[position]] = {chosen, chosen};
    }
    const auto type = LegacyContainerType(lines.size() > 0 ? lines[0] : std::string(),
                                          lines.size() > 1 ? lines[1] : std::string());
    return type && IsKnownAppType(static_cast<unsigned>(*type % 256)) ? static_cast<AppType>(*type % 256)
                                                                      : NoAppType;
}

std::optional<THeaderSummary> ReadHeaderSummary(const std::string& path, TArchiveEnvironment environment)
{
    const auto content = ExtractHeader(path, environment);
    if (!content)
        return std::nullopt;
    const std::vector<std::string> lines = Lines(*content, HeaderLineLimit);
    THeaderSummary summary;
    const auto type = LegacyContainerType(lines.size() > 0 ? lines[0] : std::string(),
                                          lines.size() > 1 ? lines[1] : std::string());
    if (type && IsKnownAppType(static_cast<unsigned>(*type % 256)))
        summary.Type = static_cast<AppType>(*type % 256);
    // Past the mail folders, the unknown entries (two lines each) and the
    // archive folders, the identity's lines run to the next separator.
    const std::size_t unknownStart = PartEnd(lines, 6, 1) + 1;
    const std::size_t foldersStart = PartEnd(lines, unknownStart, 2) + 1;
    const std::size_t identityStart = PartEnd(lines, foldersStart, 1) + 1;
    const std::size_t identityEnd = PartEnd(lines, identityStart, 1);
    std::vector<std::string> identityLines;
    if (identityStart < identityEnd)
        identityLines.assign(lines.begin() + static_cast<std::ptrdiff_t>(identityStart),
                             lines.begin() + static_cast<std::ptrdiff_t>(identityEnd));
    summary.Identity = ParseIdentityLines(identityLines);
    return summary;
}

void DiscardArchive(const TWizardState& state)
{
    std::error_code error;
    std::filesystem::remove(state.ArchivePath, error);
}

} // namespace quillbank
