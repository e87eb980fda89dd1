// Picks a Windows mail folder's place: the user's choice, else a free name in the profile's "Mail" folder.

#include "profile/WindowsMailFolders.h"

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "profile/WindowsPaths.h"

namespace quillbank {

std::string WindowsFolderPlace(const TMailFolder& folder, const std::string& profileDir,
                               std::set<std::string>& taken)
{
    if (!folder.Place.empty()) {
        taken.insert(ToLowerAscii(folder.Place));
        return folder.Place;
    }
    const std::string mail = profileDir + "Mail";
    const std::string name = RecordedFolderName(folder.Path);
    std::string candidate = name;
    for (int number = 2; FindEntryIgnoreCase(mail, candidate).has_value() ||
                         taken.contains(ToLowerAscii(mail + "/" + candidate));
         ++number)
        candidate = name + "-" + std::to_string(number);
    const std::string place = mail + "/" + candidate;
    taken.insert(ToLowerAscii(place));
    return place;
}

} // namespace quillbank
