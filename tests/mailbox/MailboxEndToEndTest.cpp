// Two whole programs against the in-process local network: alice works in
// her seeded mailbox while bob is logged in beside her and writes to her.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "app/AppHarness.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxModule.h"
#include "mailbox/MailboxSmallDlgs.h"
#include "mailbox/TreeFolders.h"
#include "server/core/ClientSession.h"
#include "server/mailbox/MailboxService.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

namespace mailbox {
namespace {

using testsupport::SpinUntil;

class MailboxEndToEnd : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network.Start());
        alice = std::make_unique<apptest::AppHarness>(network.Endpoints());
        bob = std::make_unique<apptest::AppHarness>(network.Endpoints());
        LogIn(*alice, "alice", "alicepass");
        LogIn(*bob, "bob", "bobpass");
        w = alice->state->FindModule<MailboxModule>()->Window();
    }
    void TearDown() override {
        alice.reset();
        bob.reset();
        network.Stop();
    }

    static void LogIn(apptest::AppHarness& h, const QString& user, const QString& password) {
        h.ConfirmLogin(user, password);
        ASSERT_TRUE(SpinUntil([&] { return h.state->MainWindow().isVisible(); }));
    }

    localnet::MailboxService& Service() {
        for (const auto& s : network.Network().AllServices()) {
            if (auto* m = dynamic_cast<localnet::MailboxService*>(s.get())) return *m;
        }
        std::abort();
    }
    ui::CFixedButton* MailButton(apptest::AppHarness& h) {
        return h.state->MainWindow().ToolButton(shell::Tool::Mail);
    }
    QStringList Folders(int root) {
        QStringList out;
        QTreeWidgetItem* item = w->Tree()->topLevelItem(root);
        for (int i = 0; item != nullptr && i < item->childCount(); ++i) out << item->child(i)->text(0);
        return out;
    }
    int RowOf(const QString& subject) {
        for (int r = 0; r < w->List()->model()->rowCount(); ++r) {
            if (w->List()->model()->index(r, 1).data().toString() == subject) return r;
        }
        return -1;
    }
    void Select(const QString& subject) {
        const int row = RowOf(subject);
        ASSERT_GE(row, 0) << subject.toStdString();
        w->List()->clearSelection();
        w->List()->selectionModel()->select(w->List()->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        emit w->List()->SelectionTouched();
    }
    bool Bold(const QString& subject) {
        const int row = RowOf(subject);
        return row >= 0 &&
               w->List()->model()->index(row, 1).data(Qt::FontRole).value<QFont>().bold();
    }
    // What bob's mailbox holds, as his client would download it.
    std::string BobsMailbox() {
        std::string all = Service().FolderList("1234567", "bob").toStdString();
        for (const auto& [root, key] : std::vector<std::pair<int, QString>>{
                 {0, "Primary"}, {1, "Sent"}, {1, "Archive"}, {2, "demo01"}}) {
            QByteArray list;
            Service().MessageList("1234567", "bob", root, key, list);
            all += list.toStdString();
        }
        return all;
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> alice;
    std::unique_ptr<apptest::AppHarness> bob;
    CMailboxDlg* w = nullptr;
};

TEST_F(MailboxEndToEnd, AliceWorksInHerMailboxAndBobsMailGetsThrough) {
    ASSERT_TRUE(SpinUntil([&] { return MailButton(*alice)->Caption() == "MAILACTIVE"; }));
    EXPECT_TRUE(alice->state->MainWindow().MailUnread());
    const std::string bobsBefore = BobsMailbox();

    // The seeded tree.
    MailButton(*alice)->click();
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible(); }));
    EXPECT_EQ(Folders(0), (QStringList{"Primary (2)", "Projects"}));
    EXPECT_EQ(Folders(1), (QStringList{"Sent"}));
    EXPECT_EQ(Folders(2), (QStringList{"Team Alpha"}));
    EXPECT_EQ(w->List()->model()->rowCount(), 3);
    EXPECT_TRUE(Bold("Quarterly figures"));
    EXPECT_FALSE(Bold("Lunch on Friday?"));

    // A folder in Inbox and one in Outbox.
    auto& create = w->FolderCreateWindow();
    w->Button("NEWFOLDER")->click();
    create.TypeList()->setCurrentRow(0);
    create.NameField()->setText("Receipts");
    create.OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Folders(0).contains("Receipts"); }));
    w->Button("NEWFOLDER")->click();
    create.TypeList()->setCurrentRow(1);
    create.NameField()->setText("Drafts");
    create.OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Folders(1).contains("Drafts"); }));

    // Move a message to Receipts.
    Select("Lunch on Friday?");
    w->Button("MOVETOFOLDER")->click();
    auto& select = w->SelectFolderWindow();
    ASSERT_TRUE(SpinUntil([&] { return select.isVisible(); }));
    const auto found = select.List()->findItems("Receipts", Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    select.List()->setCurrentItem(found[0]);
    select.OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return RowOf("Lunch on Friday?") < 0; }));
    EXPECT_EQ(w->List()->model()->rowCount(), 2);

    // Read, then unread again: the count and the bold follow.
    Select("Quarterly figures");
    w->Button("MARKREAD")->click();
    ASSERT_TRUE(SpinUntil([&] { return Folders(0).value(0) == "Primary (1)"; }));
    EXPECT_FALSE(Bold("Quarterly figures"));
    Select("Quarterly figures");
    w->Button("MARKUNREAD")->click();
    ASSERT_TRUE(SpinUntil([&] { return Folders(0).value(0) == "Primary (2)"; }));
    EXPECT_TRUE(Bold("Quarterly figures"));

    // Delete one, after the question.
    Select("Welcome back");
    w->Button("DELETEMESSAGE")->click();
    EXPECT_EQ(alice->dialogs.Last().title, "Warning");
    ASSERT_TRUE(SpinUntil([&] { return RowOf("Welcome back") < 0; }));
    EXPECT_EQ(Folders(0).value(0), "Primary (1)");
    EXPECT_EQ(MailButton(*alice)->Caption(), "MAILACTIVE");

    // The Outbox folder goes with its own warning.
    w->DeleteFolder(1, "Drafts");
    EXPECT_EQ(alice->dialogs.Last().title, "Caution");
    EXPECT_NE(alice->dialogs.Last().text.indexOf("because this is an outbox folder",
                                                 0, Qt::CaseInsensitive),
              -1);
    ASSERT_TRUE(SpinUntil([&] { return !Folders(1).contains("Drafts"); }));

    // Everything alice did stayed in her own mailbox.
    EXPECT_EQ(BobsMailbox(), bobsBefore);

    // Bob writes while her window is hidden: the alert, no mailbox.
    w->hide();
    localnet::MailboxService::Delivery d;
    d.number = "1234567";
    d.sender = "bob";
    d.recipients = {"alice"};
    d.subject = "Are you there?";
    d.body = "Call me.";
    ASSERT_TRUE(Service().Deliver(d));
    ASSERT_TRUE(SpinUntil([&] { return w->AlertWindow().isVisible(); }));
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(MailButton(*alice)->Caption(), "MAILACTIVE");
    w->AlertWindow().OkButton()->click();

    // With the window up, the next one refreshes it in place.
    MailButton(*alice)->click();
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible() && RowOf("Are you there?") >= 0; }));
    d.subject = "Still there?";
    ASSERT_TRUE(Service().Deliver(d));
    ASSERT_TRUE(SpinUntil([&] { return RowOf("Still there?") >= 0; }));
    EXPECT_EQ(Folders(0).value(0), "Primary (3)");
    EXPECT_FALSE(w->State().Quiet());
    EXPECT_FALSE(w->ShowPending()) << "refreshed without being brought forward";
    // Bob's own mailbox shows both in his Sent folder.
    QByteArray bobsSent;
    ASSERT_TRUE(Service().MessageList("1234567", "bob", 1, "Sent", bobsSent));
    EXPECT_NE(bobsSent.indexOf("Still there?"), -1);
}

TEST_F(MailboxEndToEnd, ALoginAsAnotherAccountStartsWithNoneOfThePreviousMail) {
    MailButton(*alice)->click();
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible() && w->List()->model()->rowCount() == 3; }));
    // Alice goes; fred, a new account with no mail, logs in on the same program.
    ASSERT_TRUE(network.Network().GetStore().AddAccount(
        *network.Network().GetStore().FindNetwork("1234567"), [] {
            localnet::Account a;
            a.username = "fred";
            a.fullName = "Fred Doe";
            a.SetPassword("fredpass");
            return a;
        }()));
    for (localnet::ClientSession* s : network.Network().Sessions()) {
        if (s->Username() == "alice") s->Abort("the test ends alice's connections");
    }
    ASSERT_TRUE(SpinUntil([&] { return alice->state->LoginWindow().isVisible(); }));
    EXPECT_FALSE(w->isVisible());
    alice->dialogs.Clear();
    LogIn(*alice, "fred", "fredpass");
    ASSERT_TRUE(SpinUntil([&] { return w->Tree()->topLevelItemCount() == 0; }));
    EXPECT_EQ(w->List()->model()->rowCount(), 0);
    EXPECT_EQ(w->State().CurrentKey(), "Primary");
    EXPECT_EQ(MailButton(*alice)->Caption(), "MAIL");
    MailButton(*alice)->click();
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible(); }));
    EXPECT_EQ(Folders(0), (QStringList{"Primary"}));
    EXPECT_EQ(Folders(2), QStringList{});
    EXPECT_EQ(w->List()->model()->rowCount(), 0);
}

}  // namespace
}  // namespace mailbox
