// A small JSON writer for the --json output, and quoting of texts that may not be UTF-8.

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank::cli {

/**
 * Writes one JSON value, member by member, on one line. It puts the commas
 * and quotes; the caller keeps the nesting straight (every Begin has its End,
 * every object member starts with Key).
 */
class TJsonWriter
{
public:
    TJsonWriter& BeginObject();
    TJsonWriter& EndObject();
    TJsonWriter& BeginArray();
    TJsonWriter& EndArray();
    TJsonWriter& Key(std::string_view name);
    TJsonWriter& String(std::string_view value);
    TJsonWriter& Number(std::int64_t value);
    /// A number with three decimals, such as seconds to the millisecond.
    TJsonWriter& Decimal(double value);
    TJsonWriter& Bool(bool value);
    TJsonWriter& Null();
    /// An array of strings as one value.
    TJsonWriter& Strings(const std::vector<std::string>& values);

    const std::string& Text() const { return text_; }

private:
    /// Puts the comma a value needs after an earlier one at the same level.
    void BeforeValue();

    std::string text_;
    /// Per open object or array: whether it holds a value yet.
    std::vector<bool> hasValue_;
    bool afterKey_ = false;
};

/// `text` as a JSON string, quotes included. Bytes that are not UTF-8
/// (possible in file names) become U+FFFD, so the output stays valid JSON.
std::string JsonQuoted(std::string_view text);

} // namespace quillbank::cli
