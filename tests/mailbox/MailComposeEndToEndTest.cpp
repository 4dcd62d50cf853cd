// Writing and reading mail between two whole programs against the
// in-process local network: alice writes, bob reads, saves and replies.

#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "contacts/FindContactDlg.h"
#include "mailbox/AttachmentProgressDlgs.h"
#include "mailbox/ComposeFormats.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxMessageDlg.h"
#include "mailbox/MailboxModule.h"
#include "mailbox/MailboxSmallDlgs.h"
#include "mailbox/MailboxWriteMsgDlg.h"
#include "mailbox/TreeFolders.h"
#include "server/core/ClientSession.h"
#include "server/mailbox/MailboxService.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/ManageSessionsDlg.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "ui/TextViewerDlg.h"

namespace mailbox {
namespace {

using testsupport::SpinUntil;

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 4096) & 0xFF);
    return bytes;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFile(const std::string& path) {
    std::string out;
    ReadWholeFile(path, out);
    return out;
}

class MailComposeEndToEnd : public ::testing::Test {
  protected:
    // Options of the server before it starts.
    virtual void Adjust(localnet::ServerOptions&) {}

    void SetUp() override {
        Adjust(network.Options());
        ASSERT_TRUE(network.Start());
        alice = std::make_unique<apptest::AppHarness>(network.Endpoints());
        bob = std::make_unique<apptest::AppHarness>(network.Endpoints());
        LogIn(*alice, "alice", "alicepass");
        LogIn(*bob, "bob", "bobpass");
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
    static MailboxModule& Module(apptest::AppHarness& h) {
        return *h.state->FindModule<MailboxModule>();
    }
    static CMailboxDlg& Box(apptest::AppHarness& h) { return *Module(h).Window(); }
    static CMailboxWriteMsgDlg& Composer(apptest::AppHarness& h) { return *Module(h).Composer(); }
    static CMailboxMessageDlg& Reader(apptest::AppHarness& h) { return *Module(h).Reader(); }

    localnet::MailboxService& Service() {
        for (const auto& s : network.Network().AllServices()) {
            if (auto* m = dynamic_cast<localnet::MailboxService*>(s.get())) return *m;
        }
        std::abort();
    }
    static int RowOf(apptest::AppHarness& h, const QString& subject) {
        CListMessage* list = Box(h).List();
        for (int r = 0; r < list->model()->rowCount(); ++r) {
            if (list->model()->index(r, 1).data().toString() == subject) return r;
        }
        return -1;
    }
    static bool Bold(apptest::AppHarness& h, const QString& subject) {
        const int row = RowOf(h, subject);
        return row >= 0 &&
               Box(h).List()->model()->index(row, 1).data(Qt::FontRole).value<QFont>().bold();
    }
    // Opens the mailbox (Inbox, Primary) and waits for the message's row.
    static int WaitForRow(apptest::AppHarness& h, const QString& subject) {
        h.state->MainWindow().ToolButton(shell::Tool::Mail)->click();
        int row = -1;
        SpinUntil([&] {
            row = RowOf(h, subject);
            return Box(h).isVisible() && row >= 0;
        });
        return row;
    }
    static void Write(apptest::AppHarness& h, const QString& to, const QString& subject,
                      const QString& body, const QString& attachment = {}) {
        Box(h).Button("NEWMESSAGE")->click();
        CMailboxWriteMsgDlg& c = Composer(h);
        ASSERT_TRUE(SpinUntil([&] { return c.isVisible(); }));
        c.RecipientsField()->setText(to);
        c.AttachmentField()->setText(attachment);
        c.SubjectField()->setText(subject);
        c.BodyField()->setPlainText(body);
        c.SendButton()->click();
    }
    static QString ResponseText(apptest::AppHarness& h) {
        return h.state->ServerResponseWindow().isVisible() ? h.state->ServerResponseWindow().Text()
                                                           : QString();
    }
    void DropConnections(const QString& user) {
        for (localnet::ClientSession* s : network.Network().Sessions()) {
            if (s->Username() == user) s->Abort("the test ends the connections");
        }
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> alice;
    std::unique_ptr<apptest::AppHarness> bob;
};

TEST_F(MailComposeEndToEnd, AliceSendsWithAnAttachmentBobReadsSavesItAndReplies) {
    const std::string attachment = Pattern(3 * 1024 * 1024);
    const std::string attachPath = alice->home.path() + "/plan figures.bin";
    ASSERT_TRUE(WriteFile(attachPath, attachment));
    CMailboxWriteMsgDlg& c = Composer(*alice);
    QVector<int> percents;
    QObject::connect(c.ProgressWindow().Bar(), &QProgressBar::valueChanged,
                     [&](int v) { percents << v; });

    const QString body = QStringLiteral("Dear bob,\nthe figures are attached \U0001F600\nalice");
    Write(*alice, "bob, (Team Alpha)", "Quarterly plan", body, QString::fromStdString(attachPath));
    // Locked for a moment, then the exchange runs.
    EXPECT_TRUE(c.Locked());
    EXPECT_FALSE(c.SubjectField()->isEnabled());
    EXPECT_FALSE(c.SendButton()->isEnabled());
    ASSERT_TRUE(SpinUntil([&] { return c.ReportViewer() != nullptr; }, std::chrono::seconds(20)));
    EXPECT_TRUE(c.SubjectField()->isEnabled());
    // A session was addressed: the report, and the window stays open.
    EXPECT_TRUE(c.isVisible());
    EXPECT_FALSE(c.ProgressWindow().isVisible());
    ASSERT_FALSE(percents.isEmpty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_GT(percents.back(), 50);
    EXPECT_TRUE(SpinUntil([&] { return c.ReportViewer()->isVisible(); }));
    EXPECT_TRUE(c.ReportViewer()->Text().contains("bob"));

    // Bob is told, and reads it.
    ASSERT_TRUE(SpinUntil([&] { return Box(*bob).AlertWindow().isVisible(); }));
    Box(*bob).AlertWindow().OkButton()->click();
    const int row = WaitForRow(*bob, "Quarterly plan");
    ASSERT_GE(row, 0);
    EXPECT_TRUE(Bold(*bob, "Quarterly plan"));
    Box(*bob).OpenMessage(row);
    CMailboxMessageDlg& r = Reader(*bob);
    ASSERT_TRUE(SpinUntil([&] { return r.isVisible(); }));
    EXPECT_EQ(r.FromField()->text(), "alice");
    EXPECT_EQ(r.ToField()->text(), "bob, (Team Alpha)");
    EXPECT_TRUE(QRegularExpression("^\\d{1,2}:\\d\\d:\\d\\d (AM|PM) \\d{1,2}/\\d{1,2}/\\d{4}$")
                    .match(r.DateField()->text())
                    .hasMatch())
        << r.DateField()->text().toStdString();
    EXPECT_EQ(r.AttachmentField()->text(), "planfigures.bin");
    EXPECT_EQ(r.SubjectField()->text(), "Quarterly plan");
    EXPECT_EQ(r.BodyField()->toPlainText(), body);
    EXPECT_TRUE(r.DownloadButton()->isEnabled());
    EXPECT_EQ(r.focusWidget(), r.ReplyButton());
    EXPECT_FALSE(Bold(*bob, "Quarterly plan"));

    // Saved over an older file: the save dialog proposes the server's name.
    const std::string savePath = bob->home.path() + "/saved.bin";
    ASSERT_TRUE(WriteFile(savePath, "older contents"));
    bob->dialogs.fileNames.push_back(QString::fromStdString(savePath));
    r.DownloadButton()->click();
    EXPECT_EQ(bob->dialogs.files.back().path, "planfigures.bin");
    EXPECT_TRUE(r.DownloadWindow().isVisible());
    EXPECT_EQ(r.DownloadWindow().ProgressText(), "Progress: 0%");
    ASSERT_TRUE(SpinUntil([&] { return !r.Downloading(); }, std::chrono::seconds(20)));
    EXPECT_FALSE(r.DownloadWindow().isVisible());
    EXPECT_TRUE(ReadFile(savePath) == attachment);
    EXPECT_FALSE(std::filesystem::exists(savePath + ".download"));

    // Reply: to the sender, "RE: ", focus in the empty body.
    r.ReplyButton()->click();
    CMailboxWriteMsgDlg& bc = Composer(*bob);
    ASSERT_TRUE(SpinUntil([&] { return bc.isVisible(); }));
    EXPECT_EQ(bc.RecipientsField()->text(), "alice");
    EXPECT_EQ(bc.SubjectField()->text(), "RE: Quarterly plan");
    EXPECT_TRUE(bc.BodyField()->toPlainText().isEmpty());
    EXPECT_TRUE(bc.AttachmentField()->text().isEmpty());
    EXPECT_EQ(bc.focusWidget(), bc.BodyField());
    bc.BodyField()->setPlainText("Thanks, looks good.");
    bc.SendButton()->click();
    // Only an individual: sent without a report, and the window goes.
    ASSERT_TRUE(SpinUntil([&] { return !bc.isVisible(); }, std::chrono::seconds(10)));
    EXPECT_EQ(bc.ReportViewer(), nullptr);
    EXPECT_GE(WaitForRow(*alice, "RE: Quarterly plan"), 0);

    // Read stays read after the mailbox is refreshed.
    EXPECT_GE(WaitForRow(*bob, "Quarterly plan"), 0);
    EXPECT_FALSE(Bold(*bob, "Quarterly plan"));
}

TEST_F(MailComposeEndToEnd, UnknownRecipientsAndAMessageTheSenderDeleted) {
    CMailboxWriteMsgDlg& c = Composer(*alice);
    Write(*alice, "bob, nobody", "Hello", "Is anybody there?");
    ASSERT_TRUE(SpinUntil([&] {
        return ResponseText(*alice).contains(
            "Cannot send message because one or more of the recipients does not exist");
    }));
    EXPECT_TRUE(ResponseText(*alice).contains("nobody"));
    // The message is kept as it was, ready to be mended.
    EXPECT_TRUE(c.isVisible());
    EXPECT_EQ(c.RecipientsField()->text(), "bob, nobody");
    EXPECT_EQ(c.SubjectField()->text(), "Hello");
    EXPECT_EQ(c.BodyField()->toPlainText(), "Is anybody there?");
    EXPECT_EQ(c.CurrentStage(), CMailboxWriteMsgDlg::Stage::Idle);
    alice->state->ServerResponseWindow().hide();

    c.RecipientsField()->setText("bob");
    c.SendButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return !c.isVisible(); }, std::chrono::seconds(10)));

    // Alice deletes it from her Outbox: bob can no longer open it.
    const int bobsRow = WaitForRow(*bob, "Hello");
    ASSERT_GE(bobsRow, 0);
    QByteArray sent;
    ASSERT_TRUE(Service().MessageList("1234567", "alice", 1, "Sent", sent));
    const int at = sent.indexOf("Hello");
    ASSERT_GE(at, 0);
    const QByteArray line = sent.left(at).mid(sent.left(at).lastIndexOf('\n') + 1);
    const QList<QByteArray> fields = line.split(' ');
    CMailboxMessage m;
    m.number = fields.value(0).toInt();
    m.attachment = fields.value(1).toInt();
    m.sender = "alice";
    CMailboxMessage* list[] = {&m};
    const std::string op = OperationFileText(kOpDelete, 1, "Sent", "", {list[0]});
    ASSERT_TRUE(Service().ApplyOperation("1234567", "alice", QByteArray::fromStdString(op)));

    Box(*bob).OpenMessage(bobsRow);
    ASSERT_TRUE(SpinUntil([&] { return !ResponseText(*bob).isEmpty(); }));
    EXPECT_EQ(ResponseText(*bob),
              ui::ServerResponseText("Message deleted by sender",
                                     "File containing list of recipients could not be found"));
    EXPECT_FALSE(Reader(*bob).isVisible());
}

TEST_F(MailComposeEndToEnd, ComposerOpeningCancellingAndPrefills) {
    CMailboxWriteMsgDlg& c = Composer(*alice);
    Box(*alice).Button("NEWMESSAGE")->click();
    ASSERT_TRUE(SpinUntil([&] { return c.isVisible(); }));
    EXPECT_EQ(c.focusWidget(), c.RecipientsField());

    // The pickers append after ", " only when the field holds something.
    c.AppendRecipient("bob", false);
    c.AppendRecipient("Team Alpha", true);
    EXPECT_EQ(c.RecipientsField()->text(), "bob, (Team Alpha)");

    // Cancel asks; No keeps everything.
    alice->dialogs.answers.push_back(ui::MsgAnswer::No);
    c.CancelButton()->click();
    EXPECT_EQ(alice->dialogs.Last().text, QString::fromLatin1(kCancelQuestion));
    EXPECT_EQ(alice->dialogs.Last().title, "Warning");
    EXPECT_TRUE(c.isVisible());
    EXPECT_EQ(c.RecipientsField()->text(), "bob, (Team Alpha)");

    // A forward, then a reply to a reply: the reply's body starts empty.
    alice->dialogs.answers.push_back(ui::MsgAnswer::Yes);
    c.SetPrefill(ForwardPrefill("Lunch", "See you\r\nthere"));
    ASSERT_TRUE(c.Open());
    EXPECT_EQ(c.SubjectField()->text(), "FW: Lunch");
    EXPECT_EQ(c.BodyField()->toPlainText(),
              "\n\n---- Begin forwarded message ----\n\nSee you\nthere");
    EXPECT_EQ(c.focusWidget(), c.RecipientsField());
    alice->dialogs.answers.push_back(ui::MsgAnswer::Yes);
    c.SetPrefill(ReplyPrefill("bob", "RE: Lunch"));
    ASSERT_TRUE(c.Open());
    EXPECT_EQ(c.SubjectField()->text(), "RE: RE: Lunch");
    EXPECT_TRUE(c.BodyField()->toPlainText().isEmpty());
    EXPECT_EQ(c.focusWidget(), c.BodyField());
    // The prefill is used once: a plain new message starts empty.
    alice->dialogs.answers.push_back(ui::MsgAnswer::Yes);
    ASSERT_TRUE(c.Open());
    EXPECT_TRUE(c.RecipientsField()->text().isEmpty());
    EXPECT_TRUE(c.SubjectField()->text().isEmpty());

    // The checks come first; a field of separators only is caught after the lock.
    c.RecipientsField()->setText("bob");
    c.SubjectField()->setText(QString(101, 'x'));
    c.BodyField()->setPlainText("Hi");
    c.SendButton()->click();
    EXPECT_EQ(alice->dialogs.Last().text, "The subject may be at most 100 characters in length");
    EXPECT_FALSE(c.Locked());
    c.RecipientsField()->setText(" , ,, ;");
    c.SubjectField()->setText(QString(100, 'x'));
    alice->dialogs.Clear();
    c.SendButton()->click();
    EXPECT_TRUE(c.Locked());
    EXPECT_TRUE(alice->dialogs.messages.isEmpty());
    ASSERT_TRUE(SpinUntil([&] { return !c.Locked(); }));
    EXPECT_EQ(alice->dialogs.Last().text, "Please specify a recipient");
    EXPECT_EQ(c.CurrentStage(), CMailboxWriteMsgDlg::Stage::Idle);
    EXPECT_TRUE(c.SendButton()->isEnabled());

    // A message without an attachment opens with no attachment to save.
    const int row = WaitForRow(*alice, "Lunch on Friday?");
    ASSERT_GE(row, 0);
    Box(*alice).OpenMessage(row);
    CMailboxMessageDlg& r = Reader(*alice);
    ASSERT_TRUE(SpinUntil([&] { return r.isVisible(); }));
    EXPECT_TRUE(r.AttachmentField()->text().isEmpty());
    EXPECT_FALSE(r.DownloadButton()->isEnabled());
    EXPECT_FALSE(r.BodyField()->toPlainText().isEmpty());
}

TEST_F(MailComposeEndToEnd, ThePickersAddToTheComposerWhileItIsOpen) {
    CMailboxWriteMsgDlg& c = Composer(*alice);
    Box(*alice).Button("NEWMESSAGE")->click();
    ASSERT_TRUE(SpinUntil([&] { return c.isVisible(); }));

    // Individual...: the contact search; a double-click adds the account.
    c.AddRecipientButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return c.SelectRecipientWindow().isVisible(); }));
    c.SelectRecipientWindow().IndividualButton()->click();
    EXPECT_FALSE(c.SelectRecipientWindow().isVisible());
    contacts::CFindContactDlg& find =
        *alice->state->FindModule<contacts::ContactsModule>()->FindWindow();
    ASSERT_TRUE(SpinUntil([&] { return find.isVisible() && find.Records().rowCount() > 0; }));
    int bobRow = -1;
    for (int r = 0; r < find.Records().rowCount(); ++r) {
        if (find.Records().RecordAt(r)->username == "bob") bobRow = r;
    }
    ASSERT_GE(bobRow, 0);
    find.RowActivated(bobRow);
    EXPECT_EQ(c.RecipientsField()->text(), "bob");
    EXPECT_FALSE(find.isVisible());

    // Session...: Manage Sessions; a double-click adds the session.
    c.AddRecipientButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return c.SelectRecipientWindow().isVisible(); }));
    c.SelectRecipientWindow().SessionButton()->click();
    sessions::CManageSessionsDlg& manage =
        *alice->state->FindModule<sessions::SessionsModule>()->Manage();
    ASSERT_TRUE(
        SpinUntil([&] { return manage.isVisible() && !manage.List().Model().Rows().isEmpty(); }));
    const int teamRow = 0;
    const QString session = manage.List().Model().Rows()[teamRow].name;
    emit manage.List().RowActivated(teamRow);
    EXPECT_EQ(c.RecipientsField()->text(), "bob, (" + session + ")");
    EXPECT_FALSE(manage.isVisible());

    // With the composer closed a double-click adds nothing.
    alice->dialogs.answers.push_back(ui::MsgAnswer::Yes);
    c.CancelButton()->click();
    ASSERT_FALSE(c.isVisible());
    const QString before = c.RecipientsField()->text();
    alice->state->FindModule<sessions::SessionsModule>()->OpenSessionList();
    ASSERT_TRUE(SpinUntil([&] { return manage.isVisible(); }));
    emit manage.List().RowActivated(teamRow);
    EXPECT_TRUE(manage.isVisible());
    EXPECT_EQ(c.RecipientsField()->text(), before);
}

TEST_F(MailComposeEndToEnd, ADropStopsTheLockAndHidesTheWindows) {
    CMailboxWriteMsgDlg& c = Composer(*alice);
    Write(*alice, "bob", "Before the drop", "Text");
    ASSERT_TRUE(c.Locked());
    DropConnections("alice");
    ASSERT_TRUE(SpinUntil([&] { return alice->state->LoginWindow().isVisible(); }));
    EXPECT_FALSE(c.isVisible());
    EXPECT_FALSE(c.Locked());
    EXPECT_TRUE(c.SendButton()->isEnabled());
    EXPECT_EQ(c.CurrentStage(), CMailboxWriteMsgDlg::Stage::Idle);
}

// A sender's attachments are limited in number and in space.
class MailAttachmentLimits : public MailComposeEndToEnd {
  protected:
    void Adjust(localnet::ServerOptions& options) override {
        options.mailAttachments = 1;
        options.mailAttachmentSpace = 1024 * 1024;
    }
};

TEST_F(MailAttachmentLimits, TooManyAttachmentsAndNotEnoughSpaceAreRefused) {
    CMailboxWriteMsgDlg& c = Composer(*alice);
    const std::string large = alice->home.path() + "/large.bin";
    ASSERT_TRUE(WriteFile(large, Pattern(2 * 1024 * 1024)));
    Write(*alice, "bob", "Large", "One", QString::fromStdString(large));
    ASSERT_TRUE(SpinUntil([&] { return !ResponseText(*alice).isEmpty(); }));
    EXPECT_TRUE(ResponseText(*alice).contains(
        "Not enough space in attachment directory; go to the outbox folder and delete a message "
        "that has an attachment"));
    // The message stays, ready for a smaller file.
    EXPECT_TRUE(c.isVisible());
    EXPECT_FALSE(c.ProgressWindow().isVisible());
    EXPECT_EQ(c.CurrentStage(), CMailboxWriteMsgDlg::Stage::Idle);
    alice->state->ServerResponseWindow().hide();

    const std::string small = alice->home.path() + "/note.txt";
    ASSERT_TRUE(WriteFile(small, "a small note"));
    c.AttachmentField()->setText(QString::fromStdString(small));
    c.SendButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return !c.isVisible(); }, std::chrono::seconds(10)));

    Write(*alice, "bob", "Second", "Two", QString::fromStdString(small));
    ASSERT_TRUE(SpinUntil([&] { return !ResponseText(*alice).isEmpty(); }));
    EXPECT_TRUE(ResponseText(*alice).contains(
        "Too many attachments; go to the outbox folder and delete a message that has an "
        "attachment"));
    EXPECT_TRUE(c.isVisible());
    EXPECT_EQ(c.CurrentStage(), CMailboxWriteMsgDlg::Stage::Idle);
}

TEST_F(MailComposeEndToEnd, ACancelledSaveLeavesTheOlderFileAsItWas) {
    const std::string attachment = Pattern(2 * 1024 * 1024);
    const std::string attachPath = alice->home.path() + "/report.pdf";
    ASSERT_TRUE(WriteFile(attachPath, attachment));
    Write(*alice, "bob", "The report", "Attached.", QString::fromStdString(attachPath));
    ASSERT_TRUE(SpinUntil([&] { return !Composer(*alice).isVisible(); }, std::chrono::seconds(20)));

    const int row = WaitForRow(*bob, "The report");
    ASSERT_GE(row, 0);
    Box(*bob).OpenMessage(row);
    CMailboxMessageDlg& r = Reader(*bob);
    ASSERT_TRUE(SpinUntil([&] { return r.isVisible(); }));

    const std::string savePath = bob->home.path() + "/kept.pdf";
    ASSERT_TRUE(WriteFile(savePath, "the older file"));
    bob->dialogs.fileNames.push_back(QString::fromStdString(savePath));
    r.DownloadButton()->click();
    ASSERT_TRUE(r.Downloading());
    const std::string temp = r.DownloadTempPath();
    EXPECT_EQ(std::filesystem::path(temp).parent_path(),
              std::filesystem::path(savePath).parent_path());
    r.DownloadWindow().CancelButton()->click();
    EXPECT_FALSE(r.Downloading());
    EXPECT_FALSE(r.DownloadWindow().isVisible());
    // Whatever was still on its way is dropped.
    SpinUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_EQ(ReadFile(savePath), "the older file");
    EXPECT_FALSE(std::filesystem::exists(temp));

    // The slot is free again: the next save goes through.
    bob->dialogs.fileNames.push_back(QString::fromStdString(savePath));
    r.DownloadButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return !r.Downloading(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(ReadFile(savePath) == attachment);
}

}  // namespace
}  // namespace mailbox
