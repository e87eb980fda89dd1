// The interface texts: looked up in the language file "Default.lng", with built-in English as the fallback.

#pragma once

#include <string>
#include <string_view>

namespace quillbank {

/**
 * The interface texts. Every text is looked up by section and key in the
 * language file "Default.lng" and falls back to the built-in English text
 * when the file has no entry for it or an empty one. The file is read anew
 * on every lookup, so an edited file shows at the next lookup.
 */
class TInterfaceTexts
{
public:
    /// Bound to the language file at `languageFile`; the file need not exist.
    explicit TInterfaceTexts(std::string languageFile);

    std::string GetText(std::string_view section, std::string_view key) const;
    /// GetText with the first "%s" of the text, and only the first, replaced by `argument`.
    std::string GetTextFmt(std::string_view section, std::string_view key, std::string_view argument) const;
    /// The font face all windows draw with; empty keeps the designed font.
    std::string GetFontName() const;
    /// The font character set; a value that is not an integer is written to
    /// the error log and gives 1.
    int GetCharset() const;

    /// The built-in English text of a key (exact, case-sensitive match), empty
    /// for a key the table lacks.
    static std::string GetDefaultText(std::string_view key);

private:
    std::string languageFile_;
};

} // namespace quillbank
