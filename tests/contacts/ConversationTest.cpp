// The conversation windows: what an incoming message shows and in which
// format, when the user is alerted, the offline notice, links, the input's
// limit, and what goes out when the user sends.

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>

#include "contacts/Conversations.h"
#include "net/Protocol.h"
#include "net/Router.h"
#include "shell/Settings.h"
#include "support/qt/ScriptedDialogs.h"
#include "ui/Skin.h"

namespace contacts {
namespace {

namespace wire = net::contact;

struct SentIm {
    std::string recipient;
    int32_t ints[8] = {};
    std::string text;
};

class Conversation : public ::testing::Test {
  protected:
    Conversation() {
        Conversations::Parts parts{skin, dialogs, timings, nullptr};
        parts.send = [this](std::unique_ptr<net::MessageBuffer> m) {
            net::bufHeader h{+net::Primary::Contact, +net::Secondary::Message, m->remaining};
            m->Unscramble(m->remaining);
            net::MessageReader r(*m, h);
            SentIm s;
            EXPECT_EQ(r.Code(), wire::kInstantMessage);
            EXPECT_TRUE(r.Str(1, 12, s.recipient));
            for (int32_t& v : s.ints) EXPECT_TRUE(r.Int(-1, -1, v));
            EXPECT_TRUE(r.Str(1, 600, s.text));
            sent.push_back(s);
            return true;
        };
        parts.settings = [this]() -> const shell::SettingsValues& { return settings; };
        parts.me = [] { return std::string("bob"); };
        parts.alert = [this] { ++alerts; };
        parts.inForeground = [this](const QWidget*) { return inFront; };
        parts.randomOffset = [] { return -40; };
        parts.now = [this] { return now; };
        ims = std::make_unique<Conversations>(std::move(parts));
        settings.size = 15;
    }

    void Incoming(const std::string& sender, const std::string& text,
                  std::array<int32_t, 8> ints = {2, 255, 0, 0, 1, 0, 0, 1}) {
        net::MessageWriter w(wire::kIncomingMessage);
        w.Str(sender);
        for (int32_t v : ints) w.Int(v);
        w.Str(text);
        net::bufHeader h{+net::Primary::Contact, +net::Secondary::Notification, w.length()};
        net::MessageReader r(w.buffer(), h);
        net::LogLine log;
        ims->Incoming(r, log);
    }

    void Offline(const std::string& name) {
        net::MessageWriter w(wire::kRecipientOffline);
        w.Str(name);
        net::bufHeader h{+net::Primary::Contact, +net::Secondary::Response, w.length()};
        net::MessageReader r(w.buffer(), h);
        net::LogLine log;
        ims->RecipientOffline(r, log);
    }

    static QString Text(CIMConversationDlg* w) { return w->Conversation()->toPlainText(); }

    // The format of the character at the first occurrence of `what`.
    static QTextCharFormat FormatAt(CIMConversationDlg* w, const QString& what) {
        QTextDocument* doc = w->Conversation()->document();
        QTextCursor c = doc->find(what);
        EXPECT_FALSE(c.isNull()) << what.toStdString();
        c.setPosition(c.selectionStart() + 1);
        return c.charFormat();
    }

    ui::Skin skin{1.0};
    testsupport::ScriptedDialogs dialogs;
    net::Timings timings = net::Timings::Fast();
    shell::SettingsValues settings;
    std::vector<SentIm> sent;
    int alerts = 0;
    bool inFront = false;
    QTime now{13, 7};
    std::unique_ptr<Conversations> ims;
};

TEST_F(Conversation, IncomingMessageShowsStampNameAndTextInItsFormatAtOurSize) {
    Incoming("alice", "hello");
    CIMConversationDlg* w = ims->Find("alice");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "IM Conversation - [alice]");
    EXPECT_EQ(Text(w), "[1:07 pm] alice: hello\n");
    const QTextCharFormat stamp = FormatAt(w, "[1:07");
    EXPECT_EQ(stamp.font().family(), "Arial");
    EXPECT_TRUE(stamp.font().bold());
    EXPECT_EQ(stamp.foreground().color(), QColor(128, 128, 128));
    const QTextCharFormat name = FormatAt(w, "alice:");
    EXPECT_TRUE(name.font().bold());
    EXPECT_EQ(name.foreground().color(), QColor(0, 0, 0));
    const QTextCharFormat body = FormatAt(w, "hello");
    EXPECT_EQ(body.font().family(), "Courier New");
    EXPECT_TRUE(body.font().bold());
    EXPECT_EQ(body.foreground().color(), QColor(255, 0, 0));
    EXPECT_EQ(body.font().pixelSize(), 15);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->isVisible(); }));

    // Time stamps off: no stamp; the same window takes the next message.
    settings.timestamp = false;
    Incoming("alice", "again", {9, 0, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(ims->Find("alice"), w);
    EXPECT_EQ(Text(w), "[1:07 pm] alice: hello\nalice: again\n");
    EXPECT_EQ(FormatAt(w, "again").font().family(), "defaultswitch");
    // Another spelling is another user's window.
    Incoming("Alice", "x");
    EXPECT_NE(ims->Find("Alice"), w);
}

TEST_F(Conversation, MarkupArrivesAsTextAndOnlyWebLinksOpen) {
    Incoming("alice", "<b>x</b> <img src=\"file:///etc/passwd\"> see www.example.org or file:///bin/sh");
    CIMConversationDlg* w = ims->Find("alice");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(Text(w).contains("<b>x</b> <img src=\"file:///etc/passwd\">"));
    EXPECT_FALSE(FormatAt(w, "<b>").font().bold() && FormatAt(w, "x</b>").font().bold() &&
                 FormatAt(w, "x</b>").fontWeight() > QFont::Bold)
        << "no markup applied";
    const QTextCharFormat link = FormatAt(w, "www.example.org");
    EXPECT_TRUE(link.isAnchor());
    EXPECT_EQ(link.anchorHref(), "www.example.org");
    EXPECT_FALSE(FormatAt(w, "file:///bin").isAnchor());

    w->OpenLink(link.anchorHref());
    w->OpenLink("file:///bin/sh");
    w->OpenLink("/usr/bin/xterm");
    ASSERT_EQ(dialogs.urls.size(), 1);
    EXPECT_EQ(dialogs.urls[0], QUrl("http://www.example.org"));
}

TEST_F(Conversation, AlertOnlyWhenBehindAndSwitchedOn) {
    inFront = true;
    Incoming("alice", "one");
    EXPECT_EQ(alerts, 0) << "a window in front: no flash, no blink";
    inFront = false;
    Incoming("alice", "two");
    EXPECT_EQ(alerts, 1);
    settings.alertMessages = false;
    Incoming("alice", "three");
    EXPECT_EQ(alerts, 1) << "alerts off: nothing even behind";
}

TEST_F(Conversation, OfflineNoticeGoesOnlyIntoAnExistingWindow) {
    Offline("carol");
    EXPECT_EQ(ims->Find("carol"), nullptr);
    CIMConversationDlg* w = ims->Open("carol", true);
    Offline("carol");
    EXPECT_EQ(Text(w), "carol is currently offline\n");
    const QTextCharFormat f = FormatAt(w, "carol is");
    EXPECT_EQ(f.font().family(), "Arial");
    EXPECT_FALSE(f.font().bold());
}

TEST_F(Conversation, InputTakesAtMost600CharactersTypedOrPasted) {
    CIMConversationDlg* w = ims->Open("alice", true);
    CIMInputEdit* input = w->Input();
    input->setFocus();
    QTest::keyClicks(input, QString(600, 'a'));
    EXPECT_EQ(input->toPlainText().size(), 600);
    QTest::keyClicks(input, "b");
    EXPECT_EQ(input->toPlainText(), QString(600, 'a')) << "the 601st character is refused";

    input->clear();
    QApplication::clipboard()->setText(QString(700, 'p'));
    input->paste();
    EXPECT_EQ(input->toPlainText(), QString(600, 'p'));
    input->clear();
    QTest::keyClicks(input, "xy");
    input->moveCursor(QTextCursor::Start);
    QApplication::clipboard()->setText(QString(599, 'q'));
    input->paste();
    EXPECT_EQ(input->toPlainText(), QString(598, 'q') + "xy") << "the end of the paste goes";
}

TEST_F(Conversation, SendingGoesOutInPiecesAndShowsEachAsOwnLine) {
    settings.fontIndex = 3;
    settings.green = 200;
    settings.italic = true;
    settings.timestamp = false;
    CIMConversationDlg* w = ims->Open("alice", true);
    // Empty: refused.
    QTest::keyClick(w->Input(), Qt::Key_Return);
    EXPECT_EQ(dialogs.Last().text, "Please type a message to send");
    EXPECT_TRUE(sent.empty());

    QTest::keyClicks(w->Input(), "hi");
    QTest::keyClick(w->Input(), Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClicks(w->Input(), "there");
    QTest::keyClick(w->Input(), Qt::Key_Return);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].recipient, "alice");
    const int32_t format[8] = {3, 0, 200, 0, 0, 1, 0, 1};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(sent[0].ints[i], format[i]) << i;
    EXPECT_EQ(sent[0].text, "hi\r\nthere");
    EXPECT_EQ(Text(w), "bob: hi\nthere\n");
    EXPECT_TRUE(w->Input()->toPlainText().isEmpty());

    // 600 three-byte characters: 1,800 bytes, three messages, three lines.
    sent.clear();
    w->Input()->setPlainText(QString(600, QChar(0x20AC)));
    w->SendButton()->click();
    ASSERT_EQ(sent.size(), 3u);
    for (const SentIm& s : sent) EXPECT_EQ(s.text.size(), 600u);
    EXPECT_EQ(Text(w).count("bob: "), 4);
}

TEST_F(Conversation, ShownAtTheOffsetCentreAndLeftWhereItIsWhenVisible) {
    CIMConversationDlg* w = ims->Open("alice", true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return w->isVisible(); }));
    const QPoint centre = ui::CSkinnedDlg::CentredTopLeft(w->ScreenRect(), w->OuterSize());
    // The frame is known only once shown: the centre may move by its width.
    const QPoint off = w->pos() - centre;
    EXPECT_NEAR(off.x(), -40, 4);
    EXPECT_NEAR(off.y(), -40, 4);
    EXPECT_EQ(w->focusWidget(), w->Input());
    w->move(10, 10);
    Incoming("alice", "hello");
    EXPECT_EQ(w->pos(), QPoint(10, 10)) << "an incoming message leaves a visible window";
    ims->Open("alice", true);
    EXPECT_EQ(w->pos(), QPoint(10, 10)) << "Send IM raises it without moving it";
    EXPECT_FALSE(w->ShowPending());
}

TEST_F(Conversation, AnotherAccountsLoginEmptiesTheWindows) {
    ims->LoggedIn("bob");
    Incoming("alice", "secret");
    CIMConversationDlg* w = ims->Find("alice");
    ims->LoggedIn("BOB");
    EXPECT_TRUE(Text(w).contains("secret")) << "the same account keeps its conversations";
    ims->LoggedIn("carol");
    EXPECT_TRUE(Text(w).isEmpty());

    // A message that came in the same turn as the other login goes too.
    Incoming("alice", "unseen");
    ims->LoggedIn("dave");
    EXPECT_TRUE(Text(w).isEmpty());
}

TEST_F(Conversation, ABurstReachesTheWindowInOrderWithoutBeingAskedFor) {
    settings.timestamp = false;
    Incoming("alice", "one");
    QTextBrowser* view = ims->Find("alice")->Conversation();
    for (int i = 2; i <= 50; ++i) Incoming("alice", QString::number(i).toStdString());
    QString expected = "alice: one\n";
    for (int i = 2; i <= 50; ++i) expected += QStringLiteral("alice: %1\n").arg(i);
    // Laid out a frame at a time, but there without anyone reading it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return view->toPlainText() == expected; }, 2000))
        << view->toPlainText().toStdString();
}

}  // namespace
}  // namespace contacts
