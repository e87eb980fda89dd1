// A temporary fake home for tests (HOME points at it), and helpers that read files back for assertions.

#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>

namespace quillbank::testing {

/**
 * A temporary folder that stands in for the user's home while it lives: HOME
 * points at it and the XDG variables are cleared, so nothing a test runs can
 * touch the real user's files. Everything is restored and removed afterwards.
 */
class TFakeHome
{
public:
    TFakeHome();
    ~TFakeHome();
    TFakeHome(const TFakeHome&) = delete;
    TFakeHome& operator=(const TFakeHome&) = delete;

    /// The home folder, without a trailing separator.
    const std::string& Path() const { return path_; }
    /// Sets (or with nothing, unsets) an environment variable until the end of the test.
    void SetEnv(const std::string& name, const std::optional<std::string>& value);
    /// Writes `content` to `relativePath` below the home, creating folders.
    std::string WriteFile(const std::string& relativePath, const std::string& content) const;
    /// Creates `relativePath` below the home as a folder.
    std::string MakeDir(const std::string& relativePath) const;

private:
    std::string path_;
    std::map<std::string, std::optional<std::string>> savedEnv_;
};

/// Reads a whole file for an assertion; empty when it cannot be read.
std::string ReadFileForTest(const std::string& path);

/// The lines of the error log at `path` without the time each begins with
/// (a line without one stays whole, so exact comparisons catch it); empty
/// when there is no log.
std::string ErrorLogMessages(const std::string& path);
/// The same for the log of the current home.
std::string ErrorLogMessages();

/// The names of the files and folders directly in `folder`.
std::set<std::string> EntryNamesIn(const std::string& folder);

/// Every regular file below `folder`, by its path relative to it, with its content.
std::map<std::string, std::string> FileContentsBelow(const std::string& folder);

} // namespace quillbank::testing
