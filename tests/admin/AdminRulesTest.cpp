// The rules of network administration: levels, which actions a selection
// allows, the action file, the log folders' paths and the number's form.

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "admin/api/AdminRules.h"
#include "contacts/api/AccountList.h"

namespace admin {
namespace {

constexpr AccountState kRootAccount{kRoot, true, false};
constexpr AccountState kAdminAccount{kAdmin, true, false};
constexpr AccountState kRegularOnline{kRegular, true, false};
constexpr AccountState kRegularBanned{kRegular, false, true};

using Enabled = std::array<bool, kActionCount>;

TEST(AdminLevels, ComeFromTheLoginFlagsWithRootAboveTheAdministratorFlag) {
    EXPECT_EQ(LevelFromLogin(true, false), kRoot);
    EXPECT_EQ(LevelFromLogin(true, true), kRoot);
    EXPECT_EQ(LevelFromLogin(false, true), kAdmin);
    EXPECT_EQ(LevelFromLogin(false, false), kRegular);
    // Root without the administrator flag still passes the rights checks.
    EXPECT_TRUE(MayAdminister(LevelFromLogin(true, false)));
    EXPECT_TRUE(MayAdminister(kAdmin));
    EXPECT_FALSE(MayAdminister(kRegular));
}

TEST(AdminActions, ARegularUserHasEveryButtonDisabledWhateverIsSelected) {
    const std::vector<AccountState> all = {kRootAccount, kAdminAccount, kRegularOnline,
                                           kRegularBanned};
    EXPECT_EQ(EnabledActions(kRegular, all), Enabled{});
    EXPECT_EQ(EnabledActions(kRegular, {kRegularBanned}), Enabled{});
}

TEST(AdminActions, NothingSelectedDisablesAll) {
    EXPECT_EQ(EnabledActions(kRoot, {}), Enabled{});
}

TEST(AdminActions, AnAdminWithARegularAndARootAccountMayDeleteAndTheFileListsBoth) {
    const Enabled e = EnabledActions(kAdmin, {kRegularOnline, kRootAccount});
    EXPECT_TRUE(e[kDelete]);
    EXPECT_TRUE(e[kPromote]);
    EXPECT_TRUE(e[kDisconnect]);
    EXPECT_TRUE(e[kBan]);
    EXPECT_FALSE(e[kDemote]);
    EXPECT_FALSE(e[kUndoBan]);
    // Every selected account goes into the file, whether it qualifies or not.
    EXPECT_EQ(ActionFileText({"bob", "root"}), "bob\nroot\n");
}

TEST(AdminActions, AnAdminSelectingOnlyAdminsHasEveryButtonDisabled) {
    const AccountState bannedAdmin{kAdmin, false, true};
    EXPECT_EQ(EnabledActions(kAdmin, {kAdminAccount, bannedAdmin}), Enabled{});
}

TEST(AdminActions, RootSelectingAnAdminMayDemoteButNotPromote) {
    const Enabled e = EnabledActions(kRoot, {kAdminAccount});
    EXPECT_FALSE(e[kPromote]);
    EXPECT_TRUE(e[kDemote]);
    EXPECT_TRUE(e[kDisconnect]);
    EXPECT_TRUE(e[kDelete]);
    EXPECT_TRUE(e[kBan]);
    EXPECT_FALSE(e[kUndoBan]);
    // Nobody acts on an account of the same rank, root included.
    EXPECT_EQ(EnabledActions(kRoot, {kRootAccount}), Enabled{});
}

TEST(AdminActions, FlagsDecideDisconnectBanAndUndoBan) {
    const AccountState offline{kRegular, false, false};
    EXPECT_FALSE(Qualifies(kDisconnect, kAdmin, offline));
    EXPECT_TRUE(Qualifies(kBan, kAdmin, offline));
    EXPECT_FALSE(Qualifies(kUndoBan, kAdmin, offline));
    EXPECT_FALSE(Qualifies(kBan, kAdmin, kRegularBanned));
    EXPECT_TRUE(Qualifies(kUndoBan, kAdmin, kRegularBanned));
    // Enabled when one of the selection qualifies, not all of them.
    const Enabled e = EnabledActions(kAdmin, {offline, kRegularBanned});
    EXPECT_TRUE(e[kBan]);
    EXPECT_TRUE(e[kUndoBan]);
    EXPECT_FALSE(e[kDisconnect]);
    // Values past the six qualify for nothing.
    EXPECT_FALSE(Qualifies(6, kRoot, kRegularOnline));
    EXPECT_FALSE(Qualifies(-1, kRoot, kRegularOnline));
}

TEST(AdminActions, TextsOfTheButtonsAndQuestions) {
    EXPECT_STREQ(ActionButtonText(kUndoBan), "Undo Ban");
    EXPECT_STREQ(ActionQuestion(kUndoBan),
                 "Are you sure you wish to undo the ban on the selected account(s)?");
    EXPECT_STREQ(ActionQuestion(kDisconnect),
                 "Are you sure you wish to disconnect the selected account(s)?");
    EXPECT_STREQ(ActionQuestion(kActionCount), "");
}

TEST(AdminActionFile, ReadsBackWhatWasWrittenAndSkipsEmptyLines) {
    const std::vector<std::string> names = {"carol", "bob", "root"};
    EXPECT_EQ(ActionFileNames(ActionFileText(names)), names);
    EXPECT_EQ(ActionFileNames("a\r\n\n\nb"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(ActionFileNames("").empty());
    EXPECT_EQ(ActionFileText({}), "");
}

TEST(AdminLogPaths, BackGoesUpOneFolderAndEndsAtTheTop) {
    EXPECT_EQ(ParentLogPath("2009/09"), "2009");
    EXPECT_EQ(ParentLogPath("2009"), "/");
    EXPECT_EQ(ParentLogPath("/"), "/");
    EXPECT_EQ(ParentLogPath(""), "/");
    EXPECT_EQ(ParentLogPath("2009/09/01"), "2009/09");
    // A "/" at either end or beside another is no place to cut.
    EXPECT_EQ(ParentLogPath("2009/"), "/");
    EXPECT_EQ(ParentLogPath("/2009"), "/");
    EXPECT_EQ(ParentLogPath("2009//09"), "/");
    EXPECT_EQ(ParentLogPath("a//b/c"), "a//b");
}

TEST(AdminLogPaths, ChildPathsAndTheLabel) {
    EXPECT_EQ(ChildLogPath("/", "2009"), "2009");
    EXPECT_EQ(ChildLogPath("2009", "09"), "2009/09");
    EXPECT_EQ(ChildLogPath("2009/09", "01.log"), "2009/09/01.log");
    EXPECT_EQ(LogPathLabel("/"), "/");
    EXPECT_EQ(LogPathLabel("2009/09"), "/2009/09");
}

TEST(AdminNumber, ShowsThreeDigitsAPointAndFour) {
    EXPECT_EQ(FormatZorvicNumber("1234567"), "123.4567");
    EXPECT_EQ(FormatZorvicNumber("123456789"), "123.4567");
    EXPECT_EQ(FormatZorvicNumber("12"), "12.");
    EXPECT_EQ(FormatZorvicNumber(""), ".");
}

TEST(AdminLogClicks, RightsFirstThenARunningDownloadThenTheEntry) {
    EXPECT_EQ(ClassifyLogClick(kRegular, false, 1, false), LogClick::kNotAdministrator);
    EXPECT_EQ(ClassifyLogClick(kRegular, true, 2, false), LogClick::kNotAdministrator);
    EXPECT_EQ(ClassifyLogClick(kAdmin, true, 1, false), LogClick::kCancelDownload);
    EXPECT_EQ(ClassifyLogClick(kAdmin, false, 1, false), LogClick::kOpenFolder);
    EXPECT_EQ(ClassifyLogClick(kAdmin, false, 1, true), LogClick::kLocked);
    EXPECT_EQ(ClassifyLogClick(kRoot, false, 2, false), LogClick::kDownload);
    EXPECT_EQ(ClassifyLogClick(kRoot, false, 0, false), LogClick::kDownload);
}

// The list the accounts window shows is the contacts' account list, sorted
// by its order: a last login of -1 shows "-" and comes after all ascending.
TEST(AdminAccountList, UnknownLastLoginShowsADashAndSortsLastAscending) {
    std::vector<contacts::AccountRecord> records(3);
    ASSERT_TRUE(contacts::ParseAccountLine("bob;Bob;100;-1;0;0;2;", records[0]));
    ASSERT_TRUE(contacts::ParseAccountLine("ann;Ann;100;5;0;0;2;", records[1]));
    ASSERT_TRUE(contacts::ParseAccountLine("cy;Cy;100;60;0;0;2;", records[2]));
    EXPECT_EQ(contacts::LastLoginText(records[0]), "-");
    contacts::AccountSortKeys keys;
    keys.Build(records);
    std::vector<uint32_t> rows(records.size());
    std::iota(rows.begin(), rows.end(), 0u);
    contacts::AccountSortOrder order;
    order.HeaderClicked(contacts::kColumnLastLogin);  // first click: descending
    EXPECT_FALSE(order.ascending);
    order.HeaderClicked(contacts::kColumnLastLogin);
    ASSERT_TRUE(order.ascending);
    contacts::SortAccounts(keys, rows, order);
    EXPECT_EQ(rows, (std::vector<uint32_t>{1, 2, 0}));
}

}  // namespace
}  // namespace admin
