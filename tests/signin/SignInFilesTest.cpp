// numbers.dat and m.dat byte layouts, and the checks of the sign-in windows.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "signin/LoginFile.h"
#include "signin/NumbersFile.h"
#include "signin/SignInChecks.h"
#include "support/TempDir.h"

using namespace signin;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string U32(uint32_t v) {
    return std::string{char(v & 0xff), char((v >> 8) & 0xff), char((v >> 16) & 0xff),
                       char((v >> 24) & 0xff)};
}
std::string Text(const std::string& s) {
    return U32(uint32_t(s.size())) + s;
}

}  // namespace

TEST(NumbersFile, WritesCurrentThenOtherEntriesInListOrder) {
    TempDir dir;
    const auto path = dir.file("numbers.dat");
    // First lookup of 7654321 while 1234567 was current: the old one stays.
    ASSERT_TRUE(WriteNumbersFile(path, "7654321", {"1234567"}));
    EXPECT_EQ(ReadFile(path), Text("7654321") + U32(1) + Text("1234567"));

    // Looking the listed number up again stores it once only.
    ASSERT_TRUE(WriteNumbersFile(path, "1234567", {"1234567", "7654321"}));
    EXPECT_EQ(ReadFile(path), Text("1234567") + U32(1) + Text("7654321"));

    NumbersList list;
    ASSERT_TRUE(ReadNumbersFile(path, list));
    EXPECT_EQ(list.current, "1234567");
    EXPECT_EQ(list.entries, std::vector<std::string>{"7654321"});
}

TEST(NumbersFile, CountMatchesEntriesEvenWithADuplicatedCurrentNumber) {
    const auto bytes = EncodeNumbersFile("1111111", {"1111111", "2222222", "1111111"});
    EXPECT_EQ(bytes, Text("1111111") + U32(1) + Text("2222222"));
}

TEST(NumbersFile, MissingShortAndOversizedFilesAreBounded) {
    TempDir dir;
    NumbersList list;
    EXPECT_FALSE(ReadNumbersFile(dir.file("numbers.dat"), list));
    EXPECT_TRUE(list.current.empty());
    EXPECT_TRUE(list.entries.empty());

    // A huge count with two entries present: the two are kept, no runaway.
    const auto path = dir.file("short.dat");
    ASSERT_TRUE(WriteFile(path, Text("1234567") + U32(0xffffffffu) + Text("2222222") +
                                    Text("3333333") + U32(5) + "12"));
    ASSERT_TRUE(ReadNumbersFile(path, list));
    EXPECT_EQ(list.current, "1234567");
    EXPECT_EQ(list.entries, (std::vector<std::string>{"2222222", "3333333"}));

    // An entry over the reader's limit ends the reading there.
    ASSERT_TRUE(WriteFile(
        path, Text("1234567") + U32(2) + Text("2222222") + U32(164) + std::string(164, '9')));
    ASSERT_TRUE(ReadNumbersFile(path, list));
    EXPECT_EQ(list.entries, std::vector<std::string>{"2222222"});

    // A current number that is cut short gives nothing at all.
    ASSERT_TRUE(WriteFile(path, U32(7) + "123"));
    EXPECT_FALSE(ReadNumbersFile(path, list));
    EXPECT_TRUE(list.current.empty());
}

TEST(LoginFile, ElevenLettersAreStoredShiftedBy15To25) {
    const std::string name = "abcdefghijk";
    const auto stored = ScrambleLoginText(name);
    ASSERT_EQ(stored.size(), 11u);
    for (size_t i = 0; i < 11; ++i) EXPECT_EQ(uint8_t(stored[i]), uint8_t(name[i] + 15 + i));
    EXPECT_EQ(UnscrambleLoginText(stored), name);
    // Wraps modulo 256.
    EXPECT_EQ(ScrambleLoginText("\xf5"), "\x04");
}

TEST(LoginFile, RoundTripsOwnerOnlyAndDeletes) {
    TempDir dir;
    const auto path = dir.file("m.dat");
    ASSERT_TRUE(WriteFile(path, "old"));
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

    ASSERT_TRUE(WriteLoginFile(path, {"alice", "p\xc3\xa4ss"}));
    EXPECT_EQ(ReadFile(path),
              U32(5) + ScrambleLoginText("alice") + U32(5) + ScrambleLoginText("p\xc3\xa4ss"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    RememberedLogin back;
    ASSERT_TRUE(ReadLoginFile(path, back));
    EXPECT_EQ(back.username, "alice");
    EXPECT_EQ(back.password, "p\xc3\xa4ss");

    EXPECT_TRUE(DeleteLoginFile(path));
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(DeleteLoginFile(path));  // already gone: no error
}

TEST(LoginFile, LongOrTruncatedTextsAreBounded) {
    TempDir dir;
    const auto path = dir.file("m.dat");
    // A 300-byte username is cut to 199 bytes and the password still read.
    const std::string longName(300, 'x');
    ASSERT_TRUE(
        WriteFile(path, U32(300) + ScrambleLoginText(longName) + U32(2) + ScrambleLoginText("pw")));
    RememberedLogin back;
    ASSERT_TRUE(ReadLoginFile(path, back));
    EXPECT_EQ(back.username, std::string(199, 'x'));
    EXPECT_EQ(back.password, "pw");

    ASSERT_TRUE(WriteFile(path, U32(5) + ScrambleLoginText("alice") + U32(0x7fffffff)));
    EXPECT_FALSE(ReadLoginFile(path, back));
}

TEST(NumberCheck, TakesTheDigitsOfAtMostEightCharacters) {
    auto ok = [](const char* text) {
        const auto r = CheckNumberText(QString::fromUtf8(text));
        return r.outcome == NumberCheck::Ok ? r.digits : std::string("-");
    };
    EXPECT_EQ(ok("123-4567"), "1234567");
    EXPECT_EQ(ok("123 4567"), "1234567");
    EXPECT_EQ(ok("1234567x"), "1234567");
    EXPECT_EQ(CheckNumberText("123  4567").outcome, NumberCheck::TooLong);
    EXPECT_EQ(CheckNumberText("1234567abc").outcome, NumberCheck::TooLong);
    EXPECT_EQ(CheckNumberText("12345678").outcome, NumberCheck::Invalid);
    EXPECT_EQ(CheckNumberText("123456").outcome, NumberCheck::Invalid);
    EXPECT_EQ(CheckNumberText("").outcome, NumberCheck::Invalid);
    // Non-ASCII digits are not '0'..'9'.
    EXPECT_EQ(CheckNumberText(QString::fromUtf8("123456\u0667")).outcome, NumberCheck::Invalid);
    EXPECT_EQ(NumberTooLongText(), "Please enter no more than 8 characters.");
    EXPECT_EQ(DottedNumber("1234567"), "123.4567");
}

TEST(LoginCheck, UsernameFirstThenPassword) {
    EXPECT_EQ(CheckLoginFields("", ""), "Please enter a username");
    EXPECT_EQ(CheckLoginFields("alice", ""), "Please enter a password");
    EXPECT_EQ(CheckLoginFields("abcdefghijkl", "x"), "Please enter a username");
    EXPECT_EQ(CheckLoginFields("abcdefghijk", QString(16, 'p')), "Please enter a password");
    EXPECT_TRUE(CheckLoginFields("abcdefghijk", QString(15, 'p')).isEmpty());
}

TEST(CreationCheck, EachRowFailsInItsOrder) {
    const CreationForm good{"Ann Smith", "ann_1-x", "pass_word-1", "pass_word-1", ""};
    EXPECT_TRUE(CheckCreationForm(good, false).Passed());

    struct Case {
        int row;
        CreationForm form;
        bool codeRequired;
        const char* message;
        ui::MsgIcon icon;
    };
    using ui::MsgIcon;
    const Case cases[] = {
        {1, {"", "", "", "x", ""}, true, "Please type your name", MsgIcon::Warning},
        {2,
         {QString(21, 'n'), "", "", "", ""},
         false,
         "Names must be between 1 and 20 characters",
         MsgIcon::Warning},
        {3, {"Ann", "", "", "x", ""}, true, "Please type a username", MsgIcon::Warning},
        {4,
         {"Ann", QString(12, 'u'), "", "", ""},
         false,
         "Usernames must be between 1 and 11 characters in length",
         MsgIcon::Warning},
        {5, {"Ann", "ann", "", "x", ""}, true, "Please type a password", MsgIcon::Warning},
        {6,
         {"Ann", "ann", QString(16, 'p'), "", ""},
         false,
         "Passwords must be between 1 and 15 characters",
         MsgIcon::Warning},
        {7,
         {"Ann", "a n", "pw", "pW", ""},
         true,
         "Passwords do not match; try again",
         MsgIcon::Warning},
        {8,
         {"Ann", QString::fromUtf8("\u00e4nn"), "p w", "p w", ""},
         true,
         "Usernames may contain only letters, numbers, dashes '-', and underscores '_'",
         MsgIcon::Error},
        {9,
         {"Ann", "ann", "p.w", "p.w", ""},
         true,
         "Passwords may contain only letters, numbers, dashes '-', and underscores '_'",
         MsgIcon::Error},
        {10,
         {"Ann", "ann", "pw", "pw", ""},
         true,
         "This network requires that you type its account creation code",
         MsgIcon::Warning},
        {11,
         {"Ann", "ann", "pw", "pw", QString(21, 'c')},
         false,
         "Account creation codes must be between 1 and 20 characters",
         MsgIcon::Warning},
    };
    for (const auto& c : cases) {
        const auto r = CheckCreationForm(c.form, c.codeRequired);
        EXPECT_EQ(r.row, c.row) << c.message;
        EXPECT_EQ(r.message, QString::fromLatin1(c.message));
        EXPECT_EQ(r.icon, c.icon) << c.message;
    }
    // Without the network's code flag an empty code passes.
    EXPECT_TRUE(CheckCreationForm({"Ann", "ann", "pw", "pw", ""}, false).Passed());
}
