// Sign-in against the in-process local network: lookup, login, account
// creation, failures and the connection drop, as the user sees them.

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTimer>
#include <vector>

#include "app/AppHarness.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/ConnectDlg.h"
#include "signin/CreateAccountDlg.h"
#include "signin/CreatingAccountDlg.h"
#include "signin/LoginDlg.h"
#include "shell/MainDlg.h"
#include "signin/NumbersFile.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

using apptest::AppHarness;
using testsupport::LocalNetworkFixture;
using testsupport::SpinUntil;

namespace {

class SignIn : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network.Start());
        h = std::make_unique<AppHarness>(network.Endpoints());
        h->state->Start();
        ASSERT_TRUE(SpinUntil([&] { return Connect().isVisible(); }));
    }
    void TearDown() override { h.reset(); }

    signin::CConnectDlg& Connect() { return h->state->ConnectWindow(); }
    signin::CLoginDlg& Login() { return h->state->LoginWindow(); }
    signin::CAuthenticatingDlg& Auth() { return h->state->AuthenticatingWindow(); }

    void LookUp(const QString& number) {
        Connect().NumberField()->setEditText(number);
        Connect().NextButton()->click();
    }
    void LogIn(const QString& user, const QString& password) {
        Login().UsernameField()->setText(user);
        Login().PasswordField()->setText(password);
        Login().OkButton()->click();
    }
    void ReachLogin(const QString& number = "123.4567") {
        LookUp(number);
        ASSERT_TRUE(SpinUntil([&] { return Login().isVisible(); }));
    }

    LocalNetworkFixture network;
    std::unique_ptr<AppHarness> h;
};

}  // namespace

TEST_F(SignIn, LookupShowsLoginAndRecordsTheNumber) {
    ReachLogin();
    EXPECT_FALSE(Connect().isVisible());
    EXPECT_EQ(h->state->Client().Number(), "1234567");
    EXPECT_EQ(h->state->Client().Host(), "127.0.0.1");
    signin::NumbersList list;
    ASSERT_TRUE(signin::ReadNumbersFile(h->DataFile("numbers.dat"), list));
    EXPECT_EQ(list.current, "1234567");
    EXPECT_TRUE(h->dialogs.messages.isEmpty());

    // Cancel goes back to the network selection.
    Login().CancelButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return Connect().isVisible(); }));
    EXPECT_FALSE(Login().isVisible());
}

TEST_F(SignIn, UnknownNumberIsReportedOverTheSelection) {
    LookUp("999-0000");
    ASSERT_TRUE(SpinUntil([&] { return !h->dialogs.messages.isEmpty(); }));
    EXPECT_EQ(h->dialogs.Last().text, "Unknown zorvic number");
    EXPECT_EQ(h->dialogs.Last().title, "Error");
    EXPECT_EQ(h->dialogs.Last().icon, ui::MsgIcon::Warning);
    EXPECT_EQ(h->dialogs.Last().parent, &Connect());
    EXPECT_TRUE(Connect().isVisible());
    EXPECT_FALSE(Login().isVisible());
    EXPECT_FALSE(testsupport::FileExists(h->DataFile("numbers.dat")));
}

TEST_F(SignIn, WrongPasswordShowsTheRefusedPicture) {
    ReachLogin();
    LogIn("alice", "wrongpass");
    ASSERT_TRUE(SpinUntil([&] { return Auth().isVisible(); }));
    ASSERT_TRUE(SpinUntil([&] { return !Auth().InProgress(); }));
    EXPECT_EQ(Auth().Picture(), signin::CAuthenticatingDlg::kRefused);
    EXPECT_EQ(Auth().Button()->text(), "OK");
    EXPECT_FALSE(Auth().Animating());
    EXPECT_FALSE(h->state->MainWindow().isVisible());

    // OK goes back to the login window.
    Auth().Button()->click();
    EXPECT_FALSE(Auth().isVisible());
    ASSERT_TRUE(SpinUntil([&] { return Login().isVisible(); }));
    EXPECT_TRUE(h->dialogs.messages.isEmpty());
}

TEST_F(SignIn, GoodLoginOpensTheMainWindowAndADropReturnsToLogin) {
    ReachLogin();
    LogIn("admin", "adminpass");
    auto& main = h->state->MainWindow();
    ASSERT_TRUE(SpinUntil([&] { return main.isVisible(); }));
    EXPECT_EQ(main.windowTitle(), "Connected to 123.4567 - Palindor");
    EXPECT_FALSE(Auth().isVisible());
    EXPECT_TRUE(h->state->Client().Administrator());
    EXPECT_EQ(h->state->Client().NetworkServer().State(), net::kStateLoggedIn);
    EXPECT_EQ(h->state->Client().FileServer().State(), net::kStateLoggedIn);

    // The server goes away: one message, the logged-in windows hidden, login back.
    network.Stop();
    ASSERT_TRUE(SpinUntil([&] { return Login().isVisible(); }));
    SpinUntil([&] {
        return h->state->Client().FileServer().State() == net::kStateIdle &&
               h->state->Client().NetworkServer().State() == net::kStateIdle;
    });
    EXPECT_FALSE(main.isVisible());
    ASSERT_EQ(h->dialogs.messages.size(), 1);
    EXPECT_EQ(h->dialogs.Last().text, "No longer connected to 1234567");
    EXPECT_EQ(h->dialogs.Last().title, "Connection Dropped");
    EXPECT_EQ(h->dialogs.Last().icon, ui::MsgIcon::Error);
}

TEST_F(SignIn, CreatedAccountCanLogIn) {
    ReachLogin("765.4321");
    Login().CreateAccountButton()->click();
    auto& form = h->state->CreateAccountWindow();
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
    EXPECT_FALSE(Login().isVisible());
    EXPECT_TRUE(form.CodeField()->isEnabled());
    form.FullNameField()->setText("Dana Doe");
    form.UsernameField()->setText("dana");
    form.PasswordField()->setText("dana-pass");
    form.PasswordAgainField()->setText("dana-pass");
    form.CodeField()->setText("welcome");
    form.OkButton()->click();

    auto& creating = h->state->CreatingAccountWindow();
    ASSERT_TRUE(SpinUntil([&] { return creating.isVisible(); }));
    ASSERT_TRUE(SpinUntil([&] { return !creating.InProgress(); }));
    EXPECT_EQ(creating.Picture(), 5);
    EXPECT_TRUE(creating.Succeeded());
    EXPECT_EQ(creating.Button()->text(), "OK");

    // OK after a success: the login window, with the new username and the
    // focus in the empty password field.
    creating.Button()->click();
    ASSERT_TRUE(SpinUntil([&] { return Login().isVisible(); }));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Login().UsernameField()->text(), "dana");
    EXPECT_TRUE(Login().PasswordField()->text().isEmpty());
    EXPECT_EQ(Login().focusWidget(), Login().PasswordField());

    Login().PasswordField()->setText("dana-pass");
    Login().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
    EXPECT_EQ(h->state->MainWindow().windowTitle(), "Connected to 765.4321 - Palindor");
    EXPECT_TRUE(h->dialogs.messages.isEmpty()) << h->dialogs.Last().text.toStdString();
}

TEST_F(SignIn, TakenUsernameReturnsToTheForm) {
    ReachLogin();
    Login().CreateAccountButton()->click();
    auto& form = h->state->CreateAccountWindow();
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
    EXPECT_FALSE(form.CodeField()->isEnabled());
    form.FullNameField()->setText("Bob Again");
    form.UsernameField()->setText("bob");
    form.PasswordField()->setText("pw");
    form.PasswordAgainField()->setText("pw");
    form.OkButton()->click();
    auto& creating = h->state->CreatingAccountWindow();
    ASSERT_TRUE(SpinUntil([&] { return creating.isVisible() && !creating.InProgress(); }));
    EXPECT_EQ(creating.Picture(), 6);
    creating.Button()->click();
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
    EXPECT_FALSE(Login().isVisible());
    // The connection that carried the request ends without touching the
    // sign-in windows.
    SpinUntil([&] { return h->state->Client().NetworkServer().State() == net::kStateIdle; },
              std::chrono::milliseconds(2000));
    EXPECT_FALSE(Auth().isVisible());
    EXPECT_FALSE(Login().isVisible());
    EXPECT_TRUE(h->dialogs.messages.isEmpty()) << h->dialogs.Last().text.toStdString();
}

TEST(SignInUnreachable, DirectoryServerDownIsReportedOnce) {
    // A port that was free a moment ago and has no listener now.
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    net::Endpoints endpoints;
    endpoints.directoryHost = "127.0.0.1";
    endpoints.directoryPort = port;
    AppHarness h(endpoints);
    h.state->Start();
    auto& connect = h.state->ConnectWindow();
    connect.NumberField()->setEditText("1234567");
    connect.NextButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return !h.dialogs.messages.isEmpty(); }));
    SpinUntil([&] { return h.state->Client().Directory().State() == net::kStateIdle; });
    SpinUntil([] { return false; }, std::chrono::milliseconds(50));
    ASSERT_EQ(h.dialogs.messages.size(), 1);
    EXPECT_EQ(h.dialogs.Last().text, "Failed to connect to VNS server");
    EXPECT_EQ(h.dialogs.Last().title, "Error");
    EXPECT_EQ(h.dialogs.Last().icon, ui::MsgIcon::Error);
    EXPECT_EQ(h.dialogs.Last().parent, &connect);
}

TEST(SignInUnreachable, NetworkServerDownShowsTheUnreachablePicture) {
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    net::Endpoints endpoints;
    endpoints.networkPort = port;
    endpoints.filePort = port;
    AppHarness h(endpoints);
    h.ConfirmLogin("alice", "alicepass");
    auto& auth = h.state->AuthenticatingWindow();
    ASSERT_TRUE(SpinUntil([&] { return auth.isVisible() && !auth.InProgress(); }));
    EXPECT_EQ(auth.Picture(), signin::CAuthenticatingDlg::kUnreachable);
    EXPECT_EQ(auth.Button()->text(), "OK");
    EXPECT_TRUE(h.dialogs.messages.isEmpty());
}

namespace {

// Every result picture the authenticating window shows, caught on every pass
// of the event loop (a result stays up until the window is reset).
struct ResultWatch {
    explicit ResultWatch(signin::CAuthenticatingDlg& w) : window(w) {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const bool result = window.isVisible() && !window.InProgress();
            if (result && !showing) pictures.push_back(window.Picture());
            showing = result;
        });
        timer.start(0);
    }
    signin::CAuthenticatingDlg& window;
    QTimer timer;
    bool showing = false;
    std::vector<int> pictures;
};

}  // namespace

// The creation connection may still be open when the new account logs in;
// its end must not show a failure at any moment of the login.
TEST_F(SignIn, CreatedAccountLogsInWithoutAnyFailureOnTheWay) {
    ResultWatch watch(Auth());
    ReachLogin("765.4321");
    Login().CreateAccountButton()->click();
    auto& form = h->state->CreateAccountWindow();
    ASSERT_TRUE(SpinUntil([&] { return form.isVisible(); }));
    form.FullNameField()->setText("Fiona Roe");
    form.UsernameField()->setText("fiona");
    form.PasswordField()->setText("erin-pass");
    form.PasswordAgainField()->setText("erin-pass");
    form.CodeField()->setText("welcome");
    form.OkButton()->click();
    auto& creating = h->state->CreatingAccountWindow();
    ASSERT_TRUE(SpinUntil([&] { return creating.isVisible() && !creating.InProgress(); }));
    ASSERT_TRUE(creating.Succeeded());
    creating.Button()->click();
    ASSERT_TRUE(SpinUntil([&] { return Login().isVisible(); }));

    Login().PasswordField()->setText("erin-pass");
    Login().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
    // Whatever was still on its way from the creation has arrived by now.
    SpinUntil([] { return false; }, std::chrono::milliseconds(100));
    EXPECT_TRUE(watch.pictures.empty()) << "result picture " << watch.pictures.front();
    EXPECT_TRUE(h->state->MainWindow().isVisible());
    EXPECT_FALSE(Auth().isVisible());
    EXPECT_TRUE(h->dialogs.messages.isEmpty()) << h->dialogs.Last().text.toStdString();
}
