#pragma once

#include "platform/RegistryReader.h"

#include <map>
#include <string>
#include <string_view>

namespace quillbank {

/**
 * A registry read from a Windows ".reg" export ("Windows Registry Editor
 * Version 5.00", or the older "REGEDIT4"), so that tests and real runs can use
 * any registry content. Only keys below HKEY_LOCAL_MACHINE are kept.
 */
class TRegFileRegistry final : public TRegistryReader
{
public:
    /// An empty registry when the file cannot be read.
    static TRegFileRegistry FromFile(const std::string& path);
    static TRegFileRegistry FromText(std::string_view text);

    bool KeyExists(std::string_view key) const override;
    std::optional<std::string> ReadString(std::string_view key, std::string_view valueName) const override;

private:
    struct TKey
    {
        // Lower-cased value name -> text; nothing for values that hold no text.
        std::map<std::string, std::optional<std::string>> values;
    };
    // Lower-cased key path relative to HKEY_LOCAL_MACHINE -> its values.
    std::map<std::string, TKey> keys_;
};

} // namespace quillbank
