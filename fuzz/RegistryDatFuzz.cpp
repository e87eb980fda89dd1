// The legacy binary profile registry ("registry.dat", "appreg").
#include "apps/RegistryDat.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto profiles = quillbank::ReadRegistryDatProfiles(quillbank::fuzz::AsText(data, size));
    if (profiles.size() > quillbank::RegistryDatMaxProfileNodes)
        std::abort();
    for (const auto& profile : profiles)
        if (profile.Name.size() > quillbank::RegistryDatMaxNameBytes ||
            profile.Name.find('\0') != std::string::npos)
            std::abort();
    return 0;
}
