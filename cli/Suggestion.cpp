// Counts the edits between two words and picks the closest candidate, if a slip explains it.

#include "cli/Suggestion.h"

#include <algorithm>
#include <numeric>
#include <vector>

namespace quillbank::cli {

std::size_t EditDistance(std::string_view a, std::string_view b)
{
    // One row of the table at a time: row[j] is the distance between the
    // first i characters of a and the first j of b.
    std::vector<std::size_t> row(b.size() + 1);
    std::iota(row.begin(), row.end(), std::size_t{0});
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

std::string DidYouMean(std::string_view typed, std::span<const std::string_view> candidates)
{
    const std::size_t allowed = std::max<std::size_t>(1, typed.size() / 3);
    std::string_view best;
    std::size_t bestDistance = allowed + 1;
    for (std::string_view candidate : candidates) {
        const std::size_t distance = EditDistance(typed, candidate);
        if (distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    if (best.empty())
        return {};
    return " (did you mean \"" + std::string(best) + "\"?)";
}

} // namespace quillbank::cli
