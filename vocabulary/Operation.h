// What a run does with a profile: back it up or restore it.

#pragma once

namespace quillbank {

/// What a run does with a profile; None before the first choice.
enum class TOperation
{
    None,
    Backup,
    Restore,
};

} // namespace quillbank
