// Makes the seeded test contents with small pseudo-random generators: noise bytes and mail-like words.

#include "tests/support/TestData.h"

#include <iterator>

namespace quillbank::testing {

std::string NoiseBytes(std::size_t size, std::uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::string WordText(std::size_t size, std::uint32_t seed)
{
    static const char* const Words[] = {"Received:", "from",    "mail.example.org", "by",  "the",
                                        "quick",     "message", "Subject:",         "Re:", "\n",
                                        "> ",        "regards"};
    std::string text;
    while (text.size() < size) {
        seed = seed * 1103515245u + 12345u;
        text += Words[(seed >> 16) % std::size(Words)];
        text += ' ';
    }
    text.resize(size);
    return text;
}

} // namespace quillbank::testing
