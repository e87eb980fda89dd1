// Retention: which backups of a profile to keep, by count and by day, week and month.

#pragma once

#include "platform/CivilDate.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillbank {

/**
 * Which backups of a profile to keep: the last N, and the newest of each of
 * the last N days, ISO weeks and months that have backups. A backup that
 * any rule keeps is kept; a rule of 0 keeps nothing by itself.
 */
struct TRetentionPolicy
{
    int KeepLast = 0;
    int KeepDaily = 0;
    int KeepWeekly = 0;
    int KeepMonthly = 0;

    /// Whether no rule is given, so that the policy would keep nothing.
    bool IsEmpty() const { return KeepLast == 0 && KeepDaily == 0 && KeepWeekly == 0 && KeepMonthly == 0; }
};

/// One backup as retention sees it.
struct TDatedBackup
{
    std::string Path;
    /// When it was made, in seconds since 1970 UTC: it orders the backups.
    std::int64_t MadeAt = 0;
    /// The local calendar day it was made on: it puts the backups into days,
    /// weeks and months.
    TCivilDate Day;
};

/// For each of `backups`, in the order given, whether `policy` keeps it.
/// Of backups made at the same time, the one whose path sorts last counts
/// as the newer.
std::vector<bool> KeptByPolicy(const std::vector<TDatedBackup>& backups, const TRetentionPolicy& policy);

} // namespace quillbank
