// "Profilefiles.txt", the list of what a profile is known to hold.
#include "engine/KnownFiles.h"
#include "fuzz/FuzzSupport.h"

#include <filesystem>

using namespace quillbank;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string programDir = fuzz::FreshDir("program");
    fuzz::WriteFuzzFile(programDir + "Profilefiles.txt", fuzz::AsText(data, size));
    static const std::string profile = [] {
        const std::string dir = fuzz::FreshDir("profile");
        for (const char* file : {"prefs.js", "places.sqlite", "key4.db", "weird name.txt", ".parentlock"})
            fuzz::WriteFuzzFile(dir + file, "x");
        for (const char* folder : {"extensions", "Mail", "chrome"})
            std::filesystem::create_directory(dir + folder);
        return dir;
    }();
    try {
        const TKnownFiles known(programDir);
        for (const auto& item : known.KnownItems())
            known.IsKnown(item.Name, item.IsDirectory);
        known.FindUnknown(profile, TComponentBoxes{}); // every component offered
    } catch (const EKnownFilesError&) {
    }
    return 0;
}
