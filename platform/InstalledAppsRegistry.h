#pragma once

#include "platform/RegistryReader.h"

namespace quillbank {

/**
 * The registry reader of a system without a Windows registry: it answers the
 * installer keys from the installations it finds on this system.
 */
class TInstalledAppsRegistry final : public TRegistryReader
{
public:
    bool KeyExists(std::string_view key) const override;
    std::optional<std::string> ReadString(std::string_view key, std::string_view valueName) const override;
};

} // namespace quillbank
