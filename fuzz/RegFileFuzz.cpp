// A ".reg" registry export.
#include "fuzz/FuzzSupport.h"
#include "platform/RegFileRegistry.h"

using namespace quillbank;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const TRegFileRegistry registry = TRegFileRegistry::FromText(fuzz::AsText(data, size));
    for (const char* key : {"SOFTWARE\\Mozilla\\Mozilla Firefox", "SOFTWARE\\mozilla.org\\Mozilla",
                            "SOFTWARE\\Mozilla\\Mozilla Firefox\\115.0 (en-US)\\Main", "", "\\"}) {
        registry.KeyExists(key);
        registry.ReadString(key, "CurrentVersion");
        registry.ReadString(key, "");
    }
    return 0;
}
