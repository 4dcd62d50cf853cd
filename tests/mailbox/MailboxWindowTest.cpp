// The Mailbox window and the mailbox family inside a whole program that is
// not connected: list files are served as download messages through the
// client's router, and what the window sends is read back from the
// file-server connection's queue.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <fstream>
#include <iterator>

#include "app/AppHarness.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxModule.h"
#include "mailbox/MailboxSmallDlgs.h"
#include "mailbox/TreeFolders.h"
#include "net/RoutingTestSupport.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "ui/SessionHeaderCtrl.h"

namespace mailbox {
namespace {

using net::Primary;
using net::Secondary;
using testsupport::SpinUntil;

constexpr char kFourLines[] =
    "MAILBOX_ROOTDIR_INBOX\nPrimary 2 Primary\nMAILBOX_ROOTDIR_OUTBOX\nSent 0 Sent\n";
constexpr char kFolders[] =
    "MAILBOX_ROOTDIR_INBOX\nPrimary 2 Primary\nWork 0 Work\nMAILBOX_ROOTDIR_OUTBOX\nSent 0 Sent\n"
    "Old 0 Old\nMAILBOX_ROOTDIR_SESSIONS\nab12cd 0 Team Alpha\n";
constexpr char kMessages[] =
    "12 999999 1 alice 1700000000 Hello\n13 4 1 Bob 1700000100 Figures\n"
    "14 999999 0 carol 1600000000 old news\n";

class MailboxWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        h = std::make_unique<apptest::AppHarness>();
        auto* module = h->state->FindModule<MailboxModule>();
        ASSERT_NE(module, nullptr);
        w = module->Window();
        ASSERT_NE(w, nullptr);
        Drain();
    }

    net::Client& Client() { return h->state->Client(); }
    shell::CzorvicDlg& Main() { return h->state->MainWindow(); }
    std::vector<routingtest::Sent> Drain() { return routingtest::Drain(Client().FileServer()); }

    // The server's answer to a download on `slot`: the whole file at once.
    void Serve(int32_t slot, const std::string& bytes) {
        net::MessageWriter m(net::download::kStart);
        m.Int(slot).Int(static_cast<int32_t>(bytes.size())).Raw(bytes.data(),
                                                                 static_cast<int>(bytes.size()));
        Route(m, Primary::Download, Secondary::Response);
    }
    void Refuse(int32_t slot) {
        net::MessageWriter m(net::download::kRefused);
        m.Int(slot);
        Route(m, Primary::Download, Secondary::Response);
    }
    void Route(net::MessageWriter& m, Primary p, Secondary s) {
        const net::bufHeader header = routingtest::Receive(Client().FileServer(), m, p, +s);
        Client().router().RouteMsg(Client().FileServer(), header);
    }
    void Mailbox(int32_t code, Secondary s = Secondary::Response) {
        net::MessageWriter m(code);
        Route(m, Primary::Mailbox, s);
    }

    // The whole chain as the user's mail button starts it.
    void Refresh(const std::string& folders, const std::string& messages) {
        w->OpenMailbox();
        Serve(15, folders);
        Serve(16, messages);
    }
    void SelectRows(std::initializer_list<int> rows) {
        w->List()->clearSelection();
        for (int r : rows) {
            w->List()->selectionModel()->select(
                w->List()->model()->index(r, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
        emit w->List()->SelectionTouched();
    }
    std::string OperationFile() {
        std::ifstream in(h->DataFile("files/local/account/listmessage/listmessage"),
                         std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The codes of the requests queued since the last look, as "primary/code".
    std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (const auto& s : Drain()) {
            out.push_back(std::to_string(s.header.nDescPrimary) + "/" +
                          std::to_string(s.Reader().Code()));
        }
        return out;
    }
    QString Row(int row, int column) {
        return w->List()->model()->index(row, column).data().toString();
    }

    std::unique_ptr<apptest::AppHarness> h;
    CMailboxDlg* w = nullptr;
};

TEST_F(MailboxWindow, TheFourLineFolderListLightsTheMailButtonAndAsksForPrimary) {
    EXPECT_EQ(Main().ToolButton(shell::Tool::Mail)->Caption(), "MAIL");
    w->OpenMailbox();
    auto sent = Drain();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].header.nDescPrimary, +Primary::Download);
    EXPECT_EQ(sent[0].Reader().Code(), net::mailbox::kFolderListDownload);

    Serve(15, kFourLines);
    EXPECT_EQ(Main().ToolButton(shell::Tool::Mail)->Caption(), "MAILACTIVE");
    EXPECT_TRUE(Main().MailUnread());
    sent = Drain();
    ASSERT_EQ(sent.size(), 1u);
    auto f = sent[0].Reader();
    EXPECT_EQ(f.Code(), net::mailbox::kMessageListDownload);
    int32_t zero = -1, root = -1;
    std::string key;
    EXPECT_TRUE(f.Int(0, 0, zero) && f.Int(0, 2, root) && f.Str(1, 31, key));
    EXPECT_EQ(root, 0);
    EXPECT_EQ(key, "Primary");

    Serve(16, "");
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible(); }));
    CTreeFolders* tree = w->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    EXPECT_EQ(tree->topLevelItem(0)->text(0), "Inbox");
    EXPECT_EQ(tree->topLevelItem(0)->child(0)->text(0), "Primary (2)");
    EXPECT_EQ(tree->topLevelItem(1)->text(0), "Outbox");
    EXPECT_EQ(tree->topLevelItem(1)->child(0)->text(0), "Sent");
    EXPECT_EQ(tree->topLevelItem(2)->text(0), "Sessions");
    EXPECT_EQ(tree->topLevelItem(2)->childCount(), 0);
    EXPECT_TRUE(tree->topLevelItem(2)->isExpanded());
    EXPECT_EQ(tree->currentItem(), tree->topLevelItem(0)->child(0));

    // Nothing unread any more: the plain button.
    Refresh("Primary 0 Primary\n", "");
    EXPECT_EQ(Main().ToolButton(shell::Tool::Mail)->Caption(), "MAIL");
    EXPECT_FALSE(Main().MailUnread());
}

TEST_F(MailboxWindow, ListColumnsPaperClipBoldAndTheFirstHeaderClick) {
    Refresh(kFolders, kMessages);
    auto* model = w->List()->model();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), "From");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), "Subject");
    EXPECT_EQ(model->headerData(2, Qt::Horizontal).toString(), "Date");
    EXPECT_EQ(w->List()->columnWidth(0), 100);
    EXPECT_EQ(w->List()->columnWidth(1), 300);
    EXPECT_EQ(w->List()->columnWidth(2), 180);
    // By date, newest first, with the arrow down on "Date".
    EXPECT_EQ(Row(0, 1), "Figures");
    EXPECT_EQ(Row(2, 1), "old news");
    EXPECT_EQ(w->List()->Header().ArrowColumn(), 2);
    EXPECT_FALSE(w->List()->Header().ArrowUp());
    // The paper clip only where there is an attachment; unread in bold.
    EXPECT_FALSE(model->index(0, 0).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(model->index(1, 0).data(Qt::DecorationRole).isNull());
    EXPECT_TRUE(model->index(0, 1).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_TRUE(model->index(2, 1).data(Qt::FontRole).isNull());

    // The first click ascends, whichever column; the toggle is shared.
    w->List()->Header().Click(0);
    EXPECT_EQ(Row(0, 0), "alice");
    EXPECT_EQ(Row(1, 0), "Bob");
    EXPECT_TRUE(w->List()->Header().ArrowUp());
    w->List()->Header().Click(1);
    EXPECT_EQ(Row(0, 1), "old news") << "descending";
    EXPECT_EQ(w->List()->Header().ArrowColumn(), 1);
    EXPECT_FALSE(w->List()->Header().ArrowUp());
    // The order holds through a refresh.
    Refresh(kFolders, kMessages);
    EXPECT_EQ(Row(0, 1), "old news");
}

TEST_F(MailboxWindow, MarkingTwoMessagesReadWritesTheOperationFile) {
    Refresh(kFolders, kMessages);
    w->List()->Header().Click(2);  // oldest first: carol, alice, Bob
    Drain();
    SelectRows({1, 2});
    EXPECT_TRUE(w->Button("MARKREAD")->isEnabled());
    w->Button("MARKREAD")->click();
    EXPECT_EQ(OperationFile(), "1\n0\nPrimary\n000012 999999 1 alice\n000013 000004 1 Bob\n");
    auto sent = Drain();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].header.nDescPrimary, +Primary::Upload);
    EXPECT_EQ(sent[0].Reader().Code(), net::mailbox::kOperationUpload);
    // The list is not changed here; the refresh after the upload shows it.
    EXPECT_TRUE(w->State().Messages()[1].IsUnread());
}

TEST_F(MailboxWindow, DeletingAsksFirstAndTheOutboxSaysMore) {
    Refresh(kFolders, kMessages);
    Drain();
    SelectRows({0});
    h->dialogs.answers.push_back(ui::MsgAnswer::No);
    w->Button("DELETEMESSAGE")->click();
    EXPECT_EQ(h->dialogs.Last().title, "Warning");
    EXPECT_EQ(h->dialogs.Last().text,
              "Are you sure you wish to delete the selected messages?\r\n\r\n");
    EXPECT_EQ(h->dialogs.Last().buttons, ui::MsgButtons::YesNo);
    EXPECT_TRUE(Sent().empty());

    w->ChooseFolder(1, "Sent");
    Serve(16, kMessages);
    Drain();
    SelectRows({0, 1});
    w->Button("DELETEMESSAGE")->click();
    EXPECT_EQ(h->dialogs.Last().text,
              "Are you sure you wish to delete the selected messages?\r\n\r\nNOTE: Because these "
              "messages are contained within the outbox folder, they will no longer be accessible "
              "by their recipient(s)");
    EXPECT_EQ(OperationFile().substr(0, 9), "3\n1\nSent\n");
    EXPECT_EQ(Sent(), (std::vector<std::string>{"2/8"}));
}

TEST_F(MailboxWindow, MovingToTheCurrentFolderSendsNothing) {
    Refresh(kFolders, kMessages);
    Drain();
    SelectRows({0});
    w->Button("MOVETOFOLDER")->click();
    auto& select = w->SelectFolderWindow();
    ASSERT_TRUE(SpinUntil([&] { return select.isVisible(); }));
    ASSERT_EQ(select.List()->count(), 2);
    EXPECT_EQ(select.List()->item(0)->text(), "Primary");
    EXPECT_EQ(select.List()->currentRow(), 0);
    select.OkButton()->click();
    EXPECT_FALSE(select.isVisible());
    EXPECT_TRUE(Sent().empty());

    w->Button("MOVETOFOLDER")->click();
    select.List()->setCurrentRow(1);
    select.OkButton()->click();
    EXPECT_EQ(OperationFile(), "0\n0\nPrimary\nWork\n000013 000004 1 Bob\n");
    EXPECT_EQ(Sent(), (std::vector<std::string>{"2/8"}));
}

TEST_F(MailboxWindow, ButtonsAndMenuFollowTheSelectionAndTheSessionsRoot) {
    Refresh(kFolders, kMessages);
    for (const char* b : {"MARKREAD", "MARKUNREAD", "DELETEMESSAGE", "MOVETOFOLDER"}) {
        EXPECT_FALSE(w->Button(b)->isEnabled()) << b;
    }
    EXPECT_TRUE(w->Button("NEWMESSAGE")->isEnabled()) << "the composer is there";
    EXPECT_TRUE(w->Button("NEWFOLDER")->isEnabled());

    w->ChooseFolder(2, "ab12cd");
    EXPECT_TRUE(w->State().KeepTree());
    Serve(16, kMessages);
    EXPECT_FALSE(w->State().KeepTree()) << "the tree was kept once";
    SelectRows({0, 2});
    EXPECT_TRUE(w->Button("MARKREAD")->isEnabled());
    EXPECT_TRUE(w->Button("MARKUNREAD")->isEnabled());
    EXPECT_TRUE(w->Button("DELETEMESSAGE")->isEnabled());
    EXPECT_FALSE(w->Button("MOVETOFOLDER")->isEnabled());

    QStringList items;
    bool moveEnabled = true;
    w->SetMenuRunner([&](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* a : menu.actions()) {
            items << a->text();
            if (a->text() == "Move to Folder...") moveEnabled = a->isEnabled();
        }
        return menu.actions().at(2);  // "Mark Unread"
    });
    QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5), QPoint(5, 5));
    QApplication::sendEvent(w->List(), &event);
    EXPECT_EQ(items, (QStringList{"Move to Folder...", "Mark Read", "Mark Unread", "Delete"}));
    EXPECT_FALSE(moveEnabled);
    EXPECT_EQ(OperationFile().substr(0, 11), "2\n2\nab12cd\n");

    // Ctrl+A takes every row; the Delete key asks before deleting.
    w->List()->clearSelection();
    QTest::keyClick(w->List(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(w->List()->SelectedRows().size(), 3u);
    EXPECT_TRUE(w->Button("DELETEMESSAGE")->isEnabled());
    h->dialogs.answers.push_back(ui::MsgAnswer::No);
    const int boxes = h->dialogs.messages.size();
    QTest::keyClick(w->List(), Qt::Key_Delete);
    EXPECT_EQ(h->dialogs.messages.size(), boxes + 1);
    EXPECT_EQ(h->dialogs.Last().title, "Warning");

    // A click on the folder that is current asks for nothing.
    Drain();
    w->ChooseFolder(2, "ab12cd");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(MailboxWindow, NewMailWhileHiddenShowsTheAlertOnly) {
    Mailbox(net::mailbox::kNewMail, Secondary::Notification);
    EXPECT_EQ(Main().ToolButton(shell::Tool::Mail)->Caption(), "MAILACTIVE");
    EXPECT_TRUE(Main().MailUnread());
    ASSERT_TRUE(SpinUntil([&] { return w->AlertWindow().isVisible(); }));
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(Sent().empty()) << "a hidden mailbox is not refreshed";

    // "Go to Mailbox" hides the alert and opens the mailbox.
    w->AlertWindow().GoButton()->click();
    EXPECT_FALSE(w->AlertWindow().isVisible());
    Serve(15, kFolders);
    Serve(16, kMessages);
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible(); }));
}

TEST_F(MailboxWindow, NewMailWhileShownRefreshesQuietly) {
    Refresh(kFolders, kMessages);
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible(); }));
    w->hide();
    w->show();
    Drain();
    Mailbox(net::mailbox::kNewMail, Secondary::Notification);
    EXPECT_TRUE(w->State().Quiet());
    EXPECT_EQ(Sent(), (std::vector<std::string>{"3/9"}));
    Serve(15, kFolders);
    Serve(16, kMessages + std::string("15 999999 1 dave 1800000000 New one\n"));
    EXPECT_FALSE(w->State().Quiet());
    EXPECT_FALSE(w->ShowPending()) << "a quiet refresh does not bring the window forward";
    EXPECT_EQ(w->List()->model()->rowCount(), 4);
    // "OK" on the alert only hides it.
    Drain();
    w->AlertWindow().OkButton()->click();
    EXPECT_FALSE(w->AlertWindow().isVisible());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(MailboxWindow, ARefusedMessageListKeepsTheListAndEndsTheChain) {
    Refresh(kFolders, kMessages);
    w->hide();
    // The folder vanished between the two lists.
    w->ChooseFolder(0, "Work");
    Refuse(16);
    EXPECT_EQ(w->List()->model()->rowCount(), 3);
    EXPECT_FALSE(w->State().KeepTree());
    ASSERT_TRUE(SpinUntil([&] { return w->isVisible(); }));
    EXPECT_EQ(w->Tree()->currentItem()->text(0), "Work");
}

TEST_F(MailboxWindow, AFolderListWithoutTheCurrentFolderFallsBackToPrimary) {
    Refresh(kFolders, kMessages);
    w->ChooseFolder(1, "Old");
    Serve(16, "");
    Drain();
    w->OpenMailbox();
    Serve(15, "MAILBOX_ROOTDIR_INBOX\nPrimary 0 Primary\nMAILBOX_ROOTDIR_OUTBOX\nSent 0 Sent\n");
    auto sent = Drain();
    ASSERT_EQ(sent.size(), 2u);
    auto f = sent[1].Reader();
    int32_t zero = 0, root = -1;
    std::string key;
    ASSERT_TRUE(f.Int(0, 0, zero) && f.Int(0, 2, root) && f.Str(1, 31, key));
    EXPECT_EQ(root, 0);
    EXPECT_EQ(key, "Primary");
}

TEST_F(MailboxWindow, KeysAndSendersFromTheServerStayOffLocalPaths) {
    Refresh("../../evil 1 Evil\nPrimary 0 Primary\n", "1 999999 1 ../../../x 0 s\n");
    Drain();
    w->ChooseFolder(0, "../../evil");
    auto sent = Drain();
    ASSERT_EQ(sent.size(), 1u);
    auto f = sent[0].Reader();
    int32_t zero = 0, root = -1;
    std::string key;
    ASSERT_TRUE(f.Int(0, 0, zero) && f.Int(0, 2, root) && f.Str(1, 31, key));
    EXPECT_EQ(key, "../../evil") << "the key travels as a field only";
    Serve(16, "2 999999 1 ../../../y 0 t\n");
    SelectRows({0});
    w->MarkRead();
    EXPECT_EQ(OperationFile(), "1\n0\n../../evil\n000002 999999 1 ../../../y\n");
    for (const char* name : {"evil", "x", "y"}) {
        EXPECT_FALSE(testsupport::FileExists(h->DataFile(std::string("../../") + name)));
        EXPECT_FALSE(testsupport::FileExists(h->home.path() + "/" + name));
    }
}

TEST_F(MailboxWindow, CorruptAndMissingMessageLists) {
    Refresh(kFolders, "12 999999 1 alice 5 kept\nnot a message\n13 999999 1 bob 6 lost\n");
    EXPECT_EQ(h->dialogs.Last().title, "Error");
    EXPECT_EQ(h->dialogs.Last().text, "The list message file appears to be corrupted");
    EXPECT_EQ(h->dialogs.Last().icon, ui::MsgIcon::Information);
    ASSERT_EQ(w->List()->model()->rowCount(), 1);
    EXPECT_EQ(Row(0, 1), "kept");

    // The downloaded file vanished before it could be read.
    w->OpenMailbox();
    Serve(15, kFolders);
    std::remove(h->DataFile("files/remote/listmessage/listmessage").c_str());
    w->MessageListArrived();
    EXPECT_EQ(h->dialogs.Last().text, "Unable to open downloaded list message file");
}

TEST_F(MailboxWindow, OpeningAnUnreadMessageCallsTheReaderAndLowersTheCount) {
    std::vector<std::string> opened;
    MailboxHooks hooks;
    hooks.read = [&](const CMailboxMessage& m, int32_t root, const std::string& key) {
        opened.push_back(m.subject + "@" + std::to_string(root) + key);
    };
    w->SetHooks(hooks);
    Refresh("Primary 1 Primary\n", "12 999999 1 alice 5 only\n");
    EXPECT_TRUE(Main().MailUnread());
    Drain();
    w->OpenMessage(0);
    EXPECT_EQ(opened, (std::vector<std::string>{"only@0Primary"}));
    EXPECT_EQ(w->Tree()->topLevelItem(0)->child(0)->text(0), "Primary");
    EXPECT_TRUE(w->List()->model()->index(0, 1).data(Qt::FontRole).isNull()) << "no longer bold";
    EXPECT_EQ(Main().ToolButton(shell::Tool::Mail)->Caption(), "MAIL");
    EXPECT_TRUE(Sent().size() == 0) << "no mark-read request for this";
    w->OpenMessage(0);
    w->OpenMessage(7);
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(w->State().Folders().roots[0][0].Unread(), 0);
}

TEST_F(MailboxWindow, FolderWindowsAndTheirTexts) {
    Refresh(kFolders, kMessages);
    Drain();
    w->Button("NEWFOLDER")->click();
    auto& create = w->FolderCreateWindow();
    ASSERT_TRUE(SpinUntil([&] { return create.isVisible(); }));
    EXPECT_EQ(create.windowTitle(), "New Mailbox Folder");
    EXPECT_EQ(create.NameField()->maxLength(), 20);
    create.NameField()->setText("my folder");
    create.OkButton()->click();
    EXPECT_EQ(h->dialogs.Last().text, "Folder name may contain only letters, numbers, and '_' '-'");
    EXPECT_EQ(h->dialogs.Last().title, "Error");
    EXPECT_TRUE(create.isVisible());
    create.TypeList()->setCurrentRow(1);
    create.NameField()->setText("Work_2");
    create.OkButton()->click();
    EXPECT_FALSE(create.isVisible());
    auto sent = Drain();
    ASSERT_EQ(sent.size(), 1u);
    auto f = sent[0].Reader();
    EXPECT_EQ(f.Code(), net::mailbox::kCreateFolder);
    int32_t root = -1;
    std::string name;
    EXPECT_TRUE(f.Int(0, 1, root) && f.Str(1, 20, name));
    EXPECT_EQ(root, 1);
    EXPECT_EQ(name, "Work_2");
    // Opened again: the name is cleared.
    w->Button("NEWFOLDER")->click();
    EXPECT_TRUE(create.NameField()->text().isEmpty());

    h->dialogs.answers.push_back(ui::MsgAnswer::No);
    w->DeleteFolder(1, "Old");
    EXPECT_EQ(h->dialogs.Last().title, "Caution");
    EXPECT_EQ(h->dialogs.Last().icon, ui::MsgIcon::Warning);
    EXPECT_EQ(h->dialogs.Last().text,
              "Are you sure you wish to delete folder 'Old'?\r\n\r\nNOTE: Because this is an "
              "outbox folder, all messages contained within will no longer be accessible by their "
              "recipient(s)");
    EXPECT_TRUE(Sent().empty());
    w->DeleteFolder(0, "Work");
    EXPECT_EQ(h->dialogs.Last().text, "Are you sure you wish to delete folder 'Work'?");
    EXPECT_EQ(Sent(), (std::vector<std::string>{"14/1"}));
}

TEST_F(MailboxWindow, ResponsesOfTheFamily) {
    Drain();
    Mailbox(net::mailbox::kFolderCreated);
    Mailbox(net::mailbox::kFolderDeleted);
    EXPECT_EQ(Sent(), (std::vector<std::string>{"3/9"})) << "the second waits for the first";

    net::MessageWriter refused(net::mailbox::kCreateFolderRefused);
    refused.Str("A folder named 'Work' already exists");
    Route(refused, Primary::Mailbox, Secondary::Response);
    auto& response = h->state->ServerResponseWindow();
    EXPECT_NE(response.Text().indexOf("Unable to create mailbox folder"), -1);
    EXPECT_NE(response.Text().indexOf("A folder named 'Work' already exists"), -1);
    Mailbox(net::mailbox::kMessageGone);
    EXPECT_NE(response.Text().indexOf("Message deleted by sender"), -1);
    EXPECT_NE(response.Text().indexOf("Attachment filename file could not be found"), -1);

    net::MessageWriter unread(net::mailbox::kUnreadMail);
    unread.Int(3);
    Route(unread, Primary::Mailbox, Secondary::Response);
    EXPECT_EQ(Main().ToolButton(shell::Tool::Mail)->Caption(), "MAILACTIVE");
    net::MessageWriter none(net::mailbox::kUnreadMail);
    none.Int(0);
    Route(none, Primary::Mailbox, Secondary::Response);
    EXPECT_EQ(Main().ToolButton(shell::Tool::Mail)->Caption(), "MAIL");
    EXPECT_FALSE(Main().MailUnread());

    const net::LogLine& log = Client().router().FamilyLog(Primary::Mailbox);
    Mailbox(11);
    EXPECT_EQ(log.Text(), "MsgMailbox.HandleResponse(1): Unknown response '11' received from server");
    Mailbox(1, Secondary::Notification);
    EXPECT_EQ(log.Text(),
              "MsgMailbox.HandleNotification(1): Unknown notification '1' received from server");
    Mailbox(0, Secondary::Message);
    EXPECT_EQ(log.Text(), "MsgMailbox.HandleMsg(0): Unknown secondary message '1' received from server");
    Mailbox(net::mailbox::kCreateFolderRefused);  // no explanation
    EXPECT_EQ(log.Text(), "MsgMailbox.HandleResponseCreateFolderError(0): Unable to decode explanation");
}

TEST_F(MailboxWindow, TheNextLoginStartsFromTheStartState) {
    Refresh(kFolders, kMessages);
    w->ChooseFolder(0, "Work");
    Serve(16, kMessages);
    w->List()->Header().Click(0);
    w->ResetForLogin();
    EXPECT_EQ(w->State().CurrentKey(), "Primary");
    EXPECT_EQ(w->List()->model()->rowCount(), 0);
    EXPECT_EQ(w->Tree()->topLevelItemCount(), 0);
    EXPECT_EQ(w->State().SortColumn(), kSortDate);
    EXPECT_EQ(w->List()->Header().ArrowColumn(), 2);
    EXPECT_FALSE(Main().MailUnread());
}

}  // namespace
}  // namespace mailbox
