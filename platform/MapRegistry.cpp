// Looks up, adds and removes the keys and values of the in-memory registry by their normalised key path.

#include "platform/MapRegistry.h"

#include "platform/Text.h"

namespace quillbank {

namespace {

/// A key path in the form the map keeps: lower case, components joined by
/// single backslashes, no leading or trailing backslash.
std::string NormalizeKeyPath(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start) {
            if (!out.empty())
                out += '\\';
            out.append(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return ToLowerAscii(out);
}

} // namespace

bool TMapRegistry::KeyExists(std::string_view key) const
{
    const std::string path = NormalizeKeyPath(key);
    if (keys_.contains(path))
        return true;
    // A listed subkey implies its parent.
    const std::string prefix = path.empty() ? std::string() : path + '\\';
    const auto it = keys_.lower_bound(prefix);
    return it != keys_.end() && it->first.starts_with(prefix);
}

std::optional<std::string> TMapRegistry::ReadString(std::string_view key, std::string_view valueName) const
{
    const auto keyIt = keys_.find(NormalizeKeyPath(key));
    if (keyIt == keys_.end())
        return std::nullopt;
    const auto valueIt = keyIt->second.values.find(ToLowerAscii(valueName));
    if (valueIt == keyIt->second.values.end())
        return std::nullopt;
    return valueIt->second;
}

TMapRegistry::TKey& TMapRegistry::OpenOrCreateKey(std::string_view path)
{
    return keys_[NormalizeKeyPath(path)];
}

void TMapRegistry::DeleteKeyTree(std::string_view path)
{
    const std::string key = NormalizeKeyPath(path);
    if (key.empty()) {
        keys_.clear();
        return;
    }
    keys_.erase(key);
    // The subkeys sort together right after "key\"; siblings such as
    // "key 2" sort elsewhere and stay.
    const std::string prefix = key + '\\';
    auto it = keys_.lower_bound(prefix);
    while (it != keys_.end() && it->first.starts_with(prefix))
        it = keys_.erase(it);
}

void TMapRegistry::SetValue(TKey& key, std::string_view name, std::optional<std::string> text)
{
    key.values[ToLowerAscii(name)] = std::move(text);
}

void TMapRegistry::DeleteValue(TKey& key, std::string_view name)
{
    key.values.erase(ToLowerAscii(name));
}

} // namespace quillbank
