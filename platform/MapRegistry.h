// A registry held in memory with case-insensitive keys: the base of the ".reg" and installed-apps registries.

#pragma once

#include "platform/RegistryReader.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace quillbank {

/**
 * A registry held in memory: keys with their values, filled by the readers
 * that derive from it. Key paths and value names match without regard to
 * letter case; doubled, leading and trailing backslashes in a path are
 * ignored, and a key exists as soon as one of its subkeys does.
 */
class TMapRegistry : public TRegistryReader
{
public:
    bool KeyExists(std::string_view key) const override;
    std::optional<std::string> ReadString(std::string_view key, std::string_view valueName) const override;

protected:
    struct TKey
    {
        // Lower-cased value name -> its text; nothing for a value without text.
        std::map<std::string, std::optional<std::string>> values;
    };

    /// The key at `path`, created empty when it is not there yet.
    TKey& OpenOrCreateKey(std::string_view path);
    /// Removes a key with all its subkeys (everything, for an empty path).
    void DeleteKeyTree(std::string_view path);
    static void SetValue(TKey& key, std::string_view name, std::optional<std::string> text);
    static void DeleteValue(TKey& key, std::string_view name);

private:
    // Normalised key path (lower case, single backslashes) -> the key.
    std::map<std::string, TKey> keys_;
};

} // namespace quillbank
