// Marks the backups each retention rule keeps, walking them from the newest to the oldest.

#include "engine/Retention.h"

#include <algorithm>
#include <functional>
#include <numeric>
#include <optional>

namespace quillbank {

namespace {

/// Keeps the first backup of each of the first `count` periods, going from
/// the newest backup to the oldest.
void KeepNewestOfEach(const std::vector<TDatedBackup>& backups, const std::vector<std::size_t>& newestFirst,
                      int count, const std::function<std::int64_t(const TCivilDate&)>& period,
                      std::vector<bool>& kept)
{
    std::optional<std::int64_t> last;
    for (std::size_t index : newestFirst) {
        if (count <= 0)
            return;
        const std::int64_t current = period(backups[index].Day);
        if (current == last)
            continue;
        last = current;
        kept[index] = true;
        --count;
    }
}

} // namespace

std::vector<bool> KeptByPolicy(const std::vector<TDatedBackup>& backups, const TRetentionPolicy& policy)
{
    std::vector<std::size_t> newestFirst(backups.size());
    std::iota(newestFirst.begin(), newestFirst.end(), std::size_t{0});
    std::ranges::sort(newestFirst, [&backups](std::size_t a, std::size_t b) {
        if (backups[a].MadeAt != backups[b].MadeAt)
            return backups[a].MadeAt > backups[b].MadeAt;
        return backups[a].Path > backups[b].Path;
    });
    std::vector<bool> kept(backups.size(), false);
    for (std::size_t rank = 0;
         rank < newestFirst.size() && rank < static_cast<std::size_t>(std::max(policy.KeepLast, 0)); ++rank)
        kept[newestFirst[rank]] = true;
    KeepNewestOfEach(backups, newestFirst, policy.KeepDaily, DaysFromCivil, kept);
    KeepNewestOfEach(
        backups, newestFirst, policy.KeepWeekly,
        [](const TCivilDate& day) {
            const TIsoWeek week = IsoWeekOf(day);
            return std::int64_t{week.Year} * 100 + week.Week;
        },
        kept);
    KeepNewestOfEach(
        backups, newestFirst, policy.KeepMonthly,
        [](const TCivilDate& day) { return std::int64_t{day.Year} * 100 + day.Month; }, kept);
    return kept;
}

} // namespace quillbank
