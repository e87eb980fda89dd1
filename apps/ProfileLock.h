// Whether a profile folder is in use, as the applications' own lock files tell it.

#pragma once

#include <string>

namespace quillbank {

/// What the applications' own lock says about a profile folder.
enum class TProfileLock
{
    /// The profile has lock files and no running instance holds them.
    Free,
    /// A running instance uses the profile.
    InUse,
    /// The profile has no lock files at all (never opened by an application
    /// that locks its profiles): the lock cannot tell.
    Unknown,
};

/**
 * Reads the lock of the profile at `profileDir` as the applications leave it
 * on Linux: ".parentlock" with an fcntl lock held by the running instance
 * (seen across process namespaces, so a snap or flatpak instance counts),
 * and the "lock" link, whose target "<address>:+<process id>" names the
 * instance; a link naming another machine, or a process that no longer runs
 * (a leftover of an instance that ended without cleaning up), does not count.
 */
TProfileLock ReadProfileLock(const std::string& profileDir);

} // namespace quillbank
