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
