// Opens the backup file a command names and tells what its header says: application and components.

#pragma once

#include "vocabulary/AppType.h"
#include "vocabulary/ComponentBoxes.h"

namespace quillbank::cli {

class TCommandContext;

/// What the header of a backup file says.
struct TArchiveContents
{
    /// The application type it was made from; 0 when it names none known.
    AppType Type = NoAppType;
    /// The components it holds, ticked and enabled.
    TComponentBoxes Boxes;
};

/**
 * Recognises the backup file at the state's ArchivePath and reads its
 * header into the state (format, mail folders, unknown entries). A ZIP
 * archive is recognised whatever its application; a legacy container is
 * recognised for the state's application type, or for any when none is
 * chosen (the type found is then chosen). Throws ECommandError: no such file
 * or not a backup (exit 1), a missing or wrong password (exit 4).
 */
TArchiveContents ReadBackupFile(TCommandContext& context);

} // namespace quillbank::cli
