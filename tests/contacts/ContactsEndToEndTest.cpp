// Contacts and presence between two whole programs and the in-process local
// network: what alice sees of bob, muting that lasts, adding and removing,
// and finding contacts.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QSqlQuery>
#include <QTreeView>

#include "app/AppHarness.h"
#include "contacts/AddContactDlg.h"
#include "contacts/ContactsModule.h"
#include "contacts/FindContactDlg.h"
#include "contacts/ListContacts.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"

namespace contacts {
namespace {

using testsupport::SpinUntil;

class ContactsEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<apptest::AppHarness> LogIn(const QString& user, const QString& password) {
        auto h = std::make_unique<apptest::AppHarness>(server.Endpoints());
        h->ConfirmLogin(user, password);
        EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }))
            << user.toStdString();
        return h;
    }

    static ContactsModule& Module(apptest::AppHarness& h) {
        return *h.state->FindModule<ContactsModule>();
    }
    // The row of a contact in the list, or -1.
    static int RowOf(apptest::AppHarness& h, const QString& name) {
        const auto& rows = Module(h).List()->Model().Rows();
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].username == name) return i;
        return -1;
    }
    static QVariant Shown(apptest::AppHarness& h, const QString& name, int role) {
        const int row = RowOf(h, name);
        if (row < 0) return {};
        auto* model = Module(h).List()->model();
        return model->index(row, 0).data(role);
    }
    static QString Tip(apptest::AppHarness& h, const QString& name) {
        return Shown(h, name, Qt::ToolTipRole).toString();
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(ContactsEndToEnd, AliceSeesBobComeGoAwayAndLeave) {
    auto alice = LogIn("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return RowOf(*alice, "carol") >= 0; }));
    EXPECT_EQ(Tip(*alice, "bob"), "bob is offline");
    EXPECT_EQ(Tip(*alice, "admin"), "admin is offline, currently ignored");

    auto bob = LogIn("bob", "bobpass");
    ASSERT_TRUE(SpinUntil([&] { return Tip(*alice, "bob") == "bob is online"; }));
    EXPECT_TRUE(Shown(*alice, "bob", Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(Shown(*alice, "bob", Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    // Bob sees alice online too.
    ASSERT_TRUE(SpinUntil([&] { return Tip(*bob, "alice") == "alice is online"; }));

    // Chosen as the user does: the status choice's item activated.
    QComboBox* choice = bob->state->MainWindow().StatusChoice();
    choice->setCurrentIndex(1);
    emit choice->activated(1);
    ASSERT_TRUE(SpinUntil([&] { return Tip(*alice, "bob") == "bob is away"; }));
    EXPECT_TRUE(Shown(*alice, "bob", Qt::FontRole).value<QFont>().italic());

    bob.reset();  // the program ends
    ASSERT_TRUE(SpinUntil([&] { return Tip(*alice, "bob") == "bob is offline"; }));
    EXPECT_FALSE(Shown(*alice, "bob", Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(ContactPicture(Module(*alice).List()->Model().Rows()[RowOf(*alice, "bob")]), 0);
}

TEST_F(ContactsEndToEnd, MutingLastsThroughARestartAndANewLogin) {
    auto alice = LogIn("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return RowOf(*alice, "bob") >= 0; }));
    ContactsModule& m = Module(*alice);
    const int row = RowOf(*alice, "bob");
    ASSERT_TRUE(m.PrepareMenu(row));
    EXPECT_EQ(m.MenuItem(ContactsModule::kMuteToggle)->text(), "Mute");
    m.MenuItem(ContactsModule::kMuteToggle)->trigger();
    EXPECT_EQ(ContactPicture(m.List()->Model().Rows()[row]), 3) << "at once";
    // The server has stored it.
    ASSERT_TRUE(SpinUntil([&] {
        QSqlQuery q(server.Network().GetStore().Database());
        return q.exec(
                   "SELECT COUNT(*) FROM contact_muted WHERE owner_key = 'alice' AND "
                   "muted = 'bob'") &&
               q.next() && q.value(0).toInt() == 1;
    }));

    server.Stop();
    ASSERT_TRUE(SpinUntil([&] { return alice->state->LoginWindow().isVisible(); }));
    ASSERT_TRUE(server.Restart());
    // A fresh program after the restart: only the server remembers.
    alice = LogIn("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return RowOf(*alice, "bob") >= 0; }));
    EXPECT_EQ(Tip(*alice, "bob"), "bob is offline, currently ignored");
    EXPECT_TRUE(Module(*alice).Book().Muted().Entries().empty());
}

TEST_F(ContactsEndToEnd, AddingRemovingAndFinding) {
    auto alice = LogIn("alice", "alicepass");
    ContactsModule& m = Module(*alice);
    ASSERT_TRUE(SpinUntil([&] { return RowOf(*alice, "bob") >= 0; }));
    auto& main = alice->state->MainWindow();

    main.ToolButton(shell::Tool::AddContact)->click();
    CAddContactDlg& add = *m.AddWindow();
    ASSERT_TRUE(SpinUntil([&] { return add.isVisible(); }));
    add.UsernameField()->setText("nobody");
    add.OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return alice->state->ServerResponseWindow().isVisible(); }));
    EXPECT_EQ(alice->state->ServerResponseWindow().Text(),
              ui::ServerResponseText("An account with the specified username could not be found",
                                     "Unable to locate the containing folder for the specified "
                                     "username"));

    // A new account is added, then removed with Delete.
    localnet::Account dora;
    dora.username = "dora";
    dora.fullName = "Dora Diaz";
    dora.SetPassword("dorapass");
    auto& store = server.Network().GetStore();
    ASSERT_TRUE(store.AddAccount(*store.FindNetwork("1234567"), dora));
    main.ToolButton(shell::Tool::AddContact)->click();
    ASSERT_TRUE(SpinUntil([&] { return add.isVisible(); }));
    add.UsernameField()->setText("dora");
    add.OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return RowOf(*alice, "dora") >= 0; }));
    EXPECT_EQ(RowOf(*alice, "dora"), 3) << "sorted among the others";
    m.List()->setCurrentIndex(m.List()->model()->index(RowOf(*alice, "dora"), 0));
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(m.List(), &del);
    ASSERT_TRUE(SpinUntil([&] { return RowOf(*alice, "dora") < 0; }));
    EXPECT_GE(RowOf(*alice, "carol"), 0);

    // Bob online, then SEARCH.
    auto bob = LogIn("bob", "bobpass");
    main.ToolButton(shell::Tool::Search)->click();
    CFindContactDlg& find = *m.FindWindow();
    ASSERT_TRUE(SpinUntil([&] { return find.isVisible(); }));
    std::vector<std::string> names, online;
    for (int row = 0; row < find.Records().rowCount(); ++row) {
        const AccountRecord& r = *find.Records().RecordAt(row);
        names.push_back(r.fullName);
        if (r.online) online.push_back(r.username);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Administrator", "Alice Archer", "Bob Baker",
                                               "Carol Cooper", "Dave Dalton", "Dora Diaz",
                                               "Erin Ellis", "Root"}));
    EXPECT_EQ(online, (std::vector<std::string>{"alice", "bob"}));
    EXPECT_EQ(find.List()->header()->sortIndicatorSection(), kColumnFullName);
    EXPECT_EQ(find.windowTitle(), "Find a Contact");

    // A double click with nobody to take the name does nothing.
    find.RowActivated(0);
    EXPECT_TRUE(find.isVisible());
    std::string picked;
    m.SetAccountPicked([&](const std::string& u) {
        picked = u;
        return true;
    });
    find.RowActivated(1);
    EXPECT_EQ(picked, "alice");
    EXPECT_FALSE(find.isVisible());
}

}  // namespace
}  // namespace contacts
