// The folders outside a profile that the program uses: its own, the home, config, state and documents.

#pragma once

#include <string>

namespace quillbank {

// The folders the program reads and writes outside a profile. None of them
// ends with a separator.

/// The folder of the running executable (its working files lie there).
std::string ExecutableDir();

/// The user's home: $HOME, else the password database entry.
std::string HomeDir();

/// The per-user application-data folder: $XDG_CONFIG_HOME when it is an
/// absolute path, else ~/.config.
std::string AppDataDir();

/// The per-user folder for state that outlives a run, such as logs and
/// rollback archives: $XDG_STATE_HOME when it is an absolute path, else
/// ~/.local/state.
std::string StateDir();

/// The user's documents folder: XDG_DOCUMENTS_DIR from user-dirs.dirs, else
/// ~/Documents when it exists, else the home folder.
std::string DocumentsDir();

} // namespace quillbank
