// Writes what a backup took and left out (its account) as one JSON object, for --json.

#pragma once

#include "cli/Json.h"
#include "engine/BackupAccount.h"

namespace quillbank::cli {

/**
 * Writes the account of a backup as one JSON object: "entries" (files and
 * bytes in all), "components" (by name, those with entries, in the order of
 * the component list), "unknownEntries", "leftOutByRule" (every rule by name)
 * and "leftOutByFault" (path and reason of each file).
 */
void WriteAccountJson(TJsonWriter& json, const TBackupAccount& account);

} // namespace quillbank::cli
