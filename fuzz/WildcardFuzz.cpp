// The wildcard matcher of extract specs, checked against a plain dynamic
// programming matcher. The input is the text, a NUL byte, then the pattern.
#include "fuzz/FuzzSupport.h"
#include "platform/Text.h"

#include <cstdlib>
#include <vector>

namespace {

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool ReferenceMatch(std::string_view text, std::string_view pattern)
{
    // matches[j]: the text read so far matches the first j pattern characters.
    std::vector<bool> matches(pattern.size() + 1, false);
    matches[0] = true;
    for (std::size_t j = 0; j < pattern.size() && pattern[j] == '*'; ++j)
        matches[j + 1] = true;
    for (const char c : text) {
        std::vector<bool> next(pattern.size() + 1, false);
        for (std::size_t j = 0; j < pattern.size(); ++j) {
            if (pattern[j] == '*')
                next[j + 1] = next[j] || matches[j + 1];
            else
                next[j + 1] = matches[j] && (pattern[j] == '?' || Lower(pattern[j]) == Lower(c));
        }
        matches = std::move(next);
    }
    return matches[pattern.size()];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input = quillbank::fuzz::AsText(data, size);
    const auto split = input.find('\0');
    const std::string_view text = input.substr(0, split);
    const std::string_view pattern = split == std::string_view::npos ? "*" : input.substr(split + 1);
    if (quillbank::MatchesWildcard(text, pattern) != ReferenceMatch(text, pattern))
        std::abort();
    return 0;
}
