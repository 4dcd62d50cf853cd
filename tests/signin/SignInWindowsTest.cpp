// The sign-in windows on their own: what they check, show, store and hand on.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/AppHarness.h"
#include "signin/SignIn.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/ConnectDlg.h"
#include "signin/CreateAccountDlg.h"
#include "signin/CreatingAccountDlg.h"
#include "signin/LoginDlg.h"
#include "signin/LoginFile.h"
#include "shell/MainDlg.h"
#include "signin/NumbersFile.h"
#include "net/Protocol.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"
#include "ui/ImageToggle.h"

using apptest::AppHarness;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::ScriptedDialogs;
using testsupport::SpinUntil;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

void Type(QWidget* w, const QString& text) {
    w->setFocus();
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void MoveMouse(QWidget* w, QPoint p) {
    QMouseEvent e(QEvent::MouseMove, QPointF(p), w->mapToGlobal(QPointF(p)), Qt::NoButton,
                  Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

// A skin with the sign-in windows' pictures.
ui::Skin SignInSkin() {
    ui::Skin skin;
    signin::CSignIn::RegisterPictures(skin);
    return skin;
}

struct ConnectFixture {
    TempDir dir;
    ScriptedDialogs dialogs;
    ui::Skin skin = SignInSkin();
    signin::CConnectDlg window{skin, dialogs, net::Timings::Fast(), dir.file("numbers.dat")};
    std::vector<std::string> lookups;
    ConnectFixture() {
        QObject::connect(&window, &signin::CConnectDlg::lookupRequested,
                         [this](const std::string& d) { lookups.push_back(d); });
        window.LoadNumbers();
    }
    void Try(const QString& text) {
        window.NumberField()->setEditText(text);
        window.NextButton()->click();
    }
};

}  // namespace

TEST(ConnectWindow, NumberTextsAreCheckedBeforeAnyLookup) {
    ConnectFixture f;
    f.Try("123-4567");
    f.Try("123 4567");
    f.Try("7654321z");
    EXPECT_TRUE(f.dialogs.messages.isEmpty());
    EXPECT_EQ(f.lookups, (std::vector<std::string>{"1234567", "1234567", "7654321"}));

    f.lookups.clear();
    f.Try("123  4567");
    EXPECT_EQ(f.dialogs.Last().text, "Please enter no more than 8 characters.");
    f.Try("1234567abc");
    EXPECT_EQ(f.dialogs.Last().text, "Please enter no more than 8 characters.");
    f.Try("12345678");
    EXPECT_EQ(f.dialogs.Last().text, "That is not a valid zorvic number");
    EXPECT_EQ(f.dialogs.Last().title, "Error");
    EXPECT_EQ(f.dialogs.Last().icon, ui::MsgIcon::Error);
    f.Try("123456");
    EXPECT_EQ(f.dialogs.Last().text, "That is not a valid zorvic number");
    EXPECT_EQ(f.dialogs.messages.size(), 4);
    EXPECT_TRUE(f.lookups.empty());

    // Enter in the field checks as NEXT does.
    f.window.NumberField()->setEditText("765.4321");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(f.window.NumberField()->lineEdit(), &enter);
    EXPECT_EQ(f.lookups, std::vector<std::string>{"7654321"});
}

TEST(ConnectWindow, RemembersNumbersSortedAcrossRuns) {
    TempDir dir;
    ScriptedDialogs dialogs;
    ui::Skin skin = SignInSkin();
    const auto path = dir.file("numbers.dat");
    {
        signin::CConnectDlg w(skin, dialogs, net::Timings::Fast(), path);
        w.LoadNumbers();  // no file: empty field and list
        EXPECT_EQ(w.NumberField()->count(), 0);
        EXPECT_TRUE(w.NumberField()->currentText().isEmpty());
        w.RecordNumber("7654321");
        w.RecordNumber("1234567");  // a second lookup in the same run keeps the first
    }
    std::string bytes = ReadFile(path);
    signin::NumbersList list;
    ASSERT_TRUE(signin::ReadNumbersFile(path, list));
    EXPECT_EQ(list.current, "1234567");
    EXPECT_EQ(list.entries, std::vector<std::string>{"7654321"});

    signin::CConnectDlg again(skin, dialogs, net::Timings::Fast(), path);
    again.LoadNumbers();
    EXPECT_EQ(again.NumberField()->currentText(), "1234567");
    EXPECT_EQ(again.ListEntries(), (std::vector<std::string>{"1234567", "7654321"}));
    // Looked up again: written once, the other kept.
    again.RecordNumber("7654321");
    ASSERT_TRUE(signin::ReadNumbersFile(path, list));
    EXPECT_EQ(list.current, "7654321");
    EXPECT_EQ(list.entries, std::vector<std::string>{"1234567"});
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST(ConnectWindow, LinkRepaintsOnlyWhenThePointerCrossesItsBorder) {
    ConnectFixture f;
    f.window.resize(326, 155);
    MoveMouse(&f.window, {10, 10});
    MoveMouse(&f.window, {201, 127});
    EXPECT_EQ(f.window.LinkRepaints(), 0);
    MoveMouse(&f.window, {202, 127});  // the corner is inside
    EXPECT_TRUE(f.window.LinkHovered());
    MoveMouse(&f.window, {260, 135});
    MoveMouse(&f.window, {320, 145});
    EXPECT_EQ(f.window.LinkRepaints(), 1);
    MoveMouse(&f.window, {321, 145});
    EXPECT_FALSE(f.window.LinkHovered());
    MoveMouse(&f.window, {300, 146});
    EXPECT_EQ(f.window.LinkRepaints(), 2);

    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(250, 130), QPointF(250, 130),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&f.window, &release);
    ASSERT_EQ(f.dialogs.urls.size(), 1);
    EXPECT_EQ(f.dialogs.urls[0].toString(), QStringLiteral(PALINDOR_HOME_URL));
}

TEST(LoginWindow, FieldLimitsChecksAndTheRememberedLogin) {
    AppHarness h;
    signin::CLoginDlg& login = h.state->LoginWindow();
    std::vector<std::pair<std::string, std::string>> logins;
    QObject::connect(
        &login, &signin::CLoginDlg::loginRequested,
        [&](const std::string& u, const std::string& p) { logins.emplace_back(u, p); });

    Type(login.UsernameField(), "abcdefghijkl");
    Type(login.PasswordField(), "0123456789abcdefg");
    EXPECT_EQ(login.UsernameField()->text(), "abcdefghijk");
    EXPECT_EQ(login.PasswordField()->text(), "0123456789abcde");

    // Box on: m.dat holds the login, scrambled.
    login.RememberBox()->SetValue(true);
    ASSERT_TRUE(login.Confirm());
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].first, "abcdefghijk");
    signin::RememberedLogin stored;
    ASSERT_TRUE(signin::ReadLoginFile(h.DataFile("m.dat"), stored));
    EXPECT_EQ(stored.password, "0123456789abcde");

    // A new run fills the fields from it and turns the box on.
    login.UsernameField()->clear();
    login.RememberBox()->SetValue(false);
    login.LoadRememberedLogin();
    EXPECT_EQ(login.UsernameField()->text(), "abcdefghijk");
    EXPECT_TRUE(login.RememberBox()->Value());

    // Box off: the file goes.
    login.RememberBox()->SetValue(false);
    ASSERT_TRUE(login.Confirm());
    EXPECT_FALSE(FileExists(h.DataFile("m.dat")));

    login.PasswordField()->clear();
    EXPECT_FALSE(login.Confirm());
    EXPECT_EQ(h.dialogs.Last().text, "Please enter a password");
    EXPECT_EQ(h.dialogs.Last().title, "Error");
    login.UsernameField()->clear();
    EXPECT_FALSE(login.Confirm());
    EXPECT_EQ(h.dialogs.Last().text, "Please enter a username");
    EXPECT_EQ(logins.size(), 2u);
}

TEST(LoginWindow, LayoutAndFocusOrder) {
    AppHarness h;
    signin::CLoginDlg& login = h.state->LoginWindow();
    EXPECT_EQ(login.size(), QSize(336, 213));
    EXPECT_EQ(login.windowTitle(), "Login");
    EXPECT_EQ(login.RememberBox()->geometry(), QRect(QPoint(69, 113), QSize(214, 13)));
    // The hidden proxy sits between the password field and OK.
    EXPECT_EQ(login.PasswordField()->nextInFocusChain(), login.RememberProxy());
    // (Labels in the chain take no focus.)
    QWidget* next = login.RememberProxy()->nextInFocusChain();
    while (next != nullptr && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    EXPECT_EQ(next, login.OkButton());
    EXPECT_EQ(h.state->AuthenticatingWindow().size(), QSize(334, 208));
    EXPECT_EQ(h.state->AuthenticatingWindow().windowTitle(), "Authenticating...");
    EXPECT_EQ(h.state->CreateAccountWindow().size(), QSize(334, 335));
    EXPECT_EQ(h.state->CreateAccountWindow().windowTitle(), "Create Account");
    EXPECT_EQ(h.state->CreatingAccountWindow().size(), QSize(360, 208));
    EXPECT_EQ(h.state->CreatingAccountWindow().windowTitle(), "Creating Account");
    EXPECT_EQ(h.state->ConnectWindow().size(), QSize(326, 155));
    EXPECT_EQ(h.state->MainWindow().size(), QSize(654, 349));
    // The main window is a window of its own, not one of the network
    // selection's.
    EXPECT_EQ(h.state->MainWindow().parentWidget(), nullptr);
    // No missing pictures were reported.
    EXPECT_TRUE(h.dialogs.messages.isEmpty()) << h.dialogs.Last().text.toStdString();

    login.SetCreatedAccount("newuser");
    login.ShowLogin();
    ASSERT_TRUE(SpinUntil([&] { return login.isVisible(); }));
    EXPECT_EQ(login.UsernameField()->text(), "newuser");
    EXPECT_TRUE(login.PasswordField()->text().isEmpty());
    EXPECT_TRUE(login.FocusPassword());
    EXPECT_EQ(login.focusWidget(), login.PasswordField());
}

TEST(MainWindow, PlacementAndTitle) {
    EXPECT_EQ(shell::CzorvicDlg::Placement(QRect(0, 0, 1280, 800)), QPoint(313, 210));
    EXPECT_EQ(shell::CzorvicDlg::TitleFor("1234567"), "Connected to 123.4567 - Palindor");
}

TEST(CreationForm, CodeFieldFollowsTheNetworkAndAnEarlierCodeIsNotSent) {
    AppHarness h;
    auto& form = h.state->CreateAccountWindow();
    h.state->Client().SetNumber("7654321");

    h.state->Client().SetNetwork("127.0.0.1", 2);
    h.state->LoginWindow().CreateAccountButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
    EXPECT_TRUE(form.CodeField()->isEnabled());
    form.FullNameField()->setText("Ann");
    form.UsernameField()->setText("ann");
    form.PasswordField()->setText("pw");
    form.PasswordAgainField()->setText("pw");
    EXPECT_FALSE(form.Confirm());
    EXPECT_EQ(h.dialogs.Last().text,
              "This network requires that you type its account creation code");
    form.CodeField()->setText("welcome");
    form.hide();

    // Another network without the flag: the typed code stays in the
    // disabled field but "none" goes out.
    h.state->Client().SetNetwork("127.0.0.1", 1);
    h.state->LoginWindow().CreateAccountButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
    EXPECT_FALSE(form.CodeField()->isEnabled());
    ASSERT_TRUE(form.Confirm());
    EXPECT_EQ(h.state->Client().AccountCreation().code, "none");
    EXPECT_EQ(h.state->Client().AccountCreation().number, "7654321");
    EXPECT_EQ(h.state->Client().AccountCreation().username, "ann");
    EXPECT_FALSE(form.isVisible());

    // Cancel while the request waits: back to the form, nothing sent.
    auto& creating = h.state->CreatingAccountWindow();
    EXPECT_TRUE(creating.InProgress());
    EXPECT_TRUE(creating.TimerPending());
    EXPECT_EQ(creating.Button()->text(), "Cancel");
    creating.Button()->click();
    EXPECT_FALSE(h.state->SignIn().CreationTimer().isActive());
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
    EXPECT_EQ(h.state->Client().NetworkServer().State(), net::kStateIdle);
}

TEST(ProgressWindows, ReadFromTheAnimationDownToTheResultAndTheButton) {
    AppHarness h;
    const ui::Skin& skin = h.state->Skin();
    const std::pair<signin::CProgressResultDlg*, QString> windows[] = {
        {&h.state->AuthenticatingWindow(), QStringLiteral("IDB_AUTHENTICATING0")},
        {&h.state->CreatingAccountWindow(), QStringLiteral("IDB_CREATINGACCOUNT0")},
    };
    for (const auto& [w, picture] : windows) {
        SCOPED_TRACE(w->windowTitle().toStdString());
        const QRect animation = w->Animation()->geometry();
        const QRect button = w->Button()->geometry();
        const int resultBottom =
            signin::CProgressResultDlg::kPictureTop + skin.SizeOf(picture).height();
        // The animation stays above the banner, the button below the result
        // picture, inside the window at its bottom right.
        EXPECT_GT(animation.top(), 0);
        EXPECT_LE(animation.bottom(), signin::CProgressResultDlg::kBannerPos.y());
        EXPECT_GE(button.top(), resultBottom);
        EXPECT_LT(button.bottom(), w->height());
        EXPECT_GT(button.left(), w->width() / 2);
        EXPECT_LT(button.right(), w->width());
    }
}

TEST(CreationForm, AppearsAsSoonAsItsPauseEnds) {
    // The pause the caller gives is the whole wait: no second show delay.
    ScriptedDialogs dialogs;
    ui::Skin skin = SignInSkin();
    net::Timings timings = net::Timings::Fast();
    timings.showDelay = std::chrono::milliseconds(60000);
    signin::CCreateAccountDlg form(skin, dialogs, timings);
    form.ShowForm(false, std::chrono::milliseconds(1));
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible() || form.ShowPending(); }));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.focusWidget(), form.FullNameField());
}

TEST(CreatingAccountWindow, ResponsesMapToTheirPictures) {
    const int expected[] = {9, 8, 7, 6, 10, 5, 4, 3, 2, 11, 12};
    for (int code = 0; code <= 10; ++code) {
        EXPECT_EQ(signin::CCreatingAccountDlg::PictureForResponse(code), expected[code]) << code;
    }
    EXPECT_EQ(signin::CCreatingAccountDlg::PictureForResponse(11), -1);

    AppHarness h;
    auto& w = h.state->CreatingAccountWindow();
    w.SetInProgress();
    EXPECT_FALSE(w.ShowResponse(net::account::kUsernameTaken));
    EXPECT_EQ(w.Picture(), 6);
    EXPECT_EQ(w.Button()->text(), "OK");
    EXPECT_FALSE(w.InProgress());
    w.SetInProgress();
    EXPECT_TRUE(w.ShowResponse(net::account::kCreated));
    EXPECT_TRUE(w.Succeeded());

    // Enter does nothing in this window.
    w.show();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    EXPECT_TRUE(w.isVisible());
}

TEST(LoginStart, CancelDuringTheWaitMakesNoConnection) {
    // A listening socket that must never see a connection.
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    AppHarness h(network.Endpoints(), [](app::AppState::Options& o) {
        o.timings.loginDelay = std::chrono::milliseconds(60000);
    });
    h.ConfirmLogin("alice", "alicepass");
    auto& login = h.state->LoginWindow();

    auto& auth = h.state->AuthenticatingWindow();
    ASSERT_TRUE(SpinUntil([&] { return auth.isVisible(); }));
    EXPECT_FALSE(login.isVisible());
    EXPECT_EQ(auth.Picture(), signin::CAuthenticatingDlg::kInProgress);
    EXPECT_EQ(auth.Button()->text(), "Cancel");
    EXPECT_TRUE(auth.Animating());
    EXPECT_TRUE(h.state->SignIn().LoginTimer().isActive());

    auth.Button()->click();
    EXPECT_FALSE(h.state->SignIn().LoginTimer().isActive());
    EXPECT_FALSE(auth.isVisible());
    ASSERT_TRUE(SpinUntil([&] { return login.isVisible(); }));
    EXPECT_EQ(h.state->Client().NetworkServer().State(), net::kStateIdle);
    EXPECT_EQ(h.state->Client().FileServer().State(), net::kStateIdle);
    EXPECT_TRUE(h.dialogs.messages.isEmpty());
}

TEST(LoginEnd, ResultsAndTheUpdateQuestion) {
    AppHarness h;
    auto& auth = h.state->AuthenticatingWindow();

    // No login in progress (an account-creation connection ending): nothing changes.
    h.state->LoginEnded(net::LoginEnd::UpdateRequired);
    EXPECT_TRUE(h.dialogs.messages.isEmpty());

    auth.SetInProgress();
    auth.SetTimerPending(false);
    h.state->LoginEnded(net::LoginEnd::Refused);
    EXPECT_EQ(auth.Picture(), signin::CAuthenticatingDlg::kRefused);
    EXPECT_TRUE(h.dialogs.messages.isEmpty());

    auth.SetInProgress();
    h.dialogs.answers.push_back(ui::MsgAnswer::Yes);
    h.state->LoginEnded(net::LoginEnd::UpdateRequired);
    EXPECT_EQ(auth.Picture(), signin::CAuthenticatingDlg::kClosedByServer);
    EXPECT_FALSE(auth.InProgress());
    EXPECT_FALSE(auth.TimerPending());
    EXPECT_EQ(auth.Button()->text(), "OK");
    ASSERT_EQ(h.dialogs.messages.size(), 1);
    const auto& q = h.dialogs.Last();
    EXPECT_EQ(q.title, "Update Required");
    EXPECT_EQ(q.icon, ui::MsgIcon::Question);
    EXPECT_EQ(q.buttons, ui::MsgButtons::YesNo);
    EXPECT_EQ(q.text,
              "It appears that your version of the Palindor client software is out-of-date.\r\n"
              "Do you wish to visit the Download page and update now?\r\n"
              "Clicking \"Yes\" will take you to " +
                  signin::DownloadUrl());
    EXPECT_TRUE(signin::DownloadUrl().endsWith("download.htm"));
    ASSERT_EQ(h.dialogs.urls.size(), 1);
    EXPECT_EQ(h.dialogs.urls[0].toString(), signin::DownloadUrl());

    // No: nothing is opened.
    auth.SetInProgress();
    h.dialogs.answers.push_back(ui::MsgAnswer::No);
    h.state->LoginEnded(net::LoginEnd::UpdateRequired);
    EXPECT_EQ(h.dialogs.urls.size(), 1);
}
