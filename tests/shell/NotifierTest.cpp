// What a desktop notification shows of a text, when a room line names the
// user, and the tray's notifier: nothing before the icon exists, and a click
// runs the latest notification's action only.

#include <gtest/gtest.h>

#include <QSystemTrayIcon>

#include "net/Timings.h"
#include "shell/MainDlg.h"
#include "shell/Notifier.h"
#include "shell/TrayIcon.h"
#include "shell/TrayNotifier.h"
#include "ui/Skin.h"

namespace shell {
namespace {

TEST(NotificationText, ShortTextsPassCutOnesEndInDotsAndPairsStayWhole) {
    EXPECT_EQ(NotificationText("hello", 100, true), "hello");
    const QString hundred(100, u'x');
    EXPECT_EQ(NotificationText(hundred, 100, true), hundred);
    EXPECT_EQ(NotificationText(hundred + "y", 100, true), hundred + "...");
    // A character outside the basic plane counts once and is never split.
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    EXPECT_EQ(NotificationText("ab" + smile + "cd", 3, true), "ab" + smile + "...");
    EXPECT_EQ(NotificationText("ab" + smile, 3, true), "ab" + smile);
    EXPECT_EQ(NotificationText("", 100, true), "");
}

TEST(NotificationText, OneLineJoinsLinesOthersKeepThemAndMarkupCannotForm) {
    EXPECT_EQ(NotificationText("  first\r\n\r\nsecond \t third  ", 100, true),
              "first second third");
    EXPECT_EQ(NotificationText("first\r\nsecond", 100, false), "first\nsecond");
    // Angle brackets become look-alikes; the rest stays as typed.
    EXPECT_EQ(NotificationText("<img src=x> & <b>bold</b>", 100, true),
              QString::fromUtf8("\xE2\x80\xB9img src=x\xE2\x80\xBA & "
                                "\xE2\x80\xB9" "b\xE2\x80\xBA" "bold\xE2\x80\xB9/b\xE2\x80\xBA"));
    // Control characters are dropped.
    EXPECT_EQ(NotificationText(QString("a") + QChar(7) + "b", 100, false), "ab");
}

TEST(MentionsName, WholeWordsInAnyCaseOnly) {
    EXPECT_TRUE(MentionsName("hi alice", "alice"));
    EXPECT_TRUE(MentionsName("ALICE, are you there?", "alice"));
    EXPECT_TRUE(MentionsName("@Alice: look", "alice"));
    EXPECT_TRUE(MentionsName("alice", "alice"));
    EXPECT_TRUE(MentionsName("ask alice.", "alice"));
    EXPECT_FALSE(MentionsName("malice aforethought", "alice"));
    EXPECT_FALSE(MentionsName("alice_b said so", "alice"));
    EXPECT_FALSE(MentionsName("alice2 is here", "alice"));
    // A later occurrence counts when the first is inside a word.
    EXPECT_TRUE(MentionsName("malice and alice", "alice"));
    EXPECT_FALSE(MentionsName("anything", ""));
    EXPECT_FALSE(MentionsName("", "alice"));
}

TEST(TrayNotifier, NothingBeforeTheIconThenTheLatestActionRunsOnAClick) {
    ui::Skin skin(1.0);
    CzorvicDlg::RegisterPictures(skin);
    CTrayIcon tray(skin, net::Timings::Fast());
    CTrayNotifier notifier(tray);
    int first = 0, second = 0;
    notifier.Notify(NotificationKind::InstantMessage, "t", "b", [&] { ++first; });
    notifier.Clicked();
    EXPECT_EQ(first, 0) << "no icon yet: nothing shown, nothing kept";

    ASSERT_TRUE(tray.Add(kStatusOnline));
    notifier.Notify(NotificationKind::InstantMessage, "t", "b", [&] { ++first; });
    notifier.Notify(NotificationKind::NewMail, "New mail", "You have new mail.", [&] { ++second; });
    emit tray.Icon()->messageClicked();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 1);
    // An action that raises another notification replaces itself safely.
    notifier.Notify(NotificationKind::RoomMention, "t", "b", [&] {
        ++first;
        notifier.Notify(NotificationKind::RoomMention, "t", "b", [&] { ++second; });
    });
    emit tray.Icon()->messageClicked();
    emit tray.Icon()->messageClicked();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 2);
}

}  // namespace
}  // namespace shell
