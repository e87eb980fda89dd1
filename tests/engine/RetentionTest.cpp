// The retention policy on backups of simulated dates, the calendar it puts
// them in, and the header part that records a backup's profile and time.

#include "engine/Retention.h"

#include "engine/ArchiveHeader.h"
#include "engine/BackupIdentity.h"
#include "platform/CivilDate.h"
#include "tests/support/ArchiveFixture.h"
#include "tests/support/ZipBuilder.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TArchiveTest;

namespace {

/// A backup made at noon of `day`.
TDatedBackup At(const TCivilDate& day, int hour = 12)
{
    const std::int64_t time = DaysFromCivil(day) * 86400 + hour * 3600;
    return {std::to_string(day.Year) + "-" + std::to_string(day.Month) + "-" + std::to_string(day.Day) + "@" +
                std::to_string(hour),
            time, day};
}

/// The paths of the backups the policy keeps.
std::vector<std::string> Kept(const std::vector<TDatedBackup>& backups, const TRetentionPolicy& policy)
{
    const std::vector<bool> kept = KeptByPolicy(backups, policy);
    std::vector<std::string> paths;
    for (std::size_t i = 0; i < backups.size(); ++i)
        if (kept[i])
            paths.push_back(backups[i].Path);
    return paths;
}

} // namespace

TEST(RetentionTest, EachRuleKeepsTheNewestOfItsPeriodsAndTheRulesAddUp)
{
    // Given oldest first, on purpose out of the order the policy works in.
    const std::vector<TDatedBackup> backups = {
        At({2025, 12, 30}),   At({2026, 1, 4}),      At({2026, 1, 5}, 8), At({2026, 1, 5}, 20),
        At({2026, 2, 27}, 9), At({2026, 2, 27}, 21), At({2026, 3, 1})};
    EXPECT_EQ(Kept(backups, {}), std::vector<std::string>{});
    EXPECT_EQ(Kept(backups, {.KeepLast = 2}), (std::vector<std::string>{"2026-2-27@21", "2026-3-1@12"}));
    EXPECT_EQ(Kept(backups, {.KeepDaily = 3}),
              (std::vector<std::string>{"2026-1-5@20", "2026-2-27@21", "2026-3-1@12"}));
    // ISO weeks: 1 March 2026 is the Sunday of week 9, 27 February its
    // Friday; 5 January starts week 2; 4 January 2026 and 30 December 2025
    // are both in week 1 of 2026.
    EXPECT_EQ(Kept(backups, {.KeepWeekly = 3}),
              (std::vector<std::string>{"2026-1-4@12", "2026-1-5@20", "2026-3-1@12"}));
    EXPECT_EQ(Kept(backups, {.KeepMonthly = 4}),
              (std::vector<std::string>{"2025-12-30@12", "2026-1-5@20", "2026-2-27@21", "2026-3-1@12"}));
    EXPECT_EQ(Kept(backups, {.KeepLast = 1, .KeepMonthly = 2}),
              (std::vector<std::string>{"2026-2-27@21", "2026-3-1@12"}));
    EXPECT_EQ(Kept(backups, {.KeepLast = 100}).size(), backups.size());
}

TEST(RetentionTest, BackupsMadeAtTheSameTimeAreOrderedByPath)
{
    TDatedBackup a = At({2026, 3, 1}), b = At({2026, 3, 1});
    a.Path = "a.qkz";
    b.Path = "b.qkz";
    EXPECT_EQ(Kept({a, b}, {.KeepLast = 1}), std::vector<std::string>{"b.qkz"});
    EXPECT_EQ(Kept({b, a}, {.KeepDaily = 1}), std::vector<std::string>{"b.qkz"});
}

TEST(RetentionTest, CalendarArithmeticAcrossLeapYearsAndIsoYearEdges)
{
    EXPECT_EQ(DaysFromCivil({1970, 1, 1}), 0);
    EXPECT_EQ(DaysFromCivil({2000, 3, 1}), 11017);
    EXPECT_EQ(CivilFromDays(-1), (TCivilDate{1969, 12, 31}));
    for (std::int64_t day = -800000; day < 800000; day += 997)
        EXPECT_EQ(DaysFromCivil(CivilFromDays(day)), day);
    EXPECT_TRUE(IsValidDate({2024, 2, 29}));
    EXPECT_FALSE(IsValidDate({2026, 2, 29}));
    EXPECT_FALSE(IsValidDate({2026, 4, 31}));
    EXPECT_FALSE(IsValidDate({2026, 13, 1}));
    EXPECT_EQ(IsoWeekOf({2021, 1, 3}), (TIsoWeek{2020, 53}));
    EXPECT_EQ(IsoWeekOf({2024, 12, 30}), (TIsoWeek{2025, 1}));
    EXPECT_EQ(IsoWeekOf({2026, 3, 9}), (TIsoWeek{2026, 11}));
}

TEST(RetentionTest, TimesParseOnlyInTheirOneFormat)
{
    EXPECT_EQ(FormatUtcTime(0), "1970-01-01T00:00:00Z");
    EXPECT_EQ(FormatUtcTime(-1), "1969-12-31T23:59:59Z");
    EXPECT_EQ(ParseUtcTime("2026-03-09T05:10:59Z"), 1773033059);
    EXPECT_EQ(ParseUtcTime(FormatUtcTime(1773033059)), 1773033059);
    for (const char* hostile : {"", "2026-03-09", "2026-03-09T05:10:59", "2026-02-30T00:00:00Z",
                                "2026-03-09T24:00:00Z", "2026-03-09T05:60:00Z", "2026-03-09 05:10:59Z",
                                "+026-03-09T05:10:59Z", "2026-03-09T05:10:59Z\r", "２０２６-03-09T05:10:59Z"})
        EXPECT_EQ(ParseUtcTime(hostile), std::nullopt) << hostile;
}

class BackupIdentityTest : public TArchiveTest
{
protected:
    std::string archive = home.Path() + "/backup.qkz";

    std::optional<THeaderSummary> SummaryOf(const std::string& header)
    {
        home.WriteFile("backup.qkz",
                       quillbank::testing::BuildZip({{std::string(ArchiveHeaderName), header}}));
        return ReadHeaderSummary(archive, Environment());
    }
};

TEST_F(BackupIdentityTest, TheHeaderRecordsTheProfileAfterTheArchiveFolders)
{
    const TBackupIdentity identity{"work", "/home/u/.mozilla/firefox/abcd.work", 1773033059};
    const auto plain =
        SummaryOf(WriteArchiveHeader(FirefoxAppType, {}, {}, {{"notes.txt", false}}, identity));
    ASSERT_TRUE(plain && plain->Identity);
    EXPECT_EQ(plain->Type, FirefoxAppType);
    EXPECT_EQ(plain->Identity->ProfileName, "work");
    EXPECT_EQ(plain->Identity->ProfileFolder, identity.ProfileFolder);
    EXPECT_EQ(plain->Identity->MadeAt, 1773033059);

    // A renamed mail folder fills the part before; readers of that part still find it.
    const std::vector<TMailFolder> folders = {{"/mail/Local", "Local-2"}};
    const std::string header = WriteArchiveHeader(ThunderbirdAppType, {}, folders, {}, identity);
    EXPECT_EQ(SummaryOf(header)->Identity->ProfileFolder, identity.ProfileFolder);
    state.ArchivePath = archive;
    TComponentBoxes boxes;
    ReadArchiveHeader(state, boxes, Environment());
    ASSERT_EQ(state.MailFolders.size(), 1u);
    EXPECT_EQ(state.MailFolders[0].ArchiveFolder, "Local-2");

    // Without folders to rename, the part before is empty and changes nothing.
    SummaryOf(WriteArchiveHeader(ThunderbirdAppType, {}, {{"/mail/Local", "Local"}}, {}, identity));
    ReadArchiveHeader(state, boxes, Environment());
    ASSERT_EQ(state.MailFolders.size(), 1u);
    EXPECT_EQ(state.MailFolders[0].ArchiveFolder, "Local");
}

TEST_F(BackupIdentityTest, HeadersWithoutAUsableIdentityNameNoProfile)
{
    const std::string start = "Quillbank\r\nRevize: 2\r\nVerze: \r\n" + std::string(HeaderSeparator) +
                              "\r\nYNNNNNNNNNNNNN\r\n" + std::string(HeaderSeparator) + "\r\n";
    const std::string separator = std::string(HeaderSeparator) + "\r\n";
    // As older releases wrote it, and cut off at each part.
    EXPECT_FALSE(SummaryOf(start + separator + separator)->Identity);
    EXPECT_FALSE(SummaryOf(start)->Identity);
    EXPECT_FALSE(SummaryOf("Quillbank\r\n")->Identity);
    // An identity without a folder, or where the unknown entries' pairs run over it.
    EXPECT_FALSE(
        SummaryOf(start + separator + separator + separator + "Profile: work\r\n" + separator)->Identity);
    EXPECT_FALSE(
        SummaryOf(start + separator + "file\r\n" + separator + separator + "Folder: /p\r\n")->Identity);
    // A time that does not parse is left out; the folder still counts.
    const auto garbled = SummaryOf(start + separator + separator + separator +
                                   "Folder: /p\r\nMade: yesterday\r\n" + separator);
    ASSERT_TRUE(garbled && garbled->Identity);
    EXPECT_EQ(garbled->Identity->ProfileFolder, "/p");
    EXPECT_EQ(garbled->Identity->MadeAt, std::nullopt);
    // An unknown application type names none.
    EXPECT_EQ(SummaryOf("Quillbank\r\nRevize: 77\r\n")->Type, NoAppType);
}
