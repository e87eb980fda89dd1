// Reads the mail and news accounts of a prefs.js, with the helpers that pick apart and rewrite its lines.

#pragma once

#include "profile/PrefsParserAccount.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillbank {

class TInterfaceTexts;

/// Raised when the prefs.js to read does not exist; the message is the
/// localised "Config file prefs.js doesn't found." text.
class EPrefsNotFound : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/// Raised when a prefs.js exists but cannot be read.
class EPrefsReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

/**
 * Reads the mail and news accounts of a prefs.js. It is a line scanner that
 * looks only at the positions of double quotes, commas and parentheses, not a
 * JavaScript parser: malformed lines never fail, they yield an empty name or
 * a value cut at the first quote, and are skipped.
 */
class TPrefsParser
{
public:
    /// Reads `fileName` at once when `loadNow` is set.
    TPrefsParser(std::string fileName, const TInterfaceTexts& texts, bool loadNow = true);

    /// Reads the file and fills Accounts(). Throws EPrefsNotFound when the
    /// file does not exist and EPrefsReadError when it cannot be read.
    void Load();

    const std::string& FileName() const { return fileName_; }
    /// The accounts in the order their number first occurs in the file.
    const std::vector<TPrefsParserAccount>& Accounts() const { return accounts_; }

private:
    TPrefsParserAccount& AccountNumber(int number);

    std::string fileName_;
    const TInterfaceTexts& texts_;
    std::vector<TPrefsParserAccount> accounts_;
};

/// The text between the first and the second double quote of a line.
std::string PrefName(std::string_view line);

/// The text between the third and fourth double quote; when that is empty,
/// the text between the first comma and the first ")" after the second quote,
/// blanks included (so a number after ", " keeps its blank, and an empty
/// string value yields a blank and two quotes).
std::string PrefValue(std::string_view line);

/// The line up to its value's opening quote, then `newValue` (inserted as
/// given: the caller encodes it), then `");`. Whatever followed the old value
/// is dropped.
std::string ReplaceStringValue(std::string_view line, std::string_view newValue);

/// Whether the prefs.js of `profileDir` sets up a mail identity or names a
/// mail, news or feed server. Throws EPrefsReadError when the file cannot be
/// read.
bool HasMailSettings(const std::string& profileDir);

} // namespace quillbank
