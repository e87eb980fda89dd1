// The built-in English text of every interface key, used when the language file has none.

#include "config/InterfaceTexts.h"

namespace quillbank {

namespace {

struct TEnglishText
{
    std::string_view key;
    std::string_view text;
};

// The English text of every key, grouped by the language-file section under
// which the key is looked up. The lookup ignores the section: a key that is
// looked up under two sections ("LANG_DETEKCE", "LANG_CAPTION") has one text
// and is listed once, in the first of its groups.
constexpr TEnglishText kEnglishTexts[] = {
    // Section "TForm1".
    {"LANG_OKNO_1", " - Welcome"},
    {"LANG_APLIKACE_WELCOME", "Welcome to Quillbank"},
    {"LANG_APLIKACE_VOLBA", " - Operation type"},
    {"LANG_BUTTON_1", "Next >"},
    {"LANG_BUTTON_2", "Cancel"},
    {"LANG_BUTTON_3", "< Back"},
    {"LANG_BUTTON_OK", "OK"},
    {"LANG_BUTTON_KONEC", "Finish"},
    {"LANG_WARNING", "Warning"},
    {"LANG_QUESTION", "Question"},
    {"LANG_VOLBA", "Operation"},
    {"LANG_NO_PROGRAM", "Mozilla application doesn't found on your system."},
    {"LANG_CO_PROVEST", "Choose the operation you want to perform:"},
    {"LANG_ZALOHA", "Backup a profile"},
    {"LANG_OBNOVA", "Restore a profile"},
    {"LANG_VOLBA_PROFILU", " - Profile selection"},
    {"LANG_TEXT2_1", "Select the profile you want to backup:"},
    {"LANG_TEXT4_1", "Then select the location of the backup file:"},
    {"LANG_TEXT2_2", "Select the profile you want to restore."},
    {"LANG_TEXT4_2", "Then select the backup file to restore the profile from:"},
    {"LANG_END_PROGRAM", "Exit the program"},
    {"LANG_END_TEXT", "The operation is not finished. Do you really want to exit the program?"},
    {"LANG_NEW_PROFIL", "New profile"},
    {"LANG_RELOAD", "Refresh"},
    {"LANG_CHOOSE", "Browse..."},
    {"LANG_NEW_PROFIL_NAME", "Enter the new profile name:"},
    {"LANG_PROFIL_EXIST", "A profile with this name already exists."},
    {"LANG_NO_NAME", "No profile name was entered."},
    {"LANG_SOUCASTI", " - Components selection"},
    {"LANG_CHOOSE_ZALOHA", "Select the details you want to backup:"},
    {"LANG_CHOOSE_OBNOVA", "Select the details you want to restore:"},
    {"LANG_CHECKBOX1", "General settings"},
    {"LANG_CHECKBOX2", "Emails"},
    {"LANG_CHECKBOX3", "Address books"},
    {"LANG_CHECKBOX4", "Bookmarks"},
    {"LANG_CHECKBOX5", "History"},
    {"LANG_CHECKBOX6", "Sidebars"},
    {"LANG_CHECKBOX7", "Accounts settings only"},
    {"LANG_CHECKBOX8", "User styles"},
    {"LANG_CHECKBOX9", "Saved passwords"},
    {"LANG_CHECKBOX10", "Cookies"},
    {"LANG_CHECKBOX11", "Saved form details"},
    {"LANG_CHECKBOX12", "Downloaded file list"},
    {"LANG_CHECKBOX13", "Certificates"},
    {"LANG_CHECKBOX14", "Extensions"},
    {"LANG_CHECKBOX14_HINT", "Firefox & Thunderbird only"},
    {"LANG_CHECKBOX15", "Cache"},
    {"LANG_GROUPBOX3", "Details"},
    {"LANG_BAD_FILE2", "The selected file is not a valid backup file."},
    {"LANG_BAD_PROFIL", "The selected user profile is corrupted. The program will exit."},
    {"LANG_NOT_FOUND", "A critical error occurred while accessing the file. The program will exit."},
    {"LANG_NOT_FOUND2",
     "A critical error occurred while modifying the preferences file. The program will exit."},
    {"LANG_PROV_AKCE", " - Processing operation"},
    {"LANG_ZAVER", " - Report"},
    {"LANG_WRITE_ERROR", "The program can not write in the backup file. Either the disk is full or you do "
                         "not have write permissions. The program will exit."},
    {"LANG_WRITE_ERROR2", "Some files can not be restored. Either the disk is full or you do not have write "
                          "permissions. The program will exit."},
    {"LANG_END_FILE", "The backup file is corrupted.  The program will exit."},
    {"LANG_KONEC", "An error occurred while backing up some files. Either the disk is full or you don't have "
                   "write permission. The program will exit."},
    {"LANG_DIR_ERROR", "Creation of the directory did not succeed. Either the disk is full or you don't have "
                       "write permission. The program will exit."},
    {"LANG_AKCE_OBECNE1", "Task: Restoring general settings"},
    {"LANG_AKCE_MAIL1", "Task: Restoring emails"},
    {"LANG_KONTATKY1", "Task: Restoring address books"},
    {"LANG_FAVORITES1", "Task: Restoring bookmarks"},
    {"LANG_HISTORIE1", "Task: Restoring history"},
    {"LANG_PANELY1", "Task: Restoring sidebars"},
    {"LANG_STYLY1", "Task: Restoring user styles"},
    {"LANG_HESLA1", "Task: Restoring saved passwords"},
    {"LANG_COOKIES1", "Task: Restoring cookies"},
    {"LANG_FORMULAR1", "Task: Restoring saved form details"},
    {"LANG_DOWNLOAD1", "Task: Restoring downloaded file list"},
    {"LANG_EXTENSIONS1", "Task: Restoring extensions"},
    {"LANG_CACHE1", "Task: Restoring cache"},
    {"LANG_SOUBOR", "Restored file: "},
    {"LANG_NOT_FOUND_FILE", "The backup file does not exist. The program will exit."},
    {"LANG_SOUBOR_EXIST", "This file already exists. Overwrite it?"},
    {"LANG_ONLYPROFIL", "(profiles only)"},
    {"LANG_NO_BACKUP_FILE", "The backup file was not found or corrupted."},
    {"LANG_BACKUP_RESTOR", "The backup was restored. You can read the report below:"},
    {"LANG_MEMO1", "This wizard will help you to backup or restore your Mozilla user profile(s)."},
    {"LANG_MEMO11", "It is strongly recommended that you exit all Windows programs that can manipulate any "
                    "of your Mozilla user profiles before continuing."},
    {"LANG_MEMO12", "Click Cancel to quit the program, or click Next to continue."},
    {"LANG_MEMO2",
     "It is possible to backup or restore Mozilla user profile(s) for the following application(s):"},
    {"LANG_MEMO3", "The backup was created. You can read the report below:"},
    {"LANG_CERTIF1", "Task: Restoring certificates"},
    {"LANG_NO_FILES", "Some files not found. Please reinstall."},
    {"LANG_DIR_DEFAULT", "Default directory"},
    {"LANG_LOCATION", "Location:"},
    {"LANG_DIALOGS", "Quillbank (*.qkz) | *.qkz"},
    {"LANG_NEW_BR", "&New backup or restore"},
    {"LANG_BADINIREAD", "I cannot read file backup.ini"},
    {"LANG_BADINIWRITE", "I cannot write to file backup.ini"},
    // Also looked up under "Quillbank14".
    {"LANG_DETEKCE", "%s is running. Exit it and click the Retry button."},
    {"LANG_DETEKCE2", "You must exit %s before backing up. The program will exit."},

    // Section "Quillbank14".
    {"LANG_FILE", "File"},
    {"LANG_OVERWRITE_PROFILE",
     "Restoration can overwrite exist files in selected profile. Do you want to continue?"},
    {"LANG_OUTSIDE_PROFILE", "The emails are also restored into these folders outside the profile:"},
    {"LANG_WINDOWS_FOLDERS", "This backup was made on Windows. Its mail folders outside the profile go to "
                             "these places; keep them? Choose No to pick a folder for each."},
    {"LANG_WINDOWS_FOLDER_CHOOSE", "Folder for the mail of %s"},
    {"LANG_OUTSIDE_PREFERENCES",
     "The restored settings name these places outside the profile; they are kept only if you continue:"},
    {"LANG_KEY_REPLACED",
     "The restore replaces the key database of the profile. These files of the profile are "
     "not in the backup, and what they keep could no longer be opened:"},
    {"LANG_SECRET_LOGINS", "saved passwords"},
    {"LANG_SECRET_OPENPGP", "the passphrase of the OpenPGP keys"},
    {"LANG_SECRET_CERTIFICATES", "the keys of client certificates"},
    {"LANG_INVALID_OUTPUT", "Backup's file isn't valid. Backup has failed."},
    {"LANG_SELECT_PROFILE_FOLDER", "Select folder where you want to store a profile."},
    {"LANG_DIRECTORY", "directory"},
    {"LANG_UNKNOW", "Task: Restoring unknow files"},
    {"LANG_UNKNOW_FILES", "Unknow files"},
    {"LANG_UNKNOW_FILES_DESC", "Check unknow files in your profile which you want to backup/restore:"},
    {"LANG_AKCE_OBECNE_R_OK", "General settings restore... OK"},
    {"LANG_AKCE_MAIL_R_OK", "Emails restore... OK"},
    {"LANG_AKCE_KONTAKTY_R_OK", "Address books restore... OK"},
    {"LANG_AKCE_FAVORITES_R_OK", "Bookmarks restore... OK"},
    {"LANG_AKCE_HISTORIE_R_OK", "History restore... OK"},
    {"LANG_AKCE_PANELY_R_OK", "Sidebars restore... OK"},
    {"LANG_AKCE_STYLY_R_OK", "User styles restore... OK"},
    {"LANG_AKCE_HESLA_R_OK", "Password restore ... OK"},
    {"LANG_AKCE_COOKIES_R_OK", "Cookies restore... OK"},
    {"LANG_AKCE_FORMULARE_R_OK", "Saved form details restore... OK"},
    {"LANG_AKCE_SOUBORY_R_OK", "Downloaded file list restore... OK"},
    {"LANG_AKCE_EXTENSIONS_R_OK", "Extensions restore... OK"},
    {"LANG_AKCE_CACHE_R_OK", "Cache restore... OK"},
    {"LANG_CERTIF_R_OK", "Certificates restore... OK"},
    {"LANG_AKCE_UNKNOW_R_OK", "Unknow files restore... OK"},
    {"LANG_AKCE_OBECNE_R_FAILED", "General settings restore... FAILED"},
    {"LANG_AKCE_MAIL_R_FAILED", "Emails restore... FAILED"},
    {"LANG_AKCE_KONTAKTY_R_FAILED", "Address books restore... FAILED"},
    {"LANG_AKCE_FAVORITES_R_FAILED", "Bookmarks restore... FAILED"},
    {"LANG_AKCE_HISTORIE_R_FAILED", "History restore... FAILED"},
    {"LANG_AKCE_PANELY_R_FAILED", "Sidebars restore... FAILED"},
    {"LANG_AKCE_STYLY_R_FAILED", "User styles restore... FAILED"},
    {"LANG_AKCE_HESLA_R_FAILED", "Password restore ... FAILED"},
    {"LANG_AKCE_COOKIES_R_FAILED", "Cookies restore... FAILED"},
    {"LANG_AKCE_FORMULARE_R_FAILED", "Saved form details restore... FAILED"},
    {"LANG_AKCE_SOUBORY_R_FAILED", "Downloaded file list restore... FAILED"},
    {"LANG_AKCE_EXTENSIONS_R_FAILED", "Extensions restore... FAILED"},
    {"LANG_AKCE_CACHE_R_FAILED", "Cache restore... FAILED"},
    {"LANG_CERTIF_R_FAILED", "Certificates restore... FAILED"},
    {"LANG_AKCE_UNKNOW_R_FAILED", "Unknow files restore... FAILED"},
    {"LANG_NOT_RESTORED", "- Not restored: %s"},
    {"LANG_MAIL_FOLDER_PLACE", "- Mail folder restored: %s"},
    {"LANG_PREF_DROPPED", "- Setting left out, it names a place this machine does not have: %s"},
    {"LANG_RUN_INCOMPLETE", "Incomplete: %s left out (each is named above and in the error log)"},
    {"LANG_RUN_FAILED", "FAILED: %s"},
    {"LANG_SKIPPED_HINT", "Not restored into the profiles of %s"},
    {"LANG_SKIPPED", "- Skipped: %s (not restored into the profiles of this application)"},
    {"LANG_OTHER_APP_BACKUP",
     "This backup was made with %s: only the ticked components apply to this application."},
    {"LANG_PORTABLE", "Portable"},
    {"LANG_PORTABLE_PROFILE", "Portable profile"},
    {"LANG_PORTABLE_SELECT_PROFILE", "Select profile of your portable Mozilla application."},
    {"LANG_NO_PROFIL2", "No profile was found."},
    {"LANG_NAME_BLANK_LOCATION", "A profile name with a blank cannot be used together with a chosen "
                                 "location. Choose a name without blanks, or no location."},
    {"LANG_PROFILE_NOT_MADE",
     "The application did not create the profile \"%s\". Check that it can start, then try again."},
    {"LANG_ERROR", "Error"},
    {"LANG_CHOOSE_FILE_BACKUP", "Save backup to directory"},
    {"LANG_CHOOSE_FILE_RESTORE", "Restore backup from directory"},
    {"LANG_SEL_DESEL_ALL", "Select/Deselect all"},
    {"LANG_CANNOT_RESTORE_ORIG_EXT", "Cannot restore external mail account to original location!"},
    {"LANG_BACKUP_PARTS", "Backup contains:"},
    {"LANG_DISK_SPACE_CALCULATE", "Calculating disk space. This takes some time."},
    {"LANG_PORTABLE_APPS", "Portable applications"},
    {"LANG_ACCOUNT_BACKED_UP", "Backed up: %s"},
    {"LANG_ACCOUNT_TO_BACK_UP", "To back up: %s"},
    {"LANG_ACCOUNT_FILES", "%s files"},
    {"LANG_ACCOUNT_UNKNOWN", "unknown entries"},
    {"LANG_ACCOUNT_BY_RULE", "Left out by a rule: %s"},
    {"LANG_ACCOUNT_BY_FAULT", "Left out by a fault: %s"},
    {"LANG_RULE_CACHE", "the cache (not chosen)"},
    {"LANG_RULE_LOCK_FILES", "lock files"},
    {"LANG_RULE_REBUILT", "caches the applications rebuild"},
    {"LANG_RULE_NOT_CHOSEN", "components not chosen"},
    {"LANG_RULE_NOT_TICKED", "unknown entries not ticked"},
    {"LANG_RULE_NO_COMPONENT", "files no component takes"},
    {"LANG_UNDO_RESTORE", "&Undo this restore"},
    {"LANG_UNDO_DONE", "The restore was undone: the profile is as it was before it."},
    {"LANG_UNDO_FAILED", "The restore could not be undone: %s"},

    // Section "TForm4".
    {"LANG_ENCRYPT", "Do you want to password-protect the backup file?"},
    // Also looked up under "TForm5".
    {"LANG_CAPTION", "Enter ZIP Password"},
    {"LANG_TEXT", "Enter the password:"},
    {"LANG_HESLO", "Password:"},
    {"LANG_HESLO2", "Confirm password:"},
    {"LANG_NO_PASS", "Password should be at least three characters long."},
    {"LANG_NO_STEJ", "The passwords you typed do not match."},

    // Section "TForm5".
    {"LANG_LABEL1", "This file is encrypted. Please enter password:"},

    // Section "LANG_DIRECTORY".
    {"LANG_PREFS_JS_NOT_FOUND", "Config file prefs.js doesn't found."},

    // Section "Common": no font of its own (the designed one stays) and the
    // default character set.
    {"Font", ""},
    {"DefaultCharset", "1"},
};

} // namespace

std::string TInterfaceTexts::GetDefaultText(std::string_view key)
{
    for (const TEnglishText& entry : kEnglishTexts)
        if (entry.key == key)
            return std::string(entry.text);
    return {};
}

} // namespace quillbank
