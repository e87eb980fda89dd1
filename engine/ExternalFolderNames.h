// Gives each mail folder outside the profile an archive folder of its own, clashing with no other name.

#pragma once

#include "vocabulary/MailFolder.h"

#include <vector>

namespace quillbank {

class TBackupTask;

/**
 * Gives each mail folder outside the profile a top-level archive folder of
 * its own. A folder keeps its own name unless another external folder has
 * the same name, or the name is one the profile's part of the archive uses or
 * a restore extracts into the profile ("Mail", "chrome", "indexfile.txt",
 * ...), letter case ignored as extraction ignores it. Such folders are stored
 * as "<name>~<n>" with the first free number instead, so that no two folders
 * share entries and a reader that only knows the folders' own names finds
 * nothing of theirs rather than another folder's mail. Sets ArchiveFolder of
 * every folder and moves the task's external files of renamed ones.
 */
void NameExternalFolders(TBackupTask& task, std::vector<TMailFolder>& folders);

} // namespace quillbank
