// The text helpers' work: UTF-8 and UTF-16 decoding, Unicode case folding, wildcard matching and escaping.

#include "platform/Text.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <unicode/unistr.h>

namespace quillbank {

namespace {

bool IsBlankOrControl(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

void AppendUtf8(std::string& out, std::uint32_t codePoint)
{
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unitAt = [&](std::size_t i) -> std::uint32_t {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
    };
    constexpr std::uint32_t replacement = 0xFFFD;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? replacement : unit);
    }
    return out;
}

/// The length of the valid UTF-8 sequence at the start of `text` (overlong
/// forms, surrogates and code points past U+10FFFF are invalid) and its code
/// point; 0 when it is not one.
std::size_t Utf8SequenceAt(std::string_view text, std::uint32_t& codePoint)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
        codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
        codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
    return codePoint < lowest || surrogate || codePoint > 0x10FFFF ? 0 : length;
}

/// Whether a code point would break a line, hide text or reorder it when shown.
bool IsHiddenEffect(std::uint32_t codePoint)
{
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F) || codePoint == 0x061C ||
           codePoint == 0x200E || codePoint == 0x200F || (codePoint >= 0x2028 && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069);
}

void AppendByteEscape(std::string& out, unsigned char byte)
{
    char escape[8];
    std::snprintf(escape, sizeof escape, "\\x%02x", byte);
    out += escape;
}

void AppendEscape(std::string& out, std::uint32_t codePoint)
{
    if (codePoint == '\n') {
        out += "\\n";
    } else if (codePoint == '\r') {
        out += "\\r";
    } else if (codePoint == '\t') {
        out += "\\t";
    } else if (codePoint < 0x80) {
        AppendByteEscape(out, static_cast<unsigned char>(codePoint));
    } else {
        // Room for any 32-bit value, though only code points below 0x10000 come here.
        char escape[16];
        std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(codePoint));
        out += escape;
    }
}

} // namespace

std::string Trim(std::string_view text)
{
    const auto first = std::find_if_not(text.begin(), text.end(), IsBlankOrControl);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlankOrControl).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string ToLowerAscii(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), LowerAscii);
    return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

std::string FoldCase(std::string_view text)
{
    std::string folded;
    icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())))
        .foldCase()
        .toUTF8String(folded);
    return folded;
}

bool MatchesWildcard(std::string_view text, std::string_view pattern)
{
    // Greedy matching with one backtrack point: linear in practice, and
    // never exponential whatever the pattern.
    std::size_t t = 0, p = 0;
    std::size_t starPattern = std::string_view::npos, starText = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starText = t;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(text[t]))) {
            ++p;
            ++t;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            t = ++starText;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string NormalizedSpec(std::string_view spec)
{
    std::string normalized = ReplaceAll(spec, "\\", "/");
    if (normalized.ends_with("*.*"))
        normalized.resize(normalized.size() - 2);
    return normalized;
}

TSpecSet::TSpecSet(const std::vector<std::string>& specs)
{
    for (const std::string& spec : specs) {
        std::string normalized = NormalizedSpec(spec);
        if (normalized.empty() || normalized[0] == '*' || normalized[0] == '?')
            anyFirst_.push_back(std::move(normalized));
        else
            byFirst_[static_cast<unsigned char>(LowerAscii(normalized[0]))].push_back(std::move(normalized));
    }
}

bool TSpecSet::Matches(std::string_view name) const
{
    auto matches = [name](const std::string& spec) { return MatchesWildcard(name, spec); };
    if (std::any_of(anyFirst_.begin(), anyFirst_.end(), matches))
        return true;
    if (name.empty())
        return false;
    const std::vector<std::string>& candidates = byFirst_[static_cast<unsigned char>(LowerAscii(name[0]))];
    return std::any_of(candidates.begin(), candidates.end(), matches);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    std::string out;
    std::size_t start = 0;
    for (std::size_t hit; (hit = text.find(from, start)) != std::string_view::npos;
         start = hit + from.size()) {
        out.append(text.substr(start, hit - start));
        out.append(to);
    }
    out.append(text.substr(start));
    return out;
}

std::string ReplaceFirst(std::string_view text, std::string_view from, std::string_view to)
{
    const auto hit = from.empty() ? std::string_view::npos : text.find(from);
    if (hit == std::string_view::npos)
        return std::string(text);
    std::string out(text.substr(0, hit));
    out.append(to);
    out.append(text.substr(hit + from.size()));
    return out;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
    }
    return lines;
}

bool TryParseInt(std::string_view text, int& value)
{
    if (text.starts_with('+')) {
        text.remove_prefix(1);
        if (text.empty() || text.front() < '0' || text.front() > '9')
            return false;
    }
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

std::string VisibleText(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        std::uint32_t codePoint = 0;
        const std::size_t length = Utf8SequenceAt(text, codePoint);
        if (length == 0) {
            AppendByteEscape(out, static_cast<unsigned char>(text[0]));
            text.remove_prefix(1);
            continue;
        }
        if (IsHiddenEffect(codePoint))
            AppendEscape(out, codePoint);
        else
            out.append(text.substr(0, length));
        text.remove_prefix(length);
    }
    return out;
}

std::string HumanBytes(std::int64_t bytes)
{
    static constexpr const char* units[] = {"KiB", "MiB", "GiB", "TiB"};
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string AnsiToUtf8(std::string_view text)
{
    return std::string(text);
}

std::string Utf8ToAnsi(std::string_view text)
{
    return std::string(text);
}

std::string DecodeTextFile(std::string_view bytes)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return std::string(bytes.substr(3));
    if (bytes.starts_with("\xFF\xFE"))
        return Utf16ToUtf8(bytes.substr(2), false);
    if (bytes.starts_with("\xFE\xFF"))
        return Utf16ToUtf8(bytes.substr(2), true);
    return std::string(bytes);
}

} // namespace quillbank
