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

/// Removes every registered temporary, then does what a TTakeBackOnExit
/// asks; the program is about to end.
void RemoveLiveTemporaries();

/// While it lives, a program that ends at once runs `takeBack` once its
/// temporaries are gone: a restore puts back the files it replaced.
class TTakeBackOnExit
{
public:
    explicit TTakeBackOnExit(std::function<void()> takeBack);
    ~TTakeBackOnExit();
    TTakeBackOnExit(const TTakeBackOnExit&) = delete;
    TTakeBackOnExit& operator=(const TTakeBackOnExit&) = delete;
};

} // namespace quillbank
