// "chrome/chrome.rdf" pointed into the restored profile's extensions.
#include "engine/Extensions.h"
#include "fuzz/FuzzSupport.h"

#include <filesystem>
#include <sstream>

using namespace quillbank;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text = fuzz::AsText(data, size);
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);)
        FixChromeRegistryLine(line, "/home/user/.mozilla/firefox/ab12.default/");

    const std::string profile = fuzz::FreshDir("profile");
    std::filesystem::create_directory(profile + "chrome");
    fuzz::WriteFuzzFile(profile + "chrome/chrome.rdf", text);
    try {
        FixChromeRegistry(profile);
    } catch (const EChromeRegistryError&) {
    }
    fuzz::RequireOnlyEntries(profile + "chrome", {"chrome.rdf"});
    return 0;
}
