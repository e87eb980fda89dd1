// Tests of the file-name template: every placeholder, leading zeros, values that hold slashes.

#include "config/FileNameTemplate.h"

#include <clocale>
#include <cstdlib>

#include <gtest/gtest.h>

using namespace quillbank;

namespace {

// Wednesday, 5 March 2008, 07:04:09.005
const TLocalDateTime March5{2008, 3, 5, 7, 4, 9, 5, 3};

TTemplateSelection Firefox(std::optional<std::string> profile = std::nullopt, bool restore = false)
{
    return {FirefoxAppType, "2.0", std::move(profile), restore};
}

} // namespace

TEST(FileNameTemplate, DefaultTemplate)
{
    EXPECT_EQ(ExpandFileNameTemplate("<application> <version> - <year>-<month>-<day>.qkz", Firefox(), March5),
              "Firefox 2.0 - 2008-03-05.qkz");
}

TEST(FileNameTemplate, EveryPlaceholderEverywhere)
{
    EXPECT_EQ(ExpandFileNameTemplate("<hour>:<minute>:<second>.<millisecond> <dayOfWeek> <year><year>",
                                     Firefox(), March5),
              "07:04:09.05 Wednesday 20082008");
    EXPECT_EQ(
        ExpandFileNameTemplate("<application>", {NetscapeMessengerAppType, "", std::nullopt, false}, March5),
        "Messanger");
    EXPECT_EQ(ExpandFileNameTemplate("<application><version>", {NoAppType, "", std::nullopt, false}, March5),
              "");
    EXPECT_EQ(ExpandFileNameTemplate("<Year> <unknown> <profile >", Firefox(), March5),
              "<Year> <unknown> <profile >");
}

TEST(FileNameTemplate, OneLeadingZeroForSingleDigitsOnly)
{
    TLocalDateTime time = March5;
    for (const auto& [millisecond, text] : {std::pair{5, "05"}, {45, "45"}, {345, "345"}, {0, "00"}}) {
        time.Millisecond = millisecond;
        EXPECT_EQ(ExpandFileNameTemplate("<millisecond>", Firefox(), time), text);
    }
    time = {999, 12, 31, 23, 59, 59, 999, 6};
    EXPECT_EQ(ExpandFileNameTemplate("<year>-<month>-<day> <hour><minute><second>", Firefox(), time),
              "999-12-31 235959");
}

TEST(FileNameTemplate, ProfilePlaceholder)
{
    EXPECT_EQ(ExpandFileNameTemplate("<profile>.qkz", Firefox("default"), March5), "default.qkz");
    EXPECT_EQ(ExpandFileNameTemplate("<profile>.qkz", Firefox(), March5), "<profile>.qkz");
    EXPECT_EQ(ExpandFileNameTemplate("<profile>.qkz", Firefox(std::nullopt, true), March5), ".qkz");
    EXPECT_EQ(ExpandFileNameTemplate("<profile>/<year>", Firefox(std::nullopt, true), March5), "/2008");
}

TEST(FileNameTemplate, InsertedValuesGoThroughTheLaterSteps)
{
    // A profile named "<year>" is inserted before the year step and becomes the year.
    EXPECT_EQ(ExpandFileNameTemplate("<profile>.qkz", Firefox("<year>"), March5), "2008.qkz");
    // A version holding "<profile>" is filled by the profile step that follows it.
    EXPECT_EQ(ExpandFileNameTemplate("<version>", {FirefoxAppType, "<profile>", "p", false}, March5), "p");
    // But a profile name never brings back an earlier placeholder.
    EXPECT_EQ(ExpandFileNameTemplate("<profile>", Firefox("<application>"), March5), "<application>");
}

TEST(FileNameTemplate, SlashesInValuesNeverAddAFolderLevel)
{
    EXPECT_EQ(ExpandFileNameTemplate("/saves/<application>/<profile> <version>.qkz",
                                     {FirefoxAppType, "3.6/beta", "work/home", false}, March5),
              "/saves/Firefox/work-home 3.6-beta.qkz");
}

TEST(FileNameTemplate, WeekdayFollowsTheUserLocale)
{
    const char* saved = std::getenv("LC_ALL");
    const std::string savedValue = saved ? saved : "";
    setenv("LC_ALL", "C", 1);
    TLocalDateTime sunday = March5;
    sunday.DayOfWeek = 0;
    EXPECT_EQ(ExpandFileNameTemplate("<dayOfWeek>", Firefox(), sunday), "Sunday");
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const std::string german = ExpandFileNameTemplate("<dayOfWeek>", Firefox(), sunday);
    saved ? setenv("LC_ALL", savedValue.c_str(), 1) : unsetenv("LC_ALL");
    if (german == "Sunday")
        GTEST_SKIP() << "the de_DE.UTF-8 locale is not installed here";
    EXPECT_EQ(german, "Sonntag");
}

TEST(FileNameTemplate, CurrentTimeIsPlausible)
{
    const TLocalDateTime now = CurrentLocalDateTime();
    EXPECT_GE(now.Year, 2024);
    EXPECT_TRUE(now.Month >= 1 && now.Month <= 12);
    EXPECT_TRUE(now.Millisecond >= 0 && now.Millisecond <= 999);
    EXPECT_TRUE(now.DayOfWeek >= 0 && now.DayOfWeek <= 6);
}
