// Reads each interface text, the font name and the character set from the language file anew on every lookup.

#include "config/InterfaceTexts.h"

#include "config/errorlog.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

namespace quillbank {

TInterfaceTexts::TInterfaceTexts(std::string languageFile) : languageFile_(std::move(languageFile)) {}

std::string TInterfaceTexts::GetText(std::string_view section, std::string_view key) const
{
    std::string text = ReadProfileString(languageFile_, section, key);
    return text.empty() ? GetDefaultText(key) : text;
}

std::string TInterfaceTexts::GetTextFmt(std::string_view section, std::string_view key,
                                        std::string_view argument) const
{
    return ReplaceFirst(GetText(section, key), "%s", argument);
}

std::string TInterfaceTexts::GetFontName() const
{
    return GetText("Common", "Font");
}

int TInterfaceTexts::GetCharset() const
{
    const std::string text = GetText("Common", "DefaultCharset");
    int charset = 1;
    if (!TryParseInt(text, charset)) {
        WriteErrorLog("Default.lng: \"DefaultCharset\" value \"" + text +
                      "\" is not an integer; character set 1 is used.");
        return 1;
    }
    return charset;
}

} // namespace quillbank
