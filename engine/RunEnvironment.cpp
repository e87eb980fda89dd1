// Builds the archive environment from the wizard state: its password, its code page, file progress on backup.

#include "engine/RunEnvironment.h"

#include "apps/WizardState.h"

#include <utility>

namespace quillbank {

TArchiveEnvironment RunEnvironment(TUserInterface& ui, const TInterfaceTexts& texts, TWizardState& state,
                                   std::string programDir)
{
    return {ui,
            texts,
            std::move(programDir),
            state.BackupPassword,
            state.CodePage,
            state.Operation == TOperation::Backup};
}

} // namespace quillbank
