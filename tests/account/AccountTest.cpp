// The account module without a server: settings.dat, the settings window's
// closing, response 11 to 15 as they arrive on the file-server connection,
// and the checks of the two change windows.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTest>
#include <fstream>

#include "account/AccountChangeDlgs.h"
#include "account/AccountInfoDlg.h"
#include "account/AccountModule.h"
#include "account/MsgAccount.h"
#include "account/SettingsDlg.h"
#include "app/AppHarness.h"
#include "net/RoutingTestSupport.h"
#include "shell/MainDlg.h"
#include "shell/Settings.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/ImageToggle.h"
#include "ui/ServerResponseDlg.h"
#include "ui/TextViewerDlg.h"

#include <QPlainTextEdit>
#include <QTextDocument>

namespace account {
namespace {

using shell::Settings;
using shell::SettingsValues;

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// --- settings.dat ---

TEST(SettingsFile, AbsentFileKeepsTheDefaults) {
    testsupport::TempDir dir;
    Settings settings(dir.path() + "/settings.dat");
    EXPECT_FALSE(settings.Read());
    const SettingsValues& v = settings.Values();
    EXPECT_EQ(v.fontIndex, 0);
    EXPECT_STREQ(shell::FontFaceName(v.fontIndex), "Arial");
    EXPECT_EQ(v.red + v.green + v.blue, 0);
    EXPECT_FALSE(v.bold || v.italic || v.underline);
    EXPECT_EQ(v.size, 12);
    EXPECT_TRUE(v.timestamp);
    EXPECT_TRUE(v.alertMessages);
    EXPECT_FALSE(v.alertStatus);
    EXPECT_FALSE(v.tray);
}

TEST(SettingsFile, EachFieldAtItsOffset) {
    // Hand-written: font 5, colour (1, 2, 3) as 0x0201... little-endian,
    // bold off, italic on, underline on, size 144, the four flags 0 1 0 1.
    const std::string bytes = Bytes({5, 0, 0, 0, 0xFF, 0, 0, 0, 0x80, 0, 0, 0, 1, 0, 0, 0,
                                     0, 1, 1, 0x90, 0, 0, 0, 0, 1, 0, 1});
    ASSERT_EQ(bytes.size(), shell::kSettingsFileSize);
    SettingsValues v;
    ASSERT_TRUE(shell::DecodeSettings(bytes, v));
    EXPECT_EQ(v.fontIndex, 5);
    EXPECT_EQ(v.red, 255);
    EXPECT_EQ(v.green, 128);
    EXPECT_EQ(v.blue, 1);
    EXPECT_FALSE(v.bold);
    EXPECT_TRUE(v.italic);
    EXPECT_TRUE(v.underline);
    EXPECT_EQ(v.size, 144);
    EXPECT_FALSE(v.timestamp);
    EXPECT_TRUE(v.alertMessages);
    EXPECT_FALSE(v.alertStatus);
    EXPECT_TRUE(v.tray);
    // And back, byte for byte.
    EXPECT_EQ(shell::EncodeSettings(v), bytes);
    EXPECT_EQ(shell::EncodeSettings(SettingsValues{}),
              Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                     0, 0, 0, 12, 0, 0, 0, 1, 1, 0, 0}));
}

TEST(SettingsFile, OtherSizesAreIgnoredAndFieldsOutOfRangeTakeTheirDefaults) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/settings.dat";
    Settings settings(path);
    SettingsValues mine;
    mine.size = 30;
    mine.tray = true;
    settings.SetValues(mine);
    for (size_t size : {size_t(26), size_t(28), size_t(0)}) {
        WriteFile(path, std::string(size, '\x01'));
        EXPECT_FALSE(settings.Read()) << size;
        EXPECT_EQ(settings.Values(), mine) << size;
    }
    // Font 100, red -1, green 256, blue 255, bold 2, size 0, timestamp 7,
    // tray 0xFF: each out of range takes its default, the rest stands.
    WriteFile(path, Bytes({100, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 1, 0, 0, 0xFF, 0, 0, 0,
                           2, 1, 0, 0, 0, 0, 0, 7, 0, 1, 0xFF}));
    ASSERT_TRUE(settings.Read());
    const SettingsValues& v = settings.Values();
    EXPECT_EQ(v.fontIndex, 0);
    EXPECT_EQ(v.red, 0);
    EXPECT_EQ(v.green, 0);
    EXPECT_EQ(v.blue, 255);
    EXPECT_FALSE(v.bold);
    EXPECT_TRUE(v.italic);
    EXPECT_EQ(v.size, 12);
    EXPECT_TRUE(v.timestamp);
    EXPECT_FALSE(v.alertMessages);
    EXPECT_TRUE(v.alertStatus);
    EXPECT_FALSE(v.tray);
    // An index past the seven faces but within range is kept: its face is
    // the default one.
    WriteFile(path, Bytes({99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           0, 0, 0, 12, 0, 0, 0, 1, 1, 0, 0}));
    ASSERT_TRUE(settings.Read());
    EXPECT_EQ(settings.Values().fontIndex, 99);
    EXPECT_STREQ(shell::FontFaceName(99), "defaultswitch");
    EXPECT_STREQ(shell::FontFaceName(1), "Comic Sans MS");
    EXPECT_STREQ(shell::FontFaceName(-1), "defaultswitch");
}

TEST(SettingsFile, WrittenWholeOrNotAtAll) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/settings.dat";
    Settings settings(path);
    SettingsValues v;
    v.blue = 200;
    settings.SetValues(v);
    ASSERT_TRUE(settings.Write());
    EXPECT_EQ(ReadFile(path), shell::EncodeSettings(v));
    // Nothing but the file is left in the folder.
    EXPECT_EQ(QDir(QString::fromStdString(dir.path())).entryList(QDir::Files).size(), 1);
    Settings nowhere(dir.path() + "/missing/settings.dat");
    EXPECT_FALSE(nowhere.Write());
}

TEST(HistoryViewer, LongHistoryComesBackLineForLineInFewParagraphs) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/connhistory";
    QString expected;
    std::string bytes;
    for (int i = 0; i < 100; ++i) {
        const std::string line = "2026-12-08 21:30:05 UTC  signed in from 127.0.0." + std::to_string(i);
        bytes += line + "\n";
        expected += QString::fromStdString(line) + "\n";
    }
    WriteFile(path, bytes);
    ui::Skin skin(1.0);
    testsupport::ScriptedDialogs dialogs;
    auto* viewer = ui::CTextViewerDlg::Open(skin, dialogs, net::Timings::Fast(), nullptr,
                                            QString::fromStdString(path));
    EXPECT_EQ(viewer->Text(), expected);
    // 100 lines in groups of 32: three full paragraphs and the last four lines.
    EXPECT_EQ(viewer->TextBox()->document()->blockCount(), 4);
    EXPECT_EQ(viewer->TextBox()->textCursor().position(), expected.size());
    EXPECT_EQ(ui::GroupLines("a\nb\nc", 2), QString("a") + QChar::LineSeparator + "b\nc");
    delete viewer;
}

// --- The account module in a program without a server ---

class AccountWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        module = h.state->FindModule<AccountModule>();
        ASSERT_NE(module, nullptr);
        h.state->Client().SetLogin("alice", "typed-at-login");
    }
    net::Connection& File() { return h.state->Client().FileServer(); }
    // Delivers a message on the file-server connection as the network
    // thread would.
    void Deliver(net::MessageWriter& w) {
        const net::bufHeader header =
            routingtest::Receive(File(), w, net::Primary::Account, +net::Secondary::Response);
        h.state->Client().router().RouteMsg(File(), header);
    }
    void DeliverInfo(const std::string& line4, const std::string& name, const std::string& user,
                     const std::string& password, int32_t line5, int32_t count,
                     const std::string& text) {
        net::MessageWriter w(net::account::kInformation);
        w.Str(line4).Str(name).Str(user).Str(password).Int(line5).Int(count).Str(text);
        Deliver(w);
    }
    std::vector<routingtest::Sent> Sent() { return routingtest::Drain(File()); }

    apptest::AppHarness h;
    AccountModule* module = nullptr;
};

TEST_F(AccountWindows, InformationAtBothEndsOfItsRangesIsShown) {
    CAccountInfoDlg& w = *module->InfoWindow();
    DeliverInfo("a", "b", "c", "d", 0, 0, "e");
    ASSERT_TRUE(testsupport::SpinUntil([&] { return w.isVisible(); }));
    EXPECT_EQ(w.windowTitle(), "Account Information");
    EXPECT_EQ(w.size(), CAccountInfoDlg::kClientSize);
    EXPECT_EQ(w.LineText(1), "b");
    EXPECT_EQ(w.LineText(2), "c");
    EXPECT_EQ(w.LineText(3), "*******");
    EXPECT_EQ(w.LineText(4), "a");
    EXPECT_EQ(w.LineText(5), "0");
    EXPECT_EQ(w.LineText(6), "0");  // no parenthesised text for a count of 0

    const std::string fifty(50, 'x'), twelve(12, 'u'), twenty(20, 'p');
    DeliverInfo(fifty, fifty, twelve, twenty, INT32_MAX, INT32_MAX, fifty);
    EXPECT_EQ(w.LineText(1), QString::fromStdString(fifty));
    EXPECT_EQ(w.LineText(2), QString::fromStdString(twelve));
    EXPECT_EQ(w.LineText(5), "2147483647");
    EXPECT_EQ(w.LineText(6), QString("2147483647 (%1)").arg(QString::fromStdString(fifty)));
    DeliverInfo("since", "Alice", "alice", "pw", 4, 1, "last from 127.0.0.1");
    EXPECT_EQ(w.LineText(6), "1 (last from 127.0.0.1)");

    // One field beyond its range: the whole response is ignored.
    struct Beyond {
        std::string line4, name, user, password, text;
        int32_t line5, count;
    } beyond[] = {
        {std::string(51, 'x'), "N", "u", "new", "t", 1, 1},
        {"l", std::string(51, 'n'), "u", "new", "t", 1, 1},
        {"l", "N", std::string(13, 'u'), "new", "t", 1, 1},
        {"l", "N", "u", std::string(21, 'p'), "t", 1, 1},
        {"l", "N", "u", "new", std::string(51, 't'), 1, 1},
        {"l", "N", "u", "new", "", 1, 1},
        {"", "N", "u", "new", "t", 1, 1},
        {"l", "N", "u", "new", "t", -1, 1},
        {"l", "N", "u", "new", "t", 1, -1},
    };
    for (const Beyond& b : beyond) {
        DeliverInfo(b.line4, b.name, b.user, b.password, b.line5, b.count, b.text);
        EXPECT_EQ(w.LineText(1), "Alice");
        EXPECT_EQ(w.LineText(4), "since");
        EXPECT_EQ(w.Info().password, "pw");
    }
}

TEST_F(AccountWindows, ChangedAnswersAskAgainOnTheSameConnectionAndRefusalsShowTheirReason) {
    Sent();
    for (int32_t code : {net::account::kFullNameChanged, net::account::kPasswordChanged}) {
        net::MessageWriter w(code);
        Deliver(w);
        auto out = Sent();
        ASSERT_EQ(out.size(), 1u) << code;
        EXPECT_EQ(out[0].header.nDescPrimary, +net::Primary::Account);
        EXPECT_EQ(out[0].Reader().Code(), net::account::kInformationRequest);
        EXPECT_EQ(out[0].header.nMsgLength, 40);  // no fields
    }
    ui::CServerResponseDlg& response = h.state->ServerResponseWindow();
    // Out of range (empty, 513 bytes): nothing shown.
    for (const std::string& reason : {std::string(), std::string(513, 'r')}) {
        for (int32_t code : {net::account::kFullNameRefused, net::account::kPasswordRefused}) {
            net::MessageWriter w(code);
            w.Str(reason);
            Deliver(w);
            EXPECT_TRUE(response.Text().isEmpty());
            EXPECT_FALSE(response.isVisible() || response.ShowPending());
        }
    }
    net::MessageWriter name(net::account::kFullNameRefused);
    name.Str(std::string(512, 'r'));
    Deliver(name);
    EXPECT_TRUE(response.Text().contains("Unable to change full name on the account"));
    net::MessageWriter password(net::account::kPasswordRefused);
    password.Str("too long");
    Deliver(password);
    EXPECT_TRUE(response.Text().contains("Unable to change account password"));
    EXPECT_TRUE(response.Text().contains("too long"));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(AccountWindows, ChangeNameChecksCharactersNotBytes) {
    DeliverInfo("since", "Alice Archer", "alice", "pw", 1, 0, "none");
    CAccountInfoDlg& info = *module->InfoWindow();
    CAccountChangeFullNameDlg& w = *module->ChangeNameWindow();
    info.ChangeNameButton()->click();
    EXPECT_EQ(w.NameField()->text(), "Alice Archer");
    EXPECT_EQ(w.windowTitle(), "Change Name");
    ASSERT_TRUE(testsupport::SpinUntil([&] { return w.isVisible(); }));
    Sent();

    w.NameField()->setText(QString(21, QChar(0x20AC)));  // the field takes 21
    w.OkButton()->click();
    EXPECT_EQ(h.dialogs.Last().text, "Full name must be between 1 and 20 characters");
    EXPECT_EQ(h.dialogs.Last().title, "Error");
    EXPECT_EQ(h.dialogs.Last().icon, ui::MsgIcon::Error);
    EXPECT_TRUE(w.isVisible());
    w.NameField()->clear();
    w.OkButton()->click();
    EXPECT_EQ(h.dialogs.messages.size(), 2);
    EXPECT_TRUE(Sent().empty());

    const QString twenty(20, QChar(0x20AC));
    w.NameField()->setText(twenty);
    w.OkButton()->click();
    EXPECT_FALSE(w.isVisible());
    auto out = Sent();
    ASSERT_EQ(out.size(), 1u);
    auto r = out[0].Reader();
    EXPECT_EQ(r.Code(), net::account::kChangeFullName);
    std::string sent;
    ASSERT_TRUE(r.Str(1, 100, sent));
    EXPECT_EQ(QString::fromStdString(sent), twenty);  // 60 bytes of UTF-8
}

TEST_F(AccountWindows, OldPasswordIsTheLastResponsesNotTheLogins) {
    DeliverInfo("since", "Alice", "alice", "from-server", 1, 0, "none");
    CAccountChangePasswordDlg& w = *module->ChangePasswordWindow();
    module->InfoWindow()->ChangePasswordButton()->click();
    EXPECT_EQ(w.windowTitle(), "Change Password");
    EXPECT_EQ(w.size(), CAccountChangePasswordDlg::kClientSize);
    EXPECT_EQ(w.OldField()->maxLength(), 20);
    Sent();
    auto attempt = [&](const QString& old, const QString& a, const QString& b) {
        w.OldField()->setText(old);
        w.NewField()->setText(a);
        w.AgainField()->setText(b);
        w.OkButton()->click();
        return h.dialogs.messages.isEmpty() ? QString() : h.dialogs.Last().text;
    };
    EXPECT_EQ(attempt("typed-at-login", "n", "n"), "Old password is incorrect");
    EXPECT_EQ(attempt("from-server", "one", "two"), "Passwords do not match; try again");
    EXPECT_EQ(attempt("from-server", "", ""),
              "New password must be between 1 and 20 characters, inclusive");
    EXPECT_EQ(h.dialogs.messages.size(), 3);
    EXPECT_TRUE(Sent().empty());
    attempt("from-server", "brand-new", "brand-new");
    EXPECT_EQ(h.dialogs.messages.size(), 3);
    auto out = Sent();
    ASSERT_EQ(out.size(), 1u);
    auto r = out[0].Reader();
    EXPECT_EQ(r.Code(), net::account::kChangePassword);
    std::string sent;
    ASSERT_TRUE(r.Str(1, 20, sent));
    EXPECT_EQ(sent, "brand-new");
    // The login stays as it was typed.
    EXPECT_EQ(h.state->Client().Password(), "typed-at-login");
    // Opening again empties the fields.
    module->InfoWindow()->ChangePasswordButton()->click();
    EXPECT_TRUE(w.OldField()->text().isEmpty() && w.NewField()->text().isEmpty());
}

TEST_F(AccountWindows, SettingsSizeIsCheckedOnClosingAndNothingWrittenUntilItPasses) {
    CSettingsDlg& w = *module->SettingsWindow();
    const std::string path = h.DataFile("settings.dat");
    EXPECT_EQ(w.windowTitle(), "Settings");
    EXPECT_EQ(w.size(), CSettingsDlg::kClientSize);
    w.Open();
    ASSERT_TRUE(testsupport::SpinUntil([&] { return w.isVisible(); }));
    EXPECT_EQ(w.FontList()->count(), 7);
    EXPECT_EQ(w.FontList()->itemText(1), "Comic Sans");
    EXPECT_EQ(w.SizeField()->text(), "12");
    for (const char* bad : {"0", "145", "", "abc"}) {
        w.SizeField()->setText(QString::fromLatin1(bad));
        w.reject();  // Escape
        EXPECT_TRUE(w.isVisible()) << bad;
        EXPECT_EQ(h.dialogs.Last().text, "Please enter an integer between 1 and 144.");
        EXPECT_EQ(h.dialogs.Last().title, "Palindor");
        EXPECT_EQ(h.dialogs.Last().icon, ui::MsgIcon::Warning);
        EXPECT_FALSE(QFile::exists(QString::fromStdString(path))) << bad;
    }
    w.close();  // the close box
    EXPECT_EQ(h.dialogs.messages.size(), 5);
    EXPECT_TRUE(w.isVisible());

    // Values change only on closing; then they are in memory and the file.
    w.SizeField()->setText("144");
    w.FontList()->setCurrentIndex(6);
    w.StyleToggle(0)->SetValue(true);
    w.OptionBox(3)->SetValue(true);
    h.dialogs.colours.push_back(QColor(10, 20, 30));
    QTest::mouseClick(&w, Qt::LeftButton, {}, CSettingsDlg::kSwatch.center());
    EXPECT_EQ(w.Colour(), QColor(10, 20, 30));
    EXPECT_EQ(h.dialogs.colourRequests.size(), 1);
    w.reject();
    EXPECT_FALSE(w.isVisible());
    SettingsValues expected;
    expected.size = 144;
    expected.fontIndex = 6;
    expected.bold = true;
    expected.tray = true;
    expected.red = 10;
    expected.green = 20;
    expected.blue = 30;
    EXPECT_EQ(ReadFile(path), shell::EncodeSettings(expected));

    // Opening reads the file again; a size that does not pass on a drop is
    // not written, the window goes either way.
    WriteFile(path, shell::EncodeSettings(SettingsValues{}));
    w.Open();
    EXPECT_EQ(w.SizeField()->text(), "12");
    EXPECT_FALSE(w.OptionBox(3)->Value());
    w.ShowInFrontNow();
    w.SizeField()->setText("abc");
    module->LoggedOut();
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(ReadFile(path), shell::EncodeSettings(SettingsValues{}));
}

TEST_F(AccountWindows, AFaceTheListDoesNotShowIsKeptOnClosing) {
    CSettingsDlg& w = *module->SettingsWindow();
    const std::string path = h.DataFile("settings.dat");
    SettingsValues v;
    v.fontIndex = 42;
    v.green = 77;
    WriteFile(path, shell::EncodeSettings(v));
    w.Open();
    EXPECT_EQ(w.FontList()->currentIndex(), -1);
    w.reject();
    EXPECT_EQ(ReadFile(path), shell::EncodeSettings(v));
    EXPECT_EQ(h.state->Client().DataPath("settings.dat"), path);
}

}  // namespace
}  // namespace account
