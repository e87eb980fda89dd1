// "profiles.ini" as the wizard lists its profiles, and the INI reader that
// every INI-style file goes through.
#include "apps/ProfileDiscovery.h"
#include "apps/WizardState.h"
#include "fuzz/FuzzSupport.h"
#include "platform/IniFile.h"

#include <cstdlib>

using namespace quillbank;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::AsText(data, size);
    const TIniFile ini = TIniFile::FromText(text);
    for (const char* section : {"General", "Profile0", "profile1", "Install4F96D1932A9F858E"})
        for (const auto& [key, value] : ini.ReadSection(section))
            if (ini.FindString(section, key) == std::nullopt || !ini.HasSection(section))
                std::abort();

    const std::string root = fuzz::FreshDir("profiles");
    fuzz::WriteFuzzFile(root + "profiles.ini", text);
    TWizardState state;
    ReadProfileList(state, root);
    if (state.ProfileEntries.size() > size)
        std::abort();
    return 0;
}
