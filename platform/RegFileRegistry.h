// A registry read from a Windows ".reg" export, so that tests and real runs can use any registry content.

#pragma once

#include "platform/MapRegistry.h"

#include <string>
#include <string_view>

namespace quillbank {

/**
 * A registry read from a Windows ".reg" export ("Windows Registry Editor
 * Version 5.00", or the older "REGEDIT4"), so that tests and real runs can use
 * any registry content. Only keys below HKEY_LOCAL_MACHINE are kept.
 */
class TRegFileRegistry final : public TMapRegistry
{
public:
    /// An empty registry when the file cannot be read.
    static TRegFileRegistry FromFile(const std::string& path);
    static TRegFileRegistry FromText(std::string_view text);
};

} // namespace quillbank
