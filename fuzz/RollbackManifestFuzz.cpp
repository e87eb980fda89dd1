// The manifest of a rollback archive, "rollback.txt": whatever it reads is
// written back as the same text, and every path it gives is absolute.
#include "engine/RollbackArchive.h"
#include "fuzz/FuzzSupport.h"

#include <cstdlib>

using namespace quillbank;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::AsText(data, size);
    const std::optional<TRollbackManifest> manifest = ParseRollbackManifest(text);
    if (!manifest)
        return 0;
    if (ParseRollbackManifest(RollbackManifestText(*manifest)) != manifest)
        std::abort();
    for (const auto* paths : {&manifest->Replaced, &manifest->Created, &manifest->CreatedFolders})
        for (const std::string& path : *paths)
            if (!path.starts_with('/') || path.find("/../") != std::string::npos || path.ends_with("/.."))
                std::abort();
    return 0;
}
