#include "common/Navigation.h"
#include "common/Runs.h"

#include <gtest/gtest.h>

using Navigation::Target;

TEST(Navigation, UnregisteredTargetsAreUnavailableAndDoNothing)
{
    for (Target t : {Target::BrowseFolder, Target::ViewFile, Target::FileDetails, Target::RemoveFolder}) {
        EXPECT_FALSE(Navigation::isAvailable(t));
        EXPECT_FALSE(Navigation::go(t, {nullptr, "/x", {}, {}}));
    }
    EXPECT_FALSE(Navigation::viewFile(nullptr, "/x"));
    EXPECT_FALSE(Navigation::browseToFile(nullptr, "/a/x", "*.*"));
}

TEST(Navigation, RequestsReachTheRegisteredWindowWithThePathAsFound)
{
    std::vector<Navigation::Request> seen;
    {
        Navigation::Registration browse(Target::BrowseFolder, [&](const Navigation::Request &r) {
            seen.push_back(r);
            return true;
        });
        Navigation::Registration remove(Target::RemoveFolder, [&](const Navigation::Request &r) {
            seen.push_back(r);
            return false; // the user cancelled
        });
        EXPECT_TRUE(Navigation::isAvailable(Target::BrowseFolder));
        EXPECT_FALSE(Navigation::isAvailable(Target::ViewFile));
        // Bytes that are not UTF-8 pass unchanged; a root file's folder is "/".
        EXPECT_TRUE(Navigation::browseToFile(nullptr, "/data/caf\xe9/r\xe9sum\xe9.txt", "*.TXT"));
        EXPECT_TRUE(Navigation::browseToFile(nullptr, "/top.txt", QString()));
        // A path without a file name has nothing to select.
        EXPECT_FALSE(Navigation::browseToFile(nullptr, "/data/", QString()));
        EXPECT_FALSE(Navigation::removeFolder(nullptr, "/data/old"));
    }
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].path, "/data/caf\xe9");
    EXPECT_EQ(seen[0].selected, "r\xe9sum\xe9.txt");
    EXPECT_EQ(seen[0].mask, "*.TXT");
    EXPECT_EQ(seen[1].path, "/");
    EXPECT_EQ(seen[1].selected, "top.txt");
    EXPECT_EQ(seen[2].path, "/data/old");
    // The registrations ended with their scope.
    EXPECT_FALSE(Navigation::isAvailable(Target::BrowseFolder));
    EXPECT_FALSE(Navigation::isAvailable(Target::RemoveFolder));
}

TEST(Navigation, AScopedRegistrationPutsBackTheOneItReplaced)
{
    int program = 0, test = 0;
    Navigation::setHandler(Target::ViewFile, [&](const Navigation::Request &) { return ++program > 0; });
    {
        Navigation::Registration r(Target::ViewFile, [&](const Navigation::Request &) { return ++test > 0; });
        Navigation::viewFile(nullptr, "/f");
    }
    Navigation::viewFile(nullptr, "/f");
    EXPECT_EQ(test, 1);
    EXPECT_EQ(program, 1);
    Navigation::setHandler(Target::ViewFile, {});
    EXPECT_FALSE(Navigation::isAvailable(Target::ViewFile));
}

TEST(Runs, TokensNestAndEndInAnyOrder)
{
    EXPECT_FALSE(Runs::anyRunning());
    EXPECT_TRUE(Runs::current().isEmpty());
    auto walk = std::make_unique<Runs::Token>("a drive scan");
    {
        Runs::Token zip("a zip run");
        EXPECT_EQ(Runs::current(), "a zip run");
        EXPECT_EQ(Runs::busyText(),
                  "Please wait: a zip run is still running. Let it finish or abort it, then try again.");
        walk.reset(); // the outer run ends first
        EXPECT_TRUE(Runs::anyRunning());
        EXPECT_EQ(Runs::current(), "a zip run");
    }
    EXPECT_FALSE(Runs::anyRunning());
}
