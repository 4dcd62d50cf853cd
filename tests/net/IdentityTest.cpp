#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "net/Identity.h"
#include "support/TempDir.h"

namespace {

using net::Environment;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

// Lower-case 8-4-4-4-12 hexadecimal, version 4, RFC 4122 variant.
bool IsVersion4Guid(const std::string& t) {
    if (t.size() != 36) return false;
    for (size_t i = 0; i < t.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        const char c = t[i];
        if (dash != (c == '-')) return false;
        if (!dash && !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return t[14] == '4' && std::string("89ab").find(t[19]) != std::string::npos;
}

Environment EnvIn(const TempDir& tmp) {
    Environment env;
    env.home = tmp.path() + "/home";
    env.xdgConfigHome = tmp.path() + "/config";
    return env;
}

TEST(IdentityTest, FirstRunCreatesAGuidThatLaterRunsRead) {
    TempDir tmp;
    const Environment env = EnvIn(tmp);
    const std::string first = net::LoadIdentity(env);
    EXPECT_TRUE(IsVersion4Guid(first)) << first;
    EXPECT_EQ(ReadFile(tmp.path() + "/config/QXV/qxvguid"), first);
    EXPECT_EQ(net::LoadIdentity(env), first);
    EXPECT_NE(net::NewGuidText(), net::NewGuidText());
}

TEST(IdentityTest, DefaultsToDotConfigUnderHome) {
    Environment env;
    env.home = "/home/ann";
    EXPECT_EQ(net::IdentityValueFile(env), "/home/ann/.config/QXV/qxvguid");
}

TEST(IdentityTest, ExistingKeyWithoutValueIsAReadErrorAndIsNotRecreated) {
    TempDir tmp;
    const Environment env = EnvIn(tmp);
    std::filesystem::create_directories(tmp.path() + "/config/QXV");
    EXPECT_EQ(net::LoadIdentity(env), "errorReadingGUID");
    EXPECT_EQ(net::LoadIdentity(env), "errorReadingGUID");
    EXPECT_FALSE(FileExists(tmp.path() + "/config/QXV/qxvguid"));
}

TEST(IdentityTest, KeyThatCannotBeCreatedIsACreateError) {
    TempDir tmp;
    Environment env = EnvIn(tmp);
    // A file where the key folder should be.
    std::filesystem::create_directories(tmp.path() + "/config");
    ASSERT_TRUE(WriteFile(tmp.path() + "/config/QXV", "x"));
    EXPECT_EQ(net::LoadIdentity(env), "errorCreatingGUID");
    // A configuration folder below a file.
    env.xdgConfigHome = tmp.path() + "/config/QXV/below";
    EXPECT_EQ(net::LoadIdentity(env), "errorCreatingGUID");
    env.xdgConfigHome.clear();
    env.home.clear();
    EXPECT_EQ(net::LoadIdentity(env), "errorCreatingGUID");
}

TEST(IdentityTest, StoredValuesAreReadUpToTheirRoom) {
    TempDir tmp;
    const Environment env = EnvIn(tmp);
    const std::string value = tmp.path() + "/config/QXV/qxvguid";
    std::filesystem::create_directories(tmp.path() + "/config/QXV");

    // Stored with its terminator, as other key stores keep it.
    ASSERT_TRUE(WriteFile(value, std::string("abc-123\0", 8)));
    EXPECT_EQ(net::LoadIdentity(env), "abc-123");

    ASSERT_TRUE(WriteFile(value, std::string(254, 'a')));
    EXPECT_EQ(net::LoadIdentity(env), std::string(254, 'a'));
    ASSERT_TRUE(WriteFile(value, std::string(254, 'a') + '\0'));
    EXPECT_EQ(net::LoadIdentity(env), std::string(254, 'a'));
    // No room for the terminator, or more than the reader takes.
    ASSERT_TRUE(WriteFile(value, std::string(255, 'a')));
    EXPECT_EQ(net::LoadIdentity(env), "errorReadingGUID");
    ASSERT_TRUE(WriteFile(value, std::string(4000, 'a')));
    EXPECT_EQ(net::LoadIdentity(env), "errorReadingGUID");

    // A folder in place of the value cannot be read.
    std::filesystem::remove(value);
    std::filesystem::create_directory(value);
    EXPECT_EQ(net::LoadIdentity(env), "errorReadingGUID");
}

}  // namespace

namespace {

TEST(IdentityTest, BlankValuesAreUnreadable) {
    TempDir tmp;
    const Environment env = EnvIn(tmp);
    const std::string value = tmp.path() + "/config/QXV/qxvguid";
    std::filesystem::create_directories(tmp.path() + "/config/QXV");
    for (const std::string& blank :
         {std::string(), std::string("\0", 1), std::string(" \t\r\n"), std::string("  \0x", 4)}) {
        ASSERT_TRUE(WriteFile(value, blank));
        EXPECT_EQ(net::LoadIdentity(env), "errorReadingGUID") << '"' << blank << '"';
    }
    // Spaces around a real value are the value's own business.
    ASSERT_TRUE(WriteFile(value, " id "));
    EXPECT_EQ(net::LoadIdentity(env), " id ");
}

}  // namespace
