// What the fuzz targets share: a silent user interface, a scratch folder, and checks that abort on a finding.

#pragma once

#include "platform/SilentUserInterface.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace quillbank::fuzz {

/// What ExitImmediately throws in a fuzz target instead of ending the process.
struct TFuzzExit
{
    int exitCode;
};

/// A user interface nobody sits at (see TSilentUserInterface), whose end of
/// the program is thrown as TFuzzExit.
class TFuzzUserInterface final : public TSilentUserInterface
{
protected:
    [[noreturn]] void EndProgram(int exitCode) override;
};

/// The scratch folder of this fuzz process (ending with "/"), made once. HOME
/// and XDG_CONFIG_HOME point into it, so the error log and every per-user
/// file the code under test touches stay inside.
const std::string& ScratchDir();

/// An empty folder `name` below the scratch folder (ending with "/"): made
/// anew on every call, whatever it held before removed.
std::string FreshDir(std::string_view name);

/// Writes `bytes` to `path`, replacing the file; aborts when it cannot.
void WriteFuzzFile(const std::string& path, std::string_view bytes);

/// Aborts (a finding) when `folder` holds anything but the names in
/// `allowed`.
void RequireOnlyEntries(const std::string& folder, std::initializer_list<std::string_view> allowed);

/// Aborts (a finding) when anything below `folder` is a symbolic link.
void RequireNoLinks(const std::string& folder);

/// Aborts (a finding) when a staged file ("<name>.qbpart-XXXXXX") is left
/// below `folder`, unless `input` itself names such a file.
void RequireNoStagedFiles(const std::string& folder, std::string_view input);

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

} // namespace quillbank::fuzz
