// Read-only access to the installers' registry keys, through which the installed applications are found.

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillbank {

/**
 * Read-only access to the installers' keys below HKEY_LOCAL_MACHINE.
 *
 * Keys are written as on Windows, relative to HKEY_LOCAL_MACHINE and with
 * backslashes ("SOFTWARE\mozilla\Mozilla Firefox\3.6\Main"); key and value
 * names match without regard to letter case, as in the Windows registry.
 * Keys are only opened, never created.
 */
class TRegistryReader
{
public:
    virtual ~TRegistryReader() = default;

    virtual bool KeyExists(std::string_view key) const = 0;

    /// The text of a string value; nothing when the key or the value is
    /// missing or the value does not hold text.
    virtual std::optional<std::string> ReadString(std::string_view key, std::string_view valueName) const = 0;
};

} // namespace quillbank
