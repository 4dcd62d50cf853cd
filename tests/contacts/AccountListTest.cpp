// The account list file: lines parsed or skipped, the texts each field is
// shown as, and the order of the find window's columns.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "contacts/api/AccountList.h"
#include "contacts/api/ListAccountRecords.h"
#include "support/TempDir.h"

namespace contacts {
namespace {

// Runs with the time zone at UTC, and puts the earlier one back.
class UtcZone {
  public:
    UtcZone() {
        if (const char* tz = std::getenv("TZ")) saved_ = tz, had_ = true;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    ~UtcZone() {
        if (had_) {
            setenv("TZ", saved_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::string saved_;
    bool had_ = false;
};

TEST(AccountList, RelativeTimes) {
    EXPECT_EQ(RelativeTimeText(0), "0 seconds ago");
    EXPECT_EQ(RelativeTimeText(1), "1 second ago");
    EXPECT_EQ(RelativeTimeText(59), "59 seconds ago");
    EXPECT_EQ(RelativeTimeText(60), "1 minute ago");
    EXPECT_EQ(RelativeTimeText(119), "1 minute ago");
    EXPECT_EQ(RelativeTimeText(120), "2 minutes ago");
    EXPECT_EQ(RelativeTimeText(3600), "1 hour ago");
    EXPECT_EQ(RelativeTimeText(86399), "23 hours ago");
    EXPECT_EQ(RelativeTimeText(86400), "1 day ago");
    EXPECT_EQ(RelativeTimeText(604799), "6 days ago");
    EXPECT_EQ(RelativeTimeText(604800), "1 week ago");
    EXPECT_EQ(RelativeTimeText(2591999), "4 weeks ago");
    EXPECT_EQ(RelativeTimeText(2592000), "1 month ago");
    EXPECT_EQ(RelativeTimeText(2147483647), "828 months ago");
}

TEST(AccountList, LinesAndTheirTexts) {
    UtcZone utc;
    AccountRecord r;
    ASSERT_TRUE(ParseAccountLine("alice;Alice Archer;0;-1;0;0;2;", r));
    EXPECT_EQ(r.username, "alice");
    EXPECT_EQ(r.fullName, "Alice Archer");
    EXPECT_EQ(CreatedText(r), "12:00:00AM on 1/1/1970");
    EXPECT_EQ(LastLoginText(r), "-");
    EXPECT_EQ(r.lastLogin, -1);
    EXPECT_STREQ(YesNoText(r.online), "No");
    EXPECT_STREQ(YesNoText(r.banned), "No");
    EXPECT_STREQ(AccountTypeText(r.type), "regular");

    // Blanks before a field are skipped; the rest after the seventh ';' is not read.
    ASSERT_TRUE(ParseAccountLine("  root;  Root;-1; 45296;yes;1;0;extra\r", r));
    EXPECT_EQ(r.username, "root");
    EXPECT_EQ(r.fullName, "Root");
    EXPECT_EQ(CreatedText(r), "-");
    EXPECT_EQ(LastLoginText(r), "12 hours ago");
    EXPECT_STREQ(YesNoText(r.online), "Yes");
    EXPECT_STREQ(YesNoText(r.banned), "Yes");
    EXPECT_STREQ(AccountTypeText(r.type), "root");

    ASSERT_TRUE(ParseAccountLine("a;b;45296;1;0;0;1;", r));
    EXPECT_EQ(CreatedText(r), "12:34:56PM on 1/1/1970");
    EXPECT_STREQ(AccountTypeText(r.type), "admin");
    ASSERT_TRUE(ParseAccountLine("a;b;82800;1;0;0;9;", r));
    EXPECT_EQ(CreatedText(r), "11:00:00PM on 1/1/1970");
    // Past any time the system can show.
    ASSERT_TRUE(ParseAccountLine("a;b;99999999999999999999;1;0;0;1;", r));
    EXPECT_EQ(CreatedText(r), "-");

    EXPECT_FALSE(ParseAccountLine("a;b;0;0;0;0;2", r)) << "six ';' only";
    EXPECT_FALSE(ParseAccountLine("", r));
}

TEST(AccountList, FileSkipsWhatDoesNotParse) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/listaccount";
    {
        std::ofstream out(path, std::ios::binary);
        out << "alice;Alice;0;5;1;0;2;\n";
        out << "broken;line;0;0;0;0\n";
        out << std::string(600, 'x') << ";y;0;0;0;0;2;\n";
        out << "bob;Bob;0;-1;0;0;2;\r\n";
        out << "carol;Carol;0;1;0;0;2;";  // no line end at the end of the file
    }
    std::vector<AccountRecord> records;
    ASSERT_TRUE(ReadAccountList(path, records));
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].username, "alice");
    EXPECT_EQ(records[1].username, "bob") << "the line after a long one is read whole";
    EXPECT_EQ(records[2].username, "carol");
    EXPECT_FALSE(ReadAccountList(dir.path() + "/missing", records));
}

std::vector<std::string> Usernames(const CListAccountRecords& model) {
    std::vector<std::string> out;
    for (int row = 0; row < model.rowCount(); ++row) out.push_back(model.RecordAt(row)->username);
    return out;
}

TEST(AccountList, SortingByHeaderClicks) {
    std::vector<AccountRecord> records;
    for (const char* line : {"bob;Baker;10;-1;0;0;2;", "Al;alice;-1;5;1;0;1;",
                             "al;Alice Archer;30;100;0;1;0;", "zed;zed;20;7;1;0;2;"}) {
        AccountRecord r;
        ASSERT_TRUE(ParseAccountLine(line, r));
        records.push_back(r);
    }
    CListAccountRecords model;
    model.SetRecords(records);
    // At first by full name, ascending; a prefix sorts before the longer text.
    EXPECT_EQ(Usernames(model), (std::vector<std::string>{"Al", "al", "bob", "zed"}));
    EXPECT_EQ(model.data(model.index(0, kColumnFullName), Qt::DisplayRole).toString(), "alice");
    EXPECT_EQ(model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), "Last Login");

    // The first click sorts descending, whatever the column.
    model.HeaderClicked(kColumnCreated);
    EXPECT_FALSE(model.Order().ascending);
    EXPECT_EQ(Usernames(model), (std::vector<std::string>{"Al", "al", "zed", "bob"}))
        << "no value counts as the largest";
    // The direction alternates across columns.
    model.HeaderClicked(kColumnLastLogin);
    EXPECT_TRUE(model.Order().ascending);
    EXPECT_EQ(Usernames(model), (std::vector<std::string>{"Al", "zed", "al", "bob"}));

    // Usernames that differ only in case keep their order (a stable sort).
    model.HeaderClicked(kColumnUsername);
    EXPECT_EQ(Usernames(model), (std::vector<std::string>{"zed", "bob", "Al", "al"}));
    model.HeaderClicked(kColumnUsername);
    EXPECT_EQ(Usernames(model), (std::vector<std::string>{"Al", "al", "bob", "zed"}));

    model.HeaderClicked(kColumnType);
    EXPECT_EQ(Usernames(model), (std::vector<std::string>{"bob", "zed", "Al", "al"}));
    model.HeaderClicked(kColumnOnline);
    EXPECT_EQ(Usernames(model), (std::vector<std::string>{"bob", "al", "zed", "Al"}));
}

}  // namespace
}  // namespace contacts
