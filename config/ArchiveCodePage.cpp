// Picks the archive code page from the command line, "Backup.ini" or the language file, logging unknown ones.

#include "config/ArchiveCodePage.h"

#include "config/AppSettings.h"
#include "config/InterfaceTexts.h"
#include "config/errorlog.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "platform/Text.h"

#include <optional>

namespace quillbank {

namespace {

std::optional<std::string> UsableCodePage(const std::string& name, const std::string& source)
{
    if (Trim(name).empty())
        return std::nullopt;
    auto page = KnownCodePage(name);
    if (!page)
        WriteErrorLog(source + ": the code page \"" + name + "\" is not known; it is not used.");
    return page;
}

} // namespace

std::string ArchiveCodePage(const std::string& chosen, const std::string& programDir,
                            const TInterfaceTexts& texts)
{
    if (auto page = UsableCodePage(chosen, "--codepage"))
        return *page;
    const std::string settings = SettingsFilePath(programDir);
    if (auto page = UsableCodePage(ReadProfileString(settings, "General", "codePage"), settings))
        return *page;
    return CodePageOfCharset(texts.GetCharset());
}

} // namespace quillbank
