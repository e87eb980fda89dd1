// Where a restore puts a mail folder that a backup made on Windows recorded by its Windows path.

#pragma once

#include "vocabulary/MailFolder.h"

#include <set>
#include <string>

namespace quillbank {

/**
 * Where a restore into `profileDir` (ends with "/") puts the mail folder
 * that a backup made on Windows recorded as a Windows path: the place the
 * user chose for it, else the folder named after it inside the profile's
 * "Mail" folder. That one never takes a name the "Mail" folder already
 * holds, in any letter case, nor one of `taken`: it becomes "<name>-2",
 * "<name>-3", ... instead. The place is added to `taken`.
 */
std::string WindowsFolderPlace(const TMailFolder& folder, const std::string& profileDir,
                               std::set<std::string>& taken);

} // namespace quillbank
