// Tests of the command-line option parser and of choosing components by their names.

#include "cli/Options.h"

#include "cli/ComponentNames.h"
#include "cli/ExitCodes.h"

#include <array>

#include <gtest/gtest.h>

using namespace quillbank;
using namespace quillbank::cli;

namespace {

constexpr std::array<TOptionDefinition, 5> Accepted = {{
    {"app", true},
    {"map", true, true},
    {"json", false},
    {"quiet", false},
    {"help", false},
}};

std::string UsageError(const std::vector<std::string>& arguments)
{
    try {
        ParseOptions(arguments, Accepted);
    } catch (const EUsageError& error) {
        EXPECT_EQ(error.ExitCode(), ExitUsage);
        return error.what();
    }
    return "(accepted)";
}

} // namespace

TEST(Options, ValuesFollowOrJoinTheirOptionAndShortFormsStandForLongOnes)
{
    const TOptions options = ParseOptions({"first", "--app", "fire", "-q", "--json", "second"}, Accepted);
    EXPECT_EQ(options.Value("app"), "fire");
    EXPECT_TRUE(options.Has("quiet"));
    EXPECT_TRUE(options.Has("json"));
    EXPECT_FALSE(options.Has("help"));
    EXPECT_EQ(options.Value("help"), std::nullopt);
    EXPECT_EQ(options.Arguments(), (std::vector<std::string>{"first", "second"}));

    const TOptions joined = ParseOptions({"--app=a=b", "-h", "--", "--json", "-"}, Accepted);
    EXPECT_EQ(joined.Value("app"), "a=b");
    EXPECT_TRUE(joined.Has("help"));
    EXPECT_FALSE(joined.Has("json"));
    EXPECT_EQ(joined.Arguments(), (std::vector<std::string>{"--json", "-"}));
    // A repeatable option keeps every value in order.
    const TOptions repeated = ParseOptions({"--map", "a", "--map=b"}, Accepted);
    EXPECT_EQ(repeated.Values("map"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(repeated.Values("app"), std::vector<std::string>());
    // A value may start with a dash.
    EXPECT_EQ(ParseOptions({"--app", "-x"}, Accepted).Value("app"), "-x");
}

TEST(Options, MistakesAreUsageErrorsNamingTheOption)
{
    EXPECT_EQ(UsageError({"--apps", "x"}), "unknown option --apps (did you mean \"--app\"?)");
    EXPECT_EQ(UsageError({"-x"}), "unknown option -x");
    EXPECT_EQ(UsageError({"--app"}), "--app needs a value");
    EXPECT_EQ(UsageError({"--json=yes"}), "--json takes no value");
    EXPECT_EQ(UsageError({"--app", "a", "--app=b"}), "--app is given twice");
    EXPECT_EQ(ParseIntegerOption("level", "7", 0, 9), 7);
    for (const char* text : {"10", "-1", "x", "", "7 "})
        EXPECT_THROW(ParseIntegerOption("level", text, 0, 9), EUsageError) << text;
}

TEST(Options, ComponentListsNameEachComponentOnce)
{
    EXPECT_EQ(ParseComponentList("bookmarks, History,,bookmarks,cache"),
              (std::vector<TComponentBox>{BookmarksBox, HistoryBox, CacheBox}));
    EXPECT_THROW(ParseComponentList("bookmarks,mail"), EUsageError);
    EXPECT_THROW(ParseComponentList(" , "), EUsageError);
    // Every component box has a name, and each name one box.
    EXPECT_EQ(ComponentNames().size(), static_cast<std::size_t>(ComponentBoxCount));
    for (int box = 1; box <= ComponentBoxCount; ++box) {
        const std::string_view name = ComponentName(static_cast<TComponentBox>(box));
        ASSERT_FALSE(name.empty()) << box;
        EXPECT_EQ(ParseComponentList(name), std::vector<TComponentBox>{static_cast<TComponentBox>(box)});
    }
    TComponentBoxes boxes;
    boxes[CookiesBox].Checked = true;
    boxes[GeneralSettingsBox].Checked = true;
    boxes[AccountsSettingsOnlyBox].Checked = true;
    EXPECT_EQ(TickedComponentNames(boxes),
              (std::vector<std::string>{"general-settings", "accounts-settings-only", "cookies"}));
}

TEST(Options, ChosenComponentsAreTheWantedOnesTheSourceHolds)
{
    TComponentBoxes available;
    available[EmailsBox] = {true, true};
    available[BookmarksBox] = {true, true};
    available[HistoryBox] = {false, true};
    available[CookiesBox] = {false, false};
    EXPECT_EQ(TickedComponentNames(ChooseComponents(available, {}, "the profile")),
              (std::vector<std::string>{"emails", "bookmarks"}));
    EXPECT_EQ(TickedComponentNames(ChooseComponents(available, {HistoryBox}, "the profile")),
              std::vector<std::string>{"history"});
    // "Accounts settings only" takes the place of Emails, asked for or not.
    const TComponentBoxes accounts =
        ChooseComponents(available, {EmailsBox, AccountsSettingsOnlyBox}, "the profile");
    EXPECT_EQ(TickedComponentNames(accounts), std::vector<std::string>{"accounts-settings-only"});
    EXPECT_FALSE(accounts[EmailsBox].Enabled);
    try {
        ChooseComponents(available, {BookmarksBox, CookiesBox}, "the backup");
        ADD_FAILURE() << "cookies were chosen";
    } catch (const EUsageError& error) {
        EXPECT_STREQ(error.what(), "cookies was asked for, but the backup holds none");
    }
}
