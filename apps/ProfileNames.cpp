// Matches a wanted profile name against the listed names, ignoring letter case in every script.

#include "apps/ProfileNames.h"

#include "platform/Text.h"

namespace quillbank {

std::vector<std::size_t> MatchProfileNames(const std::vector<std::string>& names, std::string_view wanted)
{
    std::vector<std::size_t> exact;
    std::vector<std::size_t> partial;
    const std::string folded = FoldCase(wanted);
    if (folded.empty())
        return exact;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string name = FoldCase(names[i]);
        if (name == folded)
            exact.push_back(i);
        else if (name.find(folded) != std::string::npos)
            partial.push_back(i);
    }
    return exact.empty() ? partial : exact;
}

} // namespace quillbank
