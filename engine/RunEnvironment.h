// The environment a run's archives work in, taken from the choices of the wizard state.

#pragma once

#include "engine/Archive.h"

#include <string>

namespace quillbank {

class TInterfaceTexts;
class TUserInterface;
struct TWizardState;

/// The environment of the archives a run opens, from what `state` chose: its
/// password (shared, so one the user types stays in `state`), its code page,
/// and file progress for a backup.
TArchiveEnvironment RunEnvironment(TUserInterface& ui, const TInterfaceTexts& texts, TWizardState& state,
                                   std::string programDir);

} // namespace quillbank
