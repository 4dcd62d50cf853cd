#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "net/DataDirectory.h"
#include "support/TempDir.h"

namespace {

using net::DataPath;
using net::Environment;
using testsupport::TempDir;

TEST(DataDirectoryTest, FollowsXdgDataHomeAndFallsBackToHome) {
    Environment env;
    env.home = "/home/ann";
    EXPECT_EQ(net::ApplicationDataFolder(env), "/home/ann/.local/share");
    env.xdgDataHome = "/data/ann";
    EXPECT_EQ(net::ApplicationDataFolder(env), "/data/ann");
    // A relative value is ignored, as if unset.
    env.xdgDataHome = "relative/data";
    EXPECT_EQ(net::ApplicationDataFolder(env), "/home/ann/.local/share");
    env.home.clear();
    EXPECT_EQ(net::ApplicationDataFolder(env), "");
    EXPECT_EQ(net::InitDataDirectory(env), "");
}

TEST(DataDirectoryTest, CreatesTheDirectoryAndEveryFolderAbove) {
    TempDir tmp;
    Environment env;
    env.home = tmp.path();
    const std::string dir = net::InitDataDirectory(env);
    EXPECT_EQ(dir, tmp.path() + "/.local/share/Palindor");
    EXPECT_TRUE(std::filesystem::is_directory(dir));
    // An existing directory is no error.
    EXPECT_EQ(net::InitDataDirectory(env), dir);
}

TEST(DataDirectoryTest, JoinsWithOneSeparator) {
    EXPECT_EQ(DataPath("/d/Palindor", "m.dat"), "/d/Palindor/m.dat");
    EXPECT_EQ(DataPath("/d/Palindor/", "m.dat"), "/d/Palindor/m.dat");
    EXPECT_EQ(DataPath("/d/Palindor", "files/remote/listfolder/listfolder"),
              "/d/Palindor/files/remote/listfolder/listfolder");
}

TEST(DataDirectoryTest, RefusesPathsThatCouldLeaveOrOverflow) {
    EXPECT_EQ(DataPath("", "m.dat"), "");
    EXPECT_EQ(DataPath("/d", "files/remote/accounts/../../../etc/passwd"), "");
    EXPECT_EQ(DataPath("/d", ".."), "");
    EXPECT_EQ(DataPath("/d", "files/remote/accounts/a..b/notepad"),
              "/d/files/remote/accounts/a..b/notepad");

    const std::string dir = "/d";
    const std::string fits(net::kMaxDataPath - dir.size() - 1, 'x');
    EXPECT_EQ(DataPath(dir, fits).size(), net::kMaxDataPath);
    EXPECT_EQ(DataPath(dir, fits + "x"), "");
}

}  // namespace
