// Writes JSON values with their commas and quotes; bytes that are not UTF-8 become U+FFFD.

#include "cli/Json.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillbank::cli {

namespace {

/// The length of the valid UTF-8 sequence at the start of `text`; 0 when the
/// bytes there are not one.
std::size_t Utf8SequenceLength(std::string_view text)
{
    const auto first = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    std::uint32_t lowest = 0;
    if (first < 0x80)
        return 1;
    if ((first & 0xE0) == 0xC0) {
        length = 2;
        lowest = 0x80;
    } else if ((first & 0xF0) == 0xE0) {
        length = 3;
        lowest = 0x800;
    } else if ((first & 0xF8) == 0xF0) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    std::uint32_t code = first & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, UTF-16 surrogates and values past Unicode are not UTF-8.
    if (code < lowest || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        return 0;
    return length;
}

} // namespace

std::string JsonQuoted(std::string_view text)
{
    std::string quoted = "\"";
    while (!text.empty()) {
        const char c = text.front();
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            quoted += "\\ufffd";
            text.remove_prefix(1);
            continue;
        }
        if (length > 1) {
            quoted.append(text.substr(0, length));
            text.remove_prefix(length);
            continue;
        }
        text.remove_prefix(1);
        switch (c) {
        case '"':
            quoted += "\\\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\r':
            quoted += "\\r";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                quoted += escaped;
            } else {
                quoted += c;
            }
        }
    }
    return quoted + "\"";
}

void TJsonWriter::BeforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasValue_.empty()) {
        if (hasValue_.back())
            text_ += ',';
        hasValue_.back() = true;
    }
}

TJsonWriter& TJsonWriter::BeginObject()
{
    BeforeValue();
    text_ += '{';
    hasValue_.push_back(false);
    return *this;
}

TJsonWriter& TJsonWriter::EndObject()
{
    text_ += '}';
    hasValue_.pop_back();
    return *this;
}

TJsonWriter& TJsonWriter::BeginArray()
{
    BeforeValue();
    text_ += '[';
    hasValue_.push_back(false);
    return *this;
}

TJsonWriter& TJsonWriter::EndArray()
{
    text_ += ']';
    hasValue_.pop_back();
    return *this;
}

TJsonWriter& TJsonWriter::Key(std::string_view name)
{
    BeforeValue();
    text_ += JsonQuoted(name);
    text_ += ':';
    afterKey_ = true;
    return *this;
}

TJsonWriter& TJsonWriter::String(std::string_view value)
{
    BeforeValue();
    text_ += JsonQuoted(value);
    return *this;
}

TJsonWriter& TJsonWriter::Number(std::int64_t value)
{
    BeforeValue();
    text_ += std::to_string(value);
    return *this;
}

TJsonWriter& TJsonWriter::Decimal(double value)
{
    BeforeValue();
    // Built from whole thousandths: a locale's decimal comma never gets in.
    const double thousandths = std::isfinite(value) ? std::round(std::fabs(value) * 1000) : 0;
    const auto whole = static_cast<std::int64_t>(std::min(thousandths, 9e15));
    char fraction[8];
    std::snprintf(fraction, sizeof fraction, ".%03d", static_cast<int>(whole % 1000));
    if (value < 0 && whole != 0)
        text_ += '-';
    text_ += std::to_string(whole / 1000);
    text_ += fraction;
    return *this;
}

TJsonWriter& TJsonWriter::Bool(bool value)
{
    BeforeValue();
    text_ += value ? "true" : "false";
    return *this;
}

TJsonWriter& TJsonWriter::Null()
{
    BeforeValue();
    text_ += "null";
    return *this;
}

TJsonWriter& TJsonWriter::Strings(const std::vector<std::string>& values)
{
    BeginArray();
    for (const std::string& value : values)
        String(value);
    return EndArray();
}

} // namespace quillbank::cli
