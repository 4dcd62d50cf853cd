// The administration windows of a whole program that is not signed in: what
// each click sends (read off the connections' queues), the rights checks, the
// log download and its cancel, and the account list's buttons and action file.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <cstring>
#include <fstream>
#include <sstream>

#include "admin/AdminModule.h"
#include "admin/ManageAccountsDlg.h"
#include "admin/NetworkInformationDlg.h"
#include "app/AppHarness.h"
#include "net/Client.h"
#include "net/Protocol.h"
#include "net/Transfers.h"

namespace admin {
namespace {

using net::Primary;

struct Sent {
    net::bufHeader header{};
    std::unique_ptr<net::MessageBuffer> buffer;
    net::MessageReader Reader() const { return net::MessageReader(*buffer, header); }
};

std::vector<Sent> Drain(net::Connection& connection) {
    std::vector<Sent> out;
    connection.Queue().Flush([&](net::MessageBuffer& b) {
        Sent s;
        s.buffer = std::make_unique<net::MessageBuffer>();
        std::memcpy(s.buffer->data, b.data, static_cast<size_t>(b.remaining));
        s.buffer->done = b.remaining;
        EXPECT_EQ(s.buffer->ParseHeader(s.header), net::kParseComplete);
        out.push_back(std::move(s));
        return true;
    });
    return out;
}

// A server response handed to the download handler, as the router would.
void DeliverDownload(net::Connection& connection, net::MessageWriter& writer) {
    auto message = writer.Finish(Primary::Download, net::Secondary::Response);
    ASSERT_TRUE(message);
    net::MessageBuffer& rb = connection.ReceiveBuffer();
    rb.Reset();
    std::memcpy(rb.data, message->data, static_cast<size_t>(message->remaining));
    rb.done = message->remaining;
    net::bufHeader header;
    ASSERT_EQ(rb.ParseHeader(header), net::kParseComplete);
    net::HandleDownloadResponse(connection, header);
    rb.Reset();
}

net::FolderEntry Entry(int32_t kind, const std::string& name, bool locked = false) {
    net::FolderEntry e;
    e.kind = kind;
    e.size = kind == 1 ? 0 : 2048;
    e.flag = locked ? 1 : 0;
    e.name = name;
    e.modified = "Wed Sep  2 10:00:00 2009\n";
    return e;
}

class AdminWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        h.state->Client().SetNumber("1234567");
        module = h.state->FindModule<AdminModule>();
        ASSERT_NE(module, nullptr);
    }
    // root and administrator flags as the login would set them.
    void Rights(bool administrator, bool root) {
        h.state->Client().SetRights(administrator ? 1 : 0, root ? 1 : 0);
    }
    void Show(const std::string& path, std::vector<net::FolderEntry> entries) {
        net::NetworkInformation info;
        info.name = "Demo Network";
        info.accountCount = 7;
        info.onlineCount = 2;
        info.serverTime = "Wed Sep  2 10:00:00 2009";
        info.path = path;
        info.entries = std::move(entries);
        h.state->NetworkInformationReceived(info);
    }
    net::Connection& Network() { return h.state->Client().NetworkServer(); }
    net::Connection& Files() { return h.state->Client().FileServer(); }
    CNetworkInformationDlg& Info() { return *module->Information(); }
    CManageAccountsDlg& Accounts() { return *module->Accounts(); }

    // The path of a request 3 that went out, or "" for none.
    std::string RequestedFolder() {
        auto sent = Drain(Network());
        if (sent.size() != 1) return sent.empty() ? "" : "<several>";
        auto r = sent[0].Reader();
        int32_t minusOne = 0;
        std::string number, path;
        EXPECT_EQ(r.Code(), net::network::kInformation);
        EXPECT_TRUE(r.Int(-1, -1, minusOne));
        EXPECT_EQ(minusOne, -1);
        EXPECT_TRUE(r.Str(0, 64, number));
        EXPECT_EQ(number, "1234567");
        EXPECT_TRUE(r.Str(0, 400, path));
        return path;
    }

    std::string WriteList(const std::string& text) {
        const std::string path = h.DataFile("files/remote/listaccount/listaccount");
        EXPECT_TRUE(net::CreateTransferDirectories(h.state->Client().DataDirectory(),
                                                   "files/remote/listaccount"));
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // The row showing the username, or -1.
    int RowOf(const std::string& name) {
        for (int r = 0; r < Accounts().Records().rowCount(); ++r)
            if (Accounts().Records().RecordAt(r)->username == name) return r;
        return -1;
    }
    std::array<bool, kActionCount> Enabled() {
        std::array<bool, kActionCount> e{};
        for (int a = 0; a < kActionCount; ++a) e[static_cast<size_t>(a)] = Accounts().Button(a)->isEnabled();
        return e;
    }

    apptest::AppHarness h;
    AdminModule* module = nullptr;
};

constexpr char kList[] =
    "root;Ruth Root;1000;10;1;0;0;\n"
    "admin;Adam Admin;2000;20;0;0;1;\n"
    "erin;Erin Ellis;3000;-1;0;0;1;\n"
    "bob;Bob Baker;4000;30;1;0;2;\n"
    "dave;Dave Dalton;5000;-1;0;1;2;\n";

TEST_F(AdminWindows, TheAnswerFillsTheWindowWhichFirstSitsRightOfAndBelowTheCentre) {
    Rights(true, false);
    Show("/", {Entry(1, "2009"), Entry(1, "security", true), Entry(2, "notes.log")});
    EXPECT_EQ(Info().FieldText(0), "123.4567");
    EXPECT_EQ(Info().FieldText(1), "Demo Network");
    EXPECT_EQ(Info().FieldText(2), "7; 2 currently online");
    EXPECT_EQ(Info().FieldText(3), "Wed Sep  2 10:00:00 2009");
    EXPECT_EQ(Info().PathLabelText(), "/");
    EXPECT_FALSE(Info().BackButton()->isEnabled());
    ASSERT_EQ(Info().Entries()->rowCount(), 3);
    EXPECT_EQ(Info().Entries()->item(0, 1)->text(), "");
    EXPECT_EQ(Info().Entries()->item(2, 1)->text(), "2.00 KB");
    // The time text's line end is not shown.
    EXPECT_EQ(Info().Entries()->item(2, 2)->text(), "Wed Sep  2 10:00:00 2009");
    EXPECT_FALSE(Info().Entries()->item(0, 0)->icon().isNull());
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(Info().List()->columnWidth(c), CNetworkInformationDlg::kColumnWidths[c]);
        EXPECT_EQ(Info().Entries()->headerData(c, Qt::Horizontal).toString(),
                  CNetworkInformationDlg::kColumnTitles[c]);
    }
    ASSERT_TRUE(testsupport::SpinUntil([&] { return Info().isVisible(); }));
    // Centred (within the frame's few pixels), then moved right and down.
    const QPoint off = Info().geometry().center() - Info().ScreenRect().center() - QPoint(38, 24);
    EXPECT_LE(off.manhattanLength(), 6) << off.x() << "," << off.y();

    Show("2009/09", {Entry(2, "01.log")});
    EXPECT_EQ(Info().PathLabelText(), "/2009/09");
    EXPECT_TRUE(Info().BackButton()->isEnabled());
}

TEST_F(AdminWindows, BackGoesUpOneFolderAtATime) {
    Rights(true, false);
    Show("2009/09", {});
    Info().BackButton()->click();
    EXPECT_EQ(RequestedFolder(), "2009");
    Show("2009", {Entry(1, "09")});
    Info().Back();
    EXPECT_EQ(RequestedFolder(), "/");
    // A folder below opens with the current path before its name.
    Info().EntryActivated(0);
    EXPECT_EQ(RequestedFolder(), "2009/09");
}

TEST_F(AdminWindows, BothRightsRefusalsAndALockedFolderSendNothing) {
    Rights(false, false);
    Show("/", {Entry(1, "2009"), Entry(2, "notes.log")});
    Info().EntryActivated(0);
    Info().EntryActivated(1);
    Info().ManageButton()->click();
    ASSERT_EQ(h.dialogs.messages.size(), 3);
    EXPECT_EQ(h.dialogs.messages[0].text, "You must be an administrator to view the nework logs");
    EXPECT_EQ(h.dialogs.messages[0].title, "Error");
    EXPECT_EQ(h.dialogs.messages[0].icon, ui::MsgIcon::Information);
    EXPECT_EQ(h.dialogs.messages[2].text, "You must be an administrator in order to manage accounts");
    EXPECT_EQ(h.dialogs.messages[2].icon, ui::MsgIcon::Information);
    EXPECT_TRUE(Drain(Network()).empty());
    EXPECT_TRUE(Drain(Files()).empty());

    // Root passes whatever its administrator flag says; a locked folder is
    // still nothing to open.
    h.dialogs.Clear();
    Rights(false, true);
    Show("/", {Entry(1, "security", true), Entry(1, "2009")});
    Info().EntryActivated(0);
    EXPECT_TRUE(Drain(Network()).empty());
    Info().EntryActivated(1);
    EXPECT_EQ(RequestedFolder(), "2009");
    Info().ManageAccounts();
    auto list = Drain(Files());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].header.nDescPrimary, +Primary::Download);
    EXPECT_EQ(list[0].Reader().Code(), 8);
    EXPECT_EQ(Files().Slot(13).purpose, 1u);
    EXPECT_TRUE(h.dialogs.messages.isEmpty());
}

TEST_F(AdminWindows, ALogDownloadsIntoTheViewerAndASecondDoubleClickCancelsIt) {
    Rights(true, false);
    Show("2009/09", {Entry(2, "01.log")});
    Info().EntryActivated(0);
    auto request = Drain(Files());
    ASSERT_EQ(request.size(), 1u);
    EXPECT_EQ(request[0].header.nDescPrimary, +Primary::Download);
    auto r = request[0].Reader();
    std::string path, name;
    EXPECT_EQ(r.Code(), 7);
    ASSERT_TRUE(r.Str(0, 300, path));
    ASSERT_TRUE(r.Str(0, 300, name));
    EXPECT_EQ(path, "2009/09");
    EXPECT_EQ(name, "01.log");

    // The server starts it: the log is arriving.
    net::MessageWriter start(net::download::kStart);
    start.Int(12).Int(1000).Raw("first", 5);
    DeliverDownload(Files(), start);
    EXPECT_TRUE(Info().Downloading());
    Info().EntryActivated(0);
    auto cancel = Drain(Files());
    ASSERT_EQ(cancel.size(), 1u);
    EXPECT_EQ(cancel[0].header.nDescPrimary, +Primary::Control);
    auto c = cancel[0].Reader();
    int32_t slot = -1;
    EXPECT_EQ(c.Code(), net::control::kCancelTransfer);
    ASSERT_TRUE(c.Int(0, 24, slot));
    EXPECT_EQ(slot, 12);
    EXPECT_FALSE(Info().Downloading());
    EXPECT_EQ(Files().Slot(12).openMode, 0);

    // Any bytes open: invalid UTF-8 shows as replacement characters.
    Info().EntryActivated(0);
    Drain(Files());
    const std::string bytes = "login: bob \xff\xfe ok\n";
    net::MessageWriter whole(net::download::kStart);
    whole.Int(12).Int(static_cast<int32_t>(bytes.size())).Raw(bytes.data(), static_cast<int>(bytes.size()));
    DeliverDownload(Files(), whole);
    EXPECT_FALSE(Info().Downloading());
    ASSERT_NE(module->LogViewer(), nullptr);
    EXPECT_TRUE(module->LogViewer()->Text().startsWith(
        QString::fromUtf8("login: bob \xef\xbf\xbd\xef\xbf\xbd ok")));
    EXPECT_EQ(module->LogViewer()->Path().toStdString(), h.DataFile(AdminModule::kLogFile));
}

TEST_F(AdminWindows, WhichButtonsASelectionEnables) {
    using E = std::array<bool, kActionCount>;
    Rights(false, false);
    ASSERT_TRUE(Accounts().LoadAndShow(WriteList(kList)));
    ASSERT_EQ(Accounts().Records().rowCount(), 5);
    Accounts().SelectRows({0, 1, 2, 3, 4});
    EXPECT_EQ(Enabled(), E{}) << "a regular user";

    Rights(true, false);
    Accounts().UpdateButtons();
    // Only the rank below: bob and dave.
    EXPECT_EQ(Enabled(), (E{true, false, true, true, true, true}));
    Accounts().SelectRows({RowOf("admin"), RowOf("erin")});
    EXPECT_EQ(Enabled(), E{}) << "an admin selecting only admins";
    Accounts().SelectRows({RowOf("bob"), RowOf("root")});
    EXPECT_EQ(Enabled(), (E{true, false, true, true, true, false}));
    Accounts().SelectRows({});
    EXPECT_EQ(Enabled(), E{}) << "nothing selected";

    Rights(false, true);
    Accounts().SelectRows({RowOf("erin")});
    EXPECT_EQ(Enabled(), (E{false, true, false, true, true, false})) << "root selecting an admin";
}

TEST_F(AdminWindows, DeleteAsksThenWritesEverySelectedAccountAndUploadsTheAction) {
    Rights(true, false);
    ASSERT_TRUE(Accounts().LoadAndShow(WriteList(kList)));
    Accounts().SelectRows({RowOf("root"), RowOf("bob")});
    ASSERT_TRUE(Accounts().Button(kDelete)->isEnabled());

    h.dialogs.answers.push_back(ui::MsgAnswer::No);
    Accounts().Button(kDelete)->click();
    EXPECT_EQ(h.dialogs.Last().title, "Caution");
    EXPECT_EQ(h.dialogs.Last().text, "Are you sure you wish to delete the selected account(s)?");
    EXPECT_EQ(h.dialogs.Last().buttons, ui::MsgButtons::YesNo);
    EXPECT_TRUE(Drain(Files()).empty());

    Accounts().Button(kDelete)->click();
    std::ifstream file(h.DataFile("files/local/account/manage/listusername"), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    // Display order: by full name, Bob Baker before Ruth Root.
    EXPECT_EQ(text.str(), "bob\nroot\n");
    auto upload = Drain(Files());
    ASSERT_EQ(upload.size(), 1u);
    EXPECT_EQ(upload[0].header.nDescPrimary, +Primary::Upload);
    auto r = upload[0].Reader();
    int32_t size = 0, action = -1;
    EXPECT_EQ(r.Code(), 4);
    ASSERT_TRUE(r.Int(-1, -1, size));
    ASSERT_TRUE(r.Int(-1, -1, action));
    EXPECT_EQ(size, 9);
    EXPECT_EQ(action, kDelete);
}

TEST_F(AdminWindows, TheListSortsByHeaderWithUnknownLastLoginsLastAndSkipsLongLines) {
    Rights(true, false);
    const std::string longLine = "long;" + std::string(520, 'x') + ";1;1;0;0;2;\n";
    ASSERT_TRUE(Accounts().LoadAndShow(WriteList(std::string(kList) + longLine)));
    ASSERT_EQ(Accounts().Records().rowCount(), 5) << "the over-long line is skipped whole";
    // At first by full name ascending.
    EXPECT_EQ(Accounts().Records().RecordAt(0)->username, "admin");
    EXPECT_EQ(Accounts().Records().RecordAt(4)->username, "root");
    EXPECT_EQ(Accounts().List()->header()->sortIndicatorSection(), contacts::kColumnFullName);

    QHeaderView* header = Accounts().List()->header();
    emit header->sectionClicked(contacts::kColumnLastLogin);  // descending first
    EXPECT_EQ(Accounts().Records().RecordAt(4)->username, "root");
    emit header->sectionClicked(contacts::kColumnLastLogin);  // then ascending
    EXPECT_EQ(Accounts().Records().RecordAt(0)->username, "root");
    // Dave and erin have never logged in: last, in their earlier order, shown as "-".
    EXPECT_EQ(Accounts().Records().RecordAt(3)->username, "dave");
    EXPECT_EQ(Accounts().Records().RecordAt(4)->username, "erin");
    EXPECT_EQ(Accounts().Records().index(4, contacts::kColumnLastLogin).data().toString(), "-");
    for (int c = 0; c < contacts::kAccountColumnCount; ++c)
        EXPECT_EQ(Accounts().List()->columnWidth(c), contacts::CListAccountRecords::kWidths[c]);
}

TEST_F(AdminWindows, AnUnreadableListIsReportedAndTheOldOneStays) {
    Rights(true, false);
    ASSERT_TRUE(Accounts().LoadAndShow(WriteList(kList)));
    EXPECT_FALSE(Accounts().LoadAndShow(h.DataFile("files/remote/listaccount/missing")));
    EXPECT_EQ(h.dialogs.Last().text, "Failed to open account list file with read access");
    EXPECT_EQ(h.dialogs.Last().title, "Error");
    EXPECT_EQ(Accounts().Records().rowCount(), 5);
}

}  // namespace
}  // namespace admin
