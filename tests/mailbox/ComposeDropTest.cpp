// Files dropped on the New Message window: one becomes the attachment (in
// place of the path a field would otherwise take as text), a second asks
// before it replaces the first, anything else is refused; and a message
// sent with a dropped attachment carries it to its reader.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <fstream>

#include "app/AppHarness.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxMessageDlg.h"
#include "mailbox/MailboxModule.h"
#include "mailbox/MailboxSmallDlgs.h"
#include "mailbox/MailboxWriteMsgDlg.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

namespace mailbox {
namespace {

using testsupport::SpinUntil;

class ComposeDrop : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network.Start());
        alice = std::make_unique<apptest::AppHarness>(network.Endpoints());
        alice->ConfirmLogin("alice", "alicepass");
        ASSERT_TRUE(SpinUntil([&] { return alice->state->MainWindow().isVisible(); }));
        module = alice->state->FindModule<MailboxModule>();
        composer = module->Composer();
        alice->state->MainWindow().ToolButton(shell::Tool::Mail)->click();
        ASSERT_TRUE(SpinUntil([&] { return module->Window()->isVisible(); }));
        module->Window()->Button("NEWMESSAGE")->click();
        ASSERT_TRUE(SpinUntil([&] { return composer->isVisible(); }));
    }
    void TearDown() override {
        alice.reset();
        network.Stop();
    }

    QString Local(const QString& name, const std::string& bytes = "contents") {
        const QString path = QString::fromStdString(alice->home.path()) + "/" + name;
        std::ofstream(path.toStdString(), std::ios::binary) << bytes;
        return path;
    }
    // A drag from a file manager: the addresses and their text, onto `target`
    // at a point of its own. Returns whether the drag was taken on entering.
    static bool Drop(QWidget* target, const QList<QUrl>& urls, const QString& text = {}) {
        QMimeData data;
        if (!urls.isEmpty()) data.setUrls(urls);
        if (!text.isEmpty()) data.setText(text);
        const QPoint at(10, 10);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) return false;
        QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return true;
    }
    static QUrl File(const QString& path) { return QUrl::fromLocalFile(path); }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> alice;
    MailboxModule* module = nullptr;
    CMailboxWriteMsgDlg* composer = nullptr;
};

TEST_F(ComposeDrop, ADroppedFileBecomesTheAttachmentWhereverItLands) {
    const QString report = Local("report.pdf");
    // Onto the message text, as a file manager sends it (with the path as
    // text too): the attachment, not words in the message.
    ASSERT_TRUE(Drop(composer->BodyField()->viewport(), {File(report)}, File(report).toString()));
    EXPECT_EQ(composer->AttachmentField()->text(), report);
    EXPECT_TRUE(composer->BodyField()->toPlainText().isEmpty());
    EXPECT_TRUE(alice->dialogs.messages.isEmpty());

    // A second file asks, naming both; No keeps the first.
    const QString photo = Local("photo.png");
    alice->dialogs.answers.push_back(ui::MsgAnswer::No);
    ASSERT_TRUE(Drop(composer->SubjectField(), {File(photo)}));
    ASSERT_EQ(alice->dialogs.messages.size(), 1);
    EXPECT_EQ(alice->dialogs.Last().buttons, ui::MsgButtons::YesNo);
    EXPECT_EQ(alice->dialogs.Last().text,
              "Replace the attachment \"report.pdf\" with \"photo.png\"?");
    EXPECT_EQ(composer->AttachmentField()->text(), report);
    EXPECT_TRUE(composer->SubjectField()->text().isEmpty());
    alice->dialogs.answers.push_back(ui::MsgAnswer::Yes);
    ASSERT_TRUE(Drop(composer, {File(photo)}));
    EXPECT_EQ(composer->AttachmentField()->text(), photo);
    // The same file again asks nothing.
    ASSERT_TRUE(Drop(composer, {File(photo)}));
    EXPECT_EQ(alice->dialogs.messages.size(), 2);

    // Plain text is still the fields' own.
    QMimeData words;
    words.setText("hello");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(composer->SubjectField(), &enter);
    EXPECT_TRUE(enter.isAccepted()) << "the field takes text as before";
    // So is a web link dragged from a browser into the message.
    alice->dialogs.Clear();
    QMimeData link;
    link.setUrls({QUrl("https://example.org/page")});
    link.setText("https://example.org/page");
    QDropEvent drop(QPoint(5, 5), Qt::CopyAction, &link, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(composer->BodyField()->viewport(), &drop);
    EXPECT_TRUE(alice->dialogs.messages.isEmpty());
    EXPECT_EQ(composer->AttachmentField()->text(), photo);
}

TEST_F(ComposeDrop, SeveralFilesFoldersAndOtherAddressesAreRefused) {
    const QString first = Local("first.txt");
    const QString second = Local("second.txt");
    ASSERT_TRUE(Drop(composer, {File(first), File(second)}));
    EXPECT_EQ(alice->dialogs.Last().title, "Error");
    EXPECT_EQ(alice->dialogs.Last().text,
              "A message carries one attachment; drop a single file to attach it");
    EXPECT_TRUE(composer->AttachmentField()->text().isEmpty());

    const QString folder = QString::fromStdString(alice->home.path()) + "/albums";
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(Drop(composer, {File(folder)}));
    EXPECT_EQ(alice->dialogs.Last().text, "\"albums\" is a folder; only a file can be attached");
    ASSERT_TRUE(Drop(composer, {QUrl("https://example.org/file.txt")}));
    EXPECT_EQ(alice->dialogs.Last().text, "Only a local file can be attached");
    ASSERT_TRUE(Drop(composer, {File(QString::fromStdString(alice->home.path()) + "/gone.txt")}));
    EXPECT_EQ(alice->dialogs.Last().text, "Only a local file can be attached");
    EXPECT_TRUE(composer->AttachmentField()->text().isEmpty());
    EXPECT_EQ(alice->dialogs.messages.size(), 4);
}

TEST_F(ComposeDrop, TheDroppedAttachmentTravelsWithTheMessage) {
    const std::string bytes(200000, 'z');
    const QString path = Local("dropped notes.txt", bytes);
    ASSERT_TRUE(Drop(composer, {File(path)}));
    composer->RecipientsField()->setText("bob");
    composer->SubjectField()->setText("With a dropped file");
    composer->BodyField()->setPlainText("See the attachment.");
    composer->SendButton()->click();
    // Locked for the send: nothing is taken meanwhile.
    ASSERT_TRUE(composer->Locked());
    EXPECT_FALSE(Drop(composer, {File(Local("late.txt"))}));
    ASSERT_TRUE(SpinUntil([&] { return !composer->isVisible(); }, std::chrono::seconds(20)));

    auto bob = std::make_unique<apptest::AppHarness>(network.Endpoints());
    bob->ConfirmLogin("bob", "bobpass");
    ASSERT_TRUE(SpinUntil([&] { return bob->state->MainWindow().isVisible(); }));
    MailboxModule* bobs = bob->state->FindModule<MailboxModule>();
    bob->state->MainWindow().ToolButton(shell::Tool::Mail)->click();
    int row = -1;
    ASSERT_TRUE(SpinUntil([&] {
        if (!bobs->Window()->isVisible()) return false;
        QAbstractItemModel* m = bobs->Window()->List()->model();
        for (int r = 0; r < m->rowCount(); ++r)
            if (m->index(r, 1).data().toString() == "With a dropped file") row = r;
        return row >= 0;
    }));
    bobs->Window()->OpenMessage(row);
    ASSERT_TRUE(SpinUntil([&] { return bobs->Reader()->isVisible(); }));
    ASSERT_TRUE(SpinUntil([&] { return !bobs->Reader()->AttachmentField()->text().isEmpty(); }));
    EXPECT_EQ(bobs->Reader()->AttachmentField()->text(), "droppednotes.txt");
    bob.reset();
}

}  // namespace
}  // namespace mailbox
