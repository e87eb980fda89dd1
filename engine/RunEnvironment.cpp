// Builds the archive environment from the wizard state: its password, its code page, file progress on backup.

#include "engine/RunEnvironment.h"

#include "apps/WizardState.h"

#include <utility>

namespace quillbank {

TArchiveEnvironment RunEnvironment(TUserInterface& ui, const TInterfaceTexts& l10n, TWizardState& state,
                                   std::string programDir)
{
    return {ui,
            l10n,
            std::move(programDir),
            state.BackupPassword,
            state.CodePage,
            state.Operation == TOperation::Backup};
}

} // namespace quillbank
