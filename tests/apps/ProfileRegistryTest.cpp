// Tests of the profile registry reader: both IsRelative rules and where the default profile comes from.

#include "apps/ProfileRegistry.h"

#include "tests/support/FakeHome.h"

#include <gtest/gtest.h>

using namespace quillbank;
using quillbank::testing::TFakeHome;

namespace {

/// Which profiles of `registry` lie below `root` rather than at their stored path.
std::vector<bool> RelativeOnes(const TProfileRegistry& registry, const std::string& root)
{
    std::vector<bool> relative;
    for (const TAppProfile& profile : registry.Profiles)
        relative.push_back(profile.Folder() == root + profile.RelativePath());
    return relative;
}

} // namespace

// The two rules agree on what the applications write, 0 and 1.
TEST(ProfileRegistryTest, TheIsRelativeRulesPartOnlyOnOtherValues)
{
    TFakeHome home;
    const std::string root = home.MakeDir("root") + "/";
    home.WriteFile("root/profiles.ini", "[Profile0]\nName=a\nIsRelative=0\nPath=p\n"
                                        "[Profile1]\nName=b\nIsRelative=1\nPath=p\n"
                                        "[Profile2]\nName=c\nIsRelative=2\nPath=p\n"
                                        "[Profile3]\nName=d\nIsRelative=256\nPath=p\n"
                                        "[Profile4]\nName=e\nIsRelative=257\nPath=p\n"
                                        "[Profile5]\nName=f\nPath=p\n");
    EXPECT_EQ(RelativeOnes(ReadProfileRegistry(root, TIsRelativeRule::LowByteNotZero), root),
              (std::vector<bool>{false, true, true, false, true, false}));
    EXPECT_EQ(RelativeOnes(ReadProfileRegistry(root, TIsRelativeRule::OnlyOne), root),
              (std::vector<bool>{false, true, false, false, false, false}));
}

// A section without a name lists no profile, yet its mark still names the
// default, and only the first mark counts.
TEST(ProfileRegistryTest, TheMarkedDefaultAndTheInstallationDefaultsComeFromTheSameReading)
{
    TFakeHome home;
    const std::string root = home.MakeDir("root") + "/";
    home.WriteFile("root/profiles.ini", "[InstallAB12]\nDefault=x/\n[Installer]\nDefault=/abs\n"
                                        "[NotInstall]\nDefault=n\n[Install]\nDefault=bare\n"
                                        "[Profile0]\nIsRelative=1\nPath=unnamed/\nDefault=1\n"
                                        "[Profile1]\nName=named\nIsRelative=1\nPath=named\nDefault=1\n");
    const TProfileRegistry registry = ReadProfileRegistry(root, TIsRelativeRule::OnlyOne);
    ASSERT_EQ(registry.Profiles.size(), 1u);
    EXPECT_EQ(registry.Profiles[0].Name(), "named");
    EXPECT_EQ(registry.MarkedDefault, root + "unnamed");
    EXPECT_EQ(registry.InstallationDefaults, (std::vector<std::string>{root + "x", "/abs"}));
}
