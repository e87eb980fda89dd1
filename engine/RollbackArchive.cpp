// Writes and reads rollback archives and their manifests, refusing any manifest line it would not write.

#include "engine/RollbackArchive.h"

#include "engine/ArchiveHeader.h"
#include "engine/ArchiveReaders.h"
#include "engine/BackupTask.h"
#include "engine/EntryReader.h"
#include "engine/PendingArchive.h"
#include "engine/PrivateTempDir.h"
#include "engine/RunOutcome.h"
#include "platform/FileSystem.h"
#include "platform/StagedFile.h"
#include "platform/Text.h"

#include <charconv>
#include <cstdio>

namespace quillbank {

namespace {

constexpr std::string_view FirstLine = "Quillbank rollback 1";

std::string Escaped(std::string_view path)
{
    std::string text;
    for (char c : path) {
        if (c == '%')
            text += "%25";
        else if (c == '\r')
            text += "%0D";
        else if (c == '\n')
            text += "%0A";
        else
            text += c;
    }
    return text;
}

std::optional<std::string> Unescaped(std::string_view text)
{
    std::string path;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            path += text[i];
            continue;
        }
        const std::string_view code = text.substr(i + 1, 2);
        if (code == "25")
            path += '%';
        else if (code == "0D")
            path += '\r';
        else if (code == "0A")
            path += '\n';
        else
            return std::nullopt;
        i += 2;
    }
    return path;
}

/// A path of a manifest: absolute, and the same once made lexically normal.
std::optional<std::string> ManifestPath(std::string_view text)
{
    std::optional<std::string> path = Unescaped(text);
    if (!path || !path->starts_with('/') || path->size() < 2)
        return std::nullopt;
    const std::string plain = WithoutTrailingSeparators(*path);
    if (plain.empty() || LexicallyNormal(plain) != plain)
        return std::nullopt;
    return path;
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string RollbackManifestText(const TRollbackManifest& manifest)
{
    std::string text = std::string(FirstLine) + "\n";
    text += "profile " + Escaped(manifest.ProfileDir) + "\n";
    text += "time " + std::to_string(manifest.Time) + "\n";
    text += "app " + std::to_string(static_cast<int>(manifest.App)) + "\n";
    auto lines = [&text](std::string_view key, const std::vector<std::string>& paths) {
        for (const std::string& path : paths)
            text += std::string(key) + " " + Escaped(path) + "\n";
    };
    lines("replaced", manifest.Replaced);
    lines("created", manifest.Created);
    lines("folder", manifest.CreatedFolders);
    return text;
}

std::optional<TRollbackManifest> ParseRollbackManifest(std::string_view text)
{
    if (!text.starts_with(std::string(FirstLine) + "\n"))
        return std::nullopt;
    text.remove_prefix(FirstLine.size() + 1);
    TRollbackManifest manifest;
    bool hasProfile = false, hasTime = false, hasApp = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        const std::size_t blank = line.find(' ');
        if (blank == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = line.substr(0, blank);
        const std::string_view value = line.substr(blank + 1);
        if (key == "time" || key == "app") {
            const auto number = ParseNumber<std::int64_t>(value);
            if (!number || (key == "app" && (*number < 0 || *number > LastAppType)))
                return std::nullopt;
            if (key == "time")
                manifest.Time = *number, hasTime = true;
            else
                manifest.App = static_cast<AppType>(*number), hasApp = true;
            continue;
        }
        std::optional<std::string> path = ManifestPath(value);
        if (!path)
            return std::nullopt;
        if (key == "profile" && !hasProfile && path->ends_with('/')) {
            manifest.ProfileDir = std::move(*path);
            hasProfile = true;
        } else if (key == "replaced" && !path->ends_with('/'))
            manifest.Replaced.push_back(std::move(*path));
        else if (key == "created" && !path->ends_with('/'))
            manifest.Created.push_back(std::move(*path));
        else if (key == "folder")
            manifest.CreatedFolders.push_back(std::move(*path));
        else
            return std::nullopt;
    }
    if (!hasProfile || !hasTime || !hasApp)
        return std::nullopt;
    return manifest;
}

std::string RollbackEntryName(std::string_view path)
{
    return std::string(path.substr(path.starts_with('/') ? 1 : 0));
}

void WriteRollbackArchive(const std::string& archivePath, const TRollbackManifest& manifest,
                          TArchiveEnvironment environment)
{
    const std::string pending = PendingArchivePath(archivePath);
    RemoveStalePendingArchive(archivePath);
    auto fail = [&](const std::string& reason) {
        RemoveStalePendingArchive(archivePath);
        throw ERollbackError("cannot write the rollback archive " + archivePath + ": " + reason);
    };
    const TPrivateTempDir temporary;
    try {
        TStagedFile file(temporary.Path() + std::string(RollbackManifestName));
        file.Write(RollbackManifestText(manifest));
        file.Commit();
    } catch (const EFileWriteError& error) {
        fail(error.what());
    }
    TBackupTask task("/", "/", environment.Ui);
    task.AddExternal(std::string(RollbackManifestName), temporary.Path());
    TArchive archive(pending, "", "/", environment);
    // Stored: the files are kept only until the next restores, and copying
    // them as they are is the quickest.
    archive.SetCompressionLevel(0);
    archive.AddTask(task, WriteArchiveHeader(manifest.App, TComponentBoxes{}, {}, {}));
    std::vector<std::string> names;
    for (const std::string& path : manifest.Replaced)
        names.push_back(RollbackEntryName(path));
    archive.AddFileList(names);
    if (!archive.LeftOutFiles().empty())
        fail(LeftOutText(archive.LeftOutFiles().front()));
    if (!archive.ReportedProblems().empty())
        fail(LeftOutText(archive.ReportedProblems().front()));
    if (!CommitPendingArchive(archivePath))
        fail("it could not be flushed to disk and put in place");
}

std::optional<TRollbackManifest> ReadRollbackManifest(const std::string& archivePath)
{
    TArchiveReaders readers(archivePath, true);
    std::string error;
    if (!readers.Open(error))
        return std::nullopt;
    for (std::uint64_t i = 0; i < readers.EntryCount(); ++i) {
        if (readers.Name(i) != RollbackManifestName)
            continue;
        std::string text;
        TReadBuffer buffer;
        const TReadResult result = ReadArchiveEntry(
            readers.Handle(), i, "",
            [&text](const char* data, std::size_t size) {
                if (text.size() + size > RollbackManifestSizeLimit)
                    return false;
                text.append(data, size);
                return true;
            },
            buffer);
        return result == TReadResult::Ok ? ParseRollbackManifest(text) : std::nullopt;
    }
    return std::nullopt;
}

} // namespace quillbank
