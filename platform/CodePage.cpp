// Converts text from Windows code pages to UTF-8 through iconv, and checks that a text is well-formed UTF-8.

#include "platform/CodePage.h"

#include "platform/Text.h"

#include <cerrno>
#include <iconv.h>
#include <map>

namespace quillbank {

namespace {

/// An iconv conversion descriptor, closed when it goes.
class TConversion
{
public:
    TConversion(const std::string& to, const std::string& from)
        : handle_(iconv_open(to.c_str(), from.c_str()))
    {}
    ~TConversion()
    {
        if (Valid())
            iconv_close(handle_);
    }
    TConversion(const TConversion&) = delete;
    TConversion& operator=(const TConversion&) = delete;

    bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t Handle() const { return handle_; }

private:
    iconv_t handle_;
};

} // namespace

std::string CodePageOfCharset(int charset)
{
    static const std::map<int, std::string> pages = {
        {128, "CP932"},  {129, "CP949"},  {134, "CP936"},  {136, "CP950"},  {161, "CP1253"},
        {162, "CP1254"}, {163, "CP1258"}, {177, "CP1255"}, {178, "CP1256"}, {186, "CP1257"},
        {204, "CP1251"}, {222, "CP874"},  {238, "CP1250"}};
    const auto found = pages.find(charset);
    return found == pages.end() ? "CP1252" : found->second;
}

std::optional<std::string> KnownCodePage(std::string_view name)
{
    std::string page = ToLowerAscii(Trim(name));
    if (page.starts_with("windows-"))
        page = page.substr(8);
    else if (page.starts_with("cp"))
        page = page.substr(2);
    int number = 0;
    const std::string iconvName =
        TryParseInt(page, number) && number > 0 ? "CP" + std::to_string(number) : ToLowerAscii(Trim(name));
    if (iconvName.empty() || !TConversion("UTF-8", iconvName).Valid())
        return std::nullopt;
    return iconvName;
}

std::optional<std::string> DecodeCodePage(std::string_view bytes, const std::string& codePage)
{
    if (bytes.find('\0') != std::string_view::npos)
        return std::nullopt;
    TConversion conversion("UTF-8", codePage);
    if (!conversion.Valid())
        return std::nullopt;
    std::string input(bytes);
    std::string output(input.size() * 4 + 4, '\0');
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    if (iconv(conversion.Handle(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1) ||
        iconv(conversion.Handle(), nullptr, nullptr, &out, &outLeft) == static_cast<std::size_t>(-1))
        return std::nullopt;
    output.resize(output.size() - outLeft);
    return output;
}

bool IsUtf8(std::string_view text)
{
    return DecodeCodePage(text, "UTF-8").has_value();
}

std::string Utf8FromCodePage(std::string_view text, const std::string& codePage)
{
    if (IsUtf8(text))
        return std::string(text);
    return DecodeCodePage(text, codePage).value_or(std::string(text));
}

} // namespace quillbank
