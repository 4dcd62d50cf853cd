// The sign-in windows as a keyboard or screen-reader user meets them: what
// Enter and Tab do, what assistive tools are told, what shows that a lookup
// is running, and what a late answer may change.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>

#include "app/AppHarness.h"
#include "net/Protocol.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/ConnectDlg.h"
#include "signin/CreateAccountDlg.h"
#include "signin/CreatingAccountDlg.h"
#include "signin/LoginDlg.h"
#include "signin/SignIn.h"
#include "support/qt/LocalNetworkFixture.h"
#include "tests/net/RoutingTestSupport.h"
#include "ui/FixedButton.h"
#include "ui/ImageToggle.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

namespace {

// Shows `w` at once and makes it the active window, as a user's click would.
bool ShowActive(ui::CSkinnedDlg& w) {
    w.ShowInFrontNow();
    QApplication::setActiveWindow(&w);
    return QTest::qWaitForWindowActive(&w, 2000);
}

// Presses Tab (or Shift+Tab) where the focus is, `count` times, and lists
// where the focus went.
std::vector<QWidget*> TabThrough(int count, bool back = false) {
    std::vector<QWidget*> visited;
    for (int i = 0; i < count; ++i) {
        QWidget* at = QApplication::focusWidget();
        if (at == nullptr) break;
        QTest::keyClick(at, back ? Qt::Key_Backtab : Qt::Key_Tab,
                        back ? Qt::ShiftModifier : Qt::NoModifier);
        visited.push_back(QApplication::focusWidget());
    }
    return visited;
}

struct LoginAttempts {
    explicit LoginAttempts(signin::CLoginDlg& login) {
        QObject::connect(&login, &signin::CLoginDlg::loginRequested,
                         [this](const std::string&, const std::string&) { ++logins; });
        QObject::connect(&login, &signin::CLoginDlg::backRequested, [this] { ++backs; });
        QObject::connect(&login, &signin::CLoginDlg::createAccountRequested,
                         [this] { ++creations; });
    }
    int logins = 0;
    int backs = 0;
    int creations = 0;
};

}  // namespace

TEST(SignInKeyboard, EnterPressesTheFocusedButtonOfTheLoginWindow) {
    AppHarness h;
    signin::CLoginDlg& login = h.state->LoginWindow();
    login.UsernameField()->setText("alice");
    login.PasswordField()->setText("secret");
    LoginAttempts seen(login);
    ASSERT_TRUE(ShowActive(login));

    // Enter on Cancel goes back; it must not start a login.
    login.CancelButton()->setFocus();
    QTest::keyClick(login.CancelButton(), Qt::Key_Return);
    EXPECT_EQ(seen.backs, 1);
    EXPECT_EQ(seen.logins, 0);

    ASSERT_TRUE(ShowActive(login));
    login.CreateAccountButton()->setFocus();
    QTest::keyClick(login.CreateAccountButton(), Qt::Key_Enter);
    EXPECT_EQ(seen.creations, 1);
    EXPECT_EQ(seen.logins, 0);

    // From a field, Enter is still OK's.
    ASSERT_TRUE(ShowActive(login));
    login.PasswordField()->setFocus();
    QTest::keyClick(login.PasswordField(), Qt::Key_Return);
    EXPECT_EQ(seen.logins, 1);
    EXPECT_EQ(seen.backs, 1);
    EXPECT_EQ(seen.creations, 1);
}

TEST(SignInKeyboard, EnterOnCancelAbandonsTheAccountForm) {
    AppHarness h;
    signin::CCreateAccountDlg& form = h.state->CreateAccountWindow();
    int requested = 0;
    int cancelled = 0;
    QObject::connect(&form, &signin::CCreateAccountDlg::creationRequested,
                     [&](const signin::CreationForm&) { ++requested; });
    QObject::connect(&form, &signin::CCreateAccountDlg::cancelled, [&] { ++cancelled; });
    form.FullNameField()->setText("Alice");
    form.UsernameField()->setText("alice");
    form.PasswordField()->setText("secret");
    form.PasswordAgainField()->setText("secret");
    ASSERT_TRUE(ShowActive(form));
    form.CancelButton()->setFocus();
    QTest::keyClick(form.CancelButton(), Qt::Key_Return);
    EXPECT_EQ(requested, 0);
    EXPECT_EQ(cancelled, 1);
    EXPECT_FALSE(form.isVisible());
}

TEST(SignInKeyboard, TabFollowsReadingOrderInEverySignInWindow) {
    AppHarness h;
    signin::CLoginDlg& login = h.state->LoginWindow();
    ASSERT_TRUE(ShowActive(login));
    login.UsernameField()->setFocus();
    const std::vector<QWidget*> forward{login.PasswordField(), login.RememberProxy(),
                                        login.OkButton(),      login.CancelButton(),
                                        login.CreateAccountButton(), login.UsernameField()};
    EXPECT_EQ(TabThrough(6), forward);
    // Each button is left of the next, as they are reached.
    EXPECT_LT(login.OkButton()->x(), login.CancelButton()->x());
    EXPECT_LT(login.CancelButton()->x(), login.CreateAccountButton()->x());
    login.OkButton()->setFocus();
    EXPECT_EQ(TabThrough(3, true), (std::vector<QWidget*>{login.RememberProxy(),
                                                          login.PasswordField(),
                                                          login.UsernameField()}));

    // Space on the proxy flips the box; the proxy keeps the focus.
    const bool before = login.RememberBox()->Value();
    login.RememberProxy()->setFocus();
    QTest::keyClick(login.RememberProxy(), Qt::Key_Space);
    EXPECT_NE(login.RememberBox()->Value(), before);
    EXPECT_EQ(QApplication::focusWidget(), login.RememberProxy());

    signin::CCreateAccountDlg& form = h.state->CreateAccountWindow();
    form.SetCodeRequired(true);
    ASSERT_TRUE(ShowActive(form));
    form.FullNameField()->setFocus();
    EXPECT_EQ(TabThrough(6),
              (std::vector<QWidget*>{form.UsernameField(), form.PasswordField(),
                                     form.PasswordAgainField(), form.CodeField(),
                                     form.OkButton(), form.CancelButton()}));
    // A disabled code field is skipped.
    form.SetCodeRequired(false);
    form.PasswordAgainField()->setFocus();
    EXPECT_EQ(TabThrough(1), std::vector<QWidget*>{form.OkButton()});

    signin::CConnectDlg& connect = h.state->ConnectWindow();
    ASSERT_TRUE(ShowActive(connect));
    connect.NumberField()->setFocus();
    EXPECT_EQ(TabThrough(2), (std::vector<QWidget*>{connect.NextButton(), connect.LinkFocus()}));
    // Enter on the focused link opens the home page instead of a lookup.
    std::vector<std::string> lookups;
    QObject::connect(&connect, &signin::CConnectDlg::lookupRequested,
                     [&](const std::string& d) { lookups.push_back(d); });
    connect.NumberField()->setEditText("1234567");
    QTest::keyClick(connect.LinkFocus(), Qt::Key_Return);
    EXPECT_EQ(h.dialogs.urls.size(), 1);
    EXPECT_TRUE(lookups.empty());
}

TEST(SignInKeyboard, EveryButtonHasAMnemonicOrIsTheDefault) {
    AppHarness h;
    const QList<QWidget*> windows{&h.state->LoginWindow(), &h.state->CreateAccountWindow(),
                                  &h.state->AuthenticatingWindow(),
                                  &h.state->CreatingAccountWindow()};
    for (QWidget* w : windows) {
        for (QPushButton* b : w->findChildren<QPushButton*>()) {
            const bool mnemonic = !b->shortcut().isEmpty();
            EXPECT_TRUE(mnemonic || b->isDefault())
                << w->windowTitle().toStdString() << ": " << b->text().toStdString();
        }
    }
    // The progress windows keep their words exactly; the key is set apart.
    auto& auth = h.state->AuthenticatingWindow();
    auth.ShowResult(signin::CAuthenticatingDlg::kRefused);
    EXPECT_EQ(auth.Button()->text(), "OK");
    EXPECT_EQ(auth.Button()->shortcut(), QKeySequence(Qt::ALT | Qt::Key_O));
    auth.SetInProgress();
    EXPECT_EQ(auth.Button()->text(), "Cancel");
    EXPECT_EQ(auth.Button()->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
}

TEST(SignInAccessibility, RememberBoxIsACheckBoxNamedByItsLabel) {
    AppHarness h;
    signin::CLoginDlg& login = h.state->LoginWindow();
    ASSERT_TRUE(ShowActive(login));
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(login.RememberProxy());
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::CheckBox);
    EXPECT_EQ(a->text(QAccessible::Name), "Remember my login");
    login.RememberBox()->SetValue(true);
    EXPECT_TRUE(a->state().checked);
    login.RememberBox()->SetValue(false);
    EXPECT_FALSE(a->state().checked);
    // The label's mnemonic reaches the box.
    auto labels = login.findChildren<QLabel*>();
    const auto it = std::find_if(labels.begin(), labels.end(),
                                 [](QLabel* l) { return l->text() == "&Remember my login"; });
    ASSERT_NE(it, labels.end());
    EXPECT_EQ((*it)->buddy(), login.RememberProxy());

    // A disabled box leaves the Tab order: password goes straight to OK.
    login.RememberBox()->SetToggleEnabled(false);
    login.PasswordField()->setFocus();
    EXPECT_EQ(TabThrough(1), std::vector<QWidget*>{login.OkButton()});
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(login.RememberProxy())->state().disabled);
    login.RememberBox()->SetToggleEnabled(true);
    login.PasswordField()->setFocus();
    EXPECT_EQ(TabThrough(1), std::vector<QWidget*>{login.RememberProxy()});
}

TEST(SignInLookup, NextWaitsForTheRunningLookup) {
    // No directory server listens: the lookup fails after a moment.
    net::Endpoints endpoints;
    endpoints.directoryHost = "127.0.0.1";
    endpoints.directoryPort = 1;  // nothing listens there
    AppHarness h(endpoints);
    signin::CConnectDlg& connect = h.state->ConnectWindow();
    int lookups = 0;
    QObject::connect(&connect, &signin::CConnectDlg::lookupRequested, [&] { ++lookups; });
    connect.NumberField()->setEditText("1234567");
    connect.NextButton()->click();
    EXPECT_EQ(lookups, 1);
    EXPECT_TRUE(connect.LookupRunning());
    EXPECT_FALSE(connect.NextButton()->isEnabled());
    EXPECT_EQ(connect.cursor().shape(), Qt::BusyCursor);
    // Enter while it runs does not start a second lookup over the first.
    connect.Next();
    EXPECT_EQ(lookups, 1);

    // The failure message ends it: NEXT and the pointer come back.
    ASSERT_TRUE(SpinUntil([&] { return !connect.LookupRunning(); }));
    EXPECT_EQ(h.dialogs.Last().text, "Failed to connect to VNS server");
    EXPECT_TRUE(connect.NextButton()->isEnabled());
    EXPECT_NE(connect.cursor().shape(), Qt::BusyCursor);
    connect.Next();
    EXPECT_EQ(lookups, 2);
    ASSERT_TRUE(SpinUntil([&] { return !connect.LookupRunning(); }));

    // A lookup that is never answered gives NEXT back after a while.
    connect.SetLookupRunning(true);
    connect.LookupPatience().setInterval(1);
    ASSERT_TRUE(SpinUntil([&] { return !connect.LookupRunning(); }));
    EXPECT_TRUE(connect.NextButton()->isEnabled());
}

TEST(SignInLookup, LengthMessageIsAnError) {
    AppHarness h;
    signin::CConnectDlg& connect = h.state->ConnectWindow();
    connect.NumberField()->setEditText("123  4567");
    connect.Next();
    EXPECT_EQ(h.dialogs.Last().text, "Please enter no more than 8 characters.");
    EXPECT_EQ(h.dialogs.Last().title, "Error");
    EXPECT_FALSE(connect.LookupRunning());
}

TEST(SignInHeadings, OneNamePerWindowAndTheNetworkInTheLoginBand) {
    AppHarness h;
    for (ui::CSkinnedDlg* w : std::initializer_list<ui::CSkinnedDlg*>{
             &h.state->ConnectWindow(), &h.state->LoginWindow(), &h.state->CreateAccountWindow(),
             &h.state->AuthenticatingWindow(), &h.state->CreatingAccountWindow()}) {
        EXPECT_EQ(w->Heading(), w->windowTitle());
    }
    h.state->SignIn().LookupAnswered("7654321");
    EXPECT_EQ(h.state->LoginWindow().Heading(), "Login");
    EXPECT_EQ(h.state->LoginWindow().HeadingDetail(), "Network 765.4321");
}

TEST(SignInProgress, AnEndedRequestDropsItsRunningLook) {
    AppHarness h;
    auto& auth = h.state->AuthenticatingWindow();
    auth.SetInProgress();
    auth.StartAnimation();
    EXPECT_TRUE(auth.Animation()->isVisibleTo(&auth));
    auth.ShowResult(signin::CAuthenticatingDlg::kUnreachable);
    EXPECT_FALSE(auth.Animating());
    EXPECT_FALSE(auth.Animation()->isVisibleTo(&auth));
    EXPECT_EQ(auth.Heading(), "Login Failed");
    EXPECT_EQ(auth.focusWidget(), auth.Button());
    auth.SetInProgress();
    EXPECT_EQ(auth.Heading(), "Authenticating...");
    EXPECT_TRUE(auth.Animation()->isVisibleTo(&auth));

    auto& creating = h.state->CreatingAccountWindow();
    creating.SetInProgress();
    creating.ShowResponse(net::account::kUsernameTaken);
    EXPECT_EQ(creating.Heading(), "Account Not Created");
    EXPECT_FALSE(creating.Animation()->isVisibleTo(&creating));
    creating.SetInProgress();
    creating.ShowResponse(net::account::kCreated);
    EXPECT_EQ(creating.Heading(), "Account Created");
}

TEST(SignInCreation, AnswerAfterCancelOnlyChangesTheHiddenWindow) {
    AppHarness h;
    signin::CLoginDlg& login = h.state->LoginWindow();
    login.UsernameField()->setText("bob");
    login.PasswordField()->setText("typed");
    net::AccountCreationRecord record;
    record.username = "newuser";
    h.state->Client().SetAccountCreationRecord(record);

    auto& creating = h.state->CreatingAccountWindow();
    creating.SetInProgress();
    creating.SetTimerPending(false);  // the request is out
    creating.ShowInFrontNow();
    creating.Button()->click();  // Cancel
    EXPECT_FALSE(creating.isVisible());

    auto deliver = [&](int32_t code) {
        net::Connection& c = h.state->Client().NetworkServer();
        net::MessageWriter w(code);
        const net::bufHeader header =
            routingtest::Receive(c, w, net::Primary::Account, +net::Secondary::Response);
        h.state->Client().router().RouteMsg(c, header);
    };
    deliver(net::account::kCreated);
    EXPECT_EQ(creating.Picture(), signin::CCreatingAccountDlg::kCreatedPicture);
    EXPECT_EQ(login.UsernameField()->text(), "bob");
    EXPECT_EQ(login.PasswordField()->text(), "typed");
    EXPECT_FALSE(login.FocusPassword());

    // Without a cancel the answer reaches the login window as before.
    creating.SetInProgress();
    creating.SetTimerPending(false);
    deliver(net::account::kCreated);
    EXPECT_EQ(login.UsernameField()->text(), "newuser");
    EXPECT_TRUE(login.PasswordField()->text().isEmpty());
    EXPECT_TRUE(login.FocusPassword());
}

TEST(SignInReadability, EveryLabelMeetsTheContrastOfReadableText) {
    AppHarness h;
    // The skin's own pairings of words and ground.
    for (const auto& pair : ui::Skin::ReadableText()) {
        EXPECT_GE(ui::Skin::ContrastRatio(pair.text, pair.ground), 4.5) << pair.what;
    }
    // The formula itself: black on white is 21, a colour on itself 1.
    EXPECT_NEAR(ui::Skin::ContrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(ui::Skin::ContrastRatio(QColor(0x777777), QColor(0x777777)), 1.0, 1e-9);
    EXPECT_NEAR(ui::Skin::ContrastRatio(QColor(0x767676), Qt::white), 4.54, 0.01);

    // Every label of the sign-in windows, in the colour it is drawn in,
    // against the background pixels under it.
    for (ui::CSkinnedDlg* w : std::initializer_list<ui::CSkinnedDlg*>{
             &h.state->ConnectWindow(), &h.state->LoginWindow(), &h.state->CreateAccountWindow()}) {
        const QImage ground = w->BackgroundPicture().toImage();
        const qreal ratio = w->BackgroundPicture().devicePixelRatio();
        for (QLabel* label : w->findChildren<QLabel*>()) {
            if (label->text().isEmpty()) continue;
            label->ensurePolished();
            const QPalette::ColorGroup group =
                label->isEnabled() ? QPalette::Active : QPalette::Disabled;
            const QColor text = label->palette().color(group, label->foregroundRole());
            const QRect r = label->geometry();
            for (const QPoint& p : {r.topLeft(), r.center(), r.bottomRight()}) {
                const QColor under = ground.pixelColor(QPointF(p * ratio).toPoint());
                EXPECT_GE(ui::Skin::ContrastRatio(text, under), 4.5)
                    << w->windowTitle().toStdString() << ": " << label->text().toStdString();
            }
        }
    }
}

TEST(SignInReadability, LinksShowAHand) {
    AppHarness h;
    signin::CConnectDlg& connect = h.state->ConnectWindow();
    auto move = [&](QPoint p) {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), connect.mapToGlobal(QPointF(p)),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&connect, &e);
    };
    move(signin::CConnectDlg::kLinkRect.center());
    EXPECT_EQ(connect.cursor().shape(), Qt::PointingHandCursor);
    move(QPoint(5, 5));
    EXPECT_NE(connect.cursor().shape(), Qt::PointingHandCursor);
}
