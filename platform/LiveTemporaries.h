// The temporary files being written right now, removed first when the program has to end at once.

#pragma once

#include <functional>
#include <string>

namespace quillbank {

/**
 * The temporary files that are being written right now. A run can end the
 * program at once (TUserInterface::ExitImmediately, after a cancel or a
 * failure) while files are half written beside their targets; those it
 * registered here are removed first, so that none outlives the run. Safe to
 * use from every thread.
 */

/// Creates and opens (close-on-exec) a temporary beside `target`, named by
/// TemporaryTemplateBeside, and registers it; `path` receives its name.
/// Returns the descriptor, or -1 with errno set.
int OpenTemporaryBeside(const std::string& target, std::string& path);

/// Registers a temporary file made by other means.
void RegisterTemporary(const std::string& path);

/// The temporary at `path` is no longer ours to remove: it was renamed into
/// place or removed.
void ForgetTemporary(const std::string& path);

/// Removes every registered temporary, then runs every TAtAbruptEnd's action
/// once; the program is about to end.
void RemoveLiveTemporaries();

/**
 * While it lives, an action that a program ending at once (a cancel answered
 * Yes, a fatal error) runs once its temporaries are gone: removing files
 * another library writes under names of its own, or putting back the files a
 * restore replaced.
 */
class TAtAbruptEnd
{
public:
    explicit TAtAbruptEnd(std::function<void()> ending);
    ~TAtAbruptEnd();
    TAtAbruptEnd(const TAtAbruptEnd&) = delete;
    TAtAbruptEnd& operator=(const TAtAbruptEnd&) = delete;

private:
    unsigned long id_;
};

} // namespace quillbank
