// One mail or news server account of a prefs.js: its server type and where it stores its messages.

#pragma once

#include <string>

namespace quillbank {

/// One mail or news server account of a prefs.js, identified by the number N
/// of its "mail.server.serverN.*" preferences.
struct TPrefsParserAccount
{
    int Number = 0;
    /// pop3, imap, nntp, none, rss, ... as written.
    std::string ServerType;
    /// The storage folder, doubled backslashes made single.
    std::string Directory;
    /// The storage folder relative to the profile ("[ProfD]ImapMail/host").
    std::string DirectoryRel;
    std::string Charset;
    std::string NewsrcFile;
};

} // namespace quillbank
