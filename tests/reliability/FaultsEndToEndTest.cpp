// The whole client against a network that misbehaves: for each fault the
// user sees the outcome the connection's end calls for, no transfer slot
// stays taken, no half-received file sits under its final name, and the
// user can log in again in the same run.

#include <gtest/gtest.h>

#include <algorithm>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/AppHarness.h"
#include "mailbox/AttachmentProgressDlgs.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxMessageDlg.h"
#include "mailbox/MailboxModule.h"
#include "server/mailbox/MailboxService.h"
#include "shell/MainDlg.h"
#include "signin/AuthenticatingDlg.h"
#include "signin/LoginDlg.h"
#include "net/MsgNetwork.h"
#include "net/Transfers.h"
#include "server/core/Faults.h"
#include "server/core/TransferEngine.h"
#include "server/documents/DocumentsService.h"
#include "ui/FixedButton.h"
#include "ui/ServerResponseDlg.h"
#include "support/qt/LocalNetworkFixture.h"

using apptest::AppHarness;
using testsupport::LocalNetworkFixture;
using testsupport::SpinUntil;

namespace {

constexpr char kDropped[] = "No longer connected to 1234567";
constexpr int kDocumentUploadSlot = 0;
constexpr int kDocumentDownloadSlot = 1;

class FaultsEndToEnd : public ::testing::Test {
  protected:
    void StartWith(const char* spec) {
        if (spec) {
            QString error;
            ASSERT_TRUE(localnet::ParseFaults(spec, network.Options().faults, &error))
                << error.toStdString();
        }
        ASSERT_TRUE(network.Start());
        h = std::make_unique<AppHarness>(network.Endpoints());
    }
    void TearDown() override { h.reset(); }

    signin::CAuthenticatingDlg& Auth() { return h->state->AuthenticatingWindow(); }
    shell::CzorvicDlg& Main() { return h->state->MainWindow(); }

    void LogIn() { h->ConfirmLogin(user_, password_); }
    void LogInAs(const QString& user, const QString& password) {
        user_ = user;
        password_ = password;
        LogIn();
    }
    // A request of a family nothing else uses while logged in: the faults
    // limited to its answers start only when the test says so.
    void AskForNetworkInformation() {
        auto& client = h->state->Client();
        ASSERT_TRUE(net::SendNetworkInformationRequest(client.NetworkServer(), client.Number(), "/"));
    }
    bool LoggedIn() {
        return SpinUntil([&] { return Main().isVisible(); });
    }
    // The login ended without the main window: the picture it shows.
    int LoginResult() {
        EXPECT_TRUE(SpinUntil([&] { return Auth().isVisible() && !Auth().InProgress(); }));
        return Auth().Picture();
    }
    bool ConnectionsIdle() {
        auto& c = h->state->Client();
        return SpinUntil([&] {
            return c.NetworkServer().State() == net::kStateIdle &&
                   c.FileServer().State() == net::kStateIdle;
        });
    }
    // After the drop routine: one message, the login window back.
    void ExpectDropRoutine() {
        ASSERT_TRUE(SpinUntil([&] { return h->dialogs.Texts().contains(kDropped); }));
        ASSERT_TRUE(SpinUntil([&] { return h->state->LoginWindow().isVisible(); }));
        EXPECT_FALSE(Main().isVisible());
        EXPECT_TRUE(ConnectionsIdle());
        EXPECT_EQ(h->dialogs.Texts().count(kDropped), 1);
        EXPECT_EQ(h->dialogs.Last().title, "Connection Dropped");
    }
    void ExpectSlotsFree() {
        auto& c = h->state->Client();
        for (net::Connection* connection : {&c.NetworkServer(), &c.FileServer()})
            for (int i = 0; i < net::kSlotCount; ++i) {
                auto& slot = connection->Slot(i);
                auto lock = slot.Lock();
                EXPECT_FALSE(slot.Busy()) << "slot " << i;
                EXPECT_EQ(slot.file, nullptr) << "slot " << i;
            }
        EXPECT_EQ(network.Network().Transfers().ActiveUploads(), 0);
        EXPECT_TRUE(SpinUntil([&] { return network.Network().Transfers().ActiveDownloads() == 0; }));
    }
    // Files of the client that a transfer left half-written.
    QStringList PartialFiles() {
        QStringList found;
        QDirIterator it(QString::fromStdString(h->home.path()), QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.endsWith(".partial")) found << path;
        }
        return found;
    }
    // The faults are lifted and the same program logs in again.
    void LogInAgainWithoutFaults() {
        network.Network().SetFaults({});
        if (Auth().isVisible()) Auth().Button()->click();
        ASSERT_TRUE(SpinUntil([&] { return h->state->LoginWindow().isVisible(); }));
        ASSERT_TRUE(ConnectionsIdle());
        h->dialogs.Clear();
        LogIn();
        ASSERT_TRUE(LoggedIn());
        EXPECT_EQ(h->state->Client().NetworkServer().State(), net::kStateLoggedIn);
        EXPECT_TRUE(h->dialogs.messages.isEmpty()) << h->dialogs.Last().text.toStdString();
    }

    // A document of alice's on the server, sent by the client itself.
    void UploadDocument(const QString& name, qsizetype size) {
        const QString local = QString::fromStdString(h->home.path()) + "/" + name;
        QFile f(local);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes(size, '\0');
        for (qsizetype i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7);
        f.write(bytes);
        f.close();
        auto& file = h->state->Client().FileServer();
        ASSERT_TRUE(net::StartUpload(file, kDocumentUploadSlot, local.toStdString(),
                                     {"/", name.toStdString()}));
        ASSERT_TRUE(SpinUntil([&] {
            auto& slot = file.Slot(kDocumentUploadSlot);
            auto lock = slot.Lock();
            return !slot.Busy() && network.Network().Transfers().ActiveUploads() == 0;
        }));
    }

    localnet::DocumentsService& Documents() {
        for (const auto& service : network.Network().AllServices())
            if (auto* d = dynamic_cast<localnet::DocumentsService*>(service.get())) return *d;
        ADD_FAILURE() << "no documents service";
        std::abort();
    }
    // Alice's document as the server keeps it; empty when there is none.
    QString StoredDocument(const QString& name) {
        const QString path = network.Network().GetStore().ResolvePath(
            localnet::DocumentsService::FilePath("1234567", "alice", "/", name));
        return QFile::exists(path) ? path : QString();
    }
    // Files under the server's data folder whose name starts so: a document
    // under its own name, or bytes of it gathered aside.
    QStringList ServerFilesNamed(const QString& name) {
        QStringList found;
        QDirIterator it(network.Network().GetStore().DataDir(), {name + "*"}, QDir::Files | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) found << it.next();
        return found;
    }
    QString LocalFile(const QString& name, qsizetype size) {
        const QString local = QString::fromStdString(h->home.path()) + "/" + name;
        QFile f(local);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'u'));
        return local;
    }

    LocalNetworkFixture network;
    std::unique_ptr<AppHarness> h;
    QString user_ = "alice";
    QString password_ = "alicepass";
};

// One kind of transfer under one fault.
struct TransferUnderFault {
    const char* name;
    const char* faults;
};

void PrintTo(const TransferUnderFault& c, std::ostream* os) {
    *os << c.name << " under " << c.faults;
}

class FaultsDuringTransfers : public FaultsEndToEnd,
                              public ::testing::WithParamInterface<TransferUnderFault> {};

// A fault in the middle of a transfer: the drop routine, every slot free,
// nothing under a final name on either side, then the same transfer
// completes once the user is back in.
TEST_P(FaultsDuringTransfers, EndCleanlyAndCanBeRepeated) {
    const std::string what = GetParam().name;
    StartWith(GetParam().faults);
    LogIn();
    ASSERT_TRUE(LoggedIn());
    const std::string target = h->DataFile("fetched.bin");
    const QString upload = LocalFile("up.bin", 300 * 1024);
    if (what == "document download") UploadDocument("big.bin", 200 * 1024);
    const auto start = [&] {
        auto& file = h->state->Client().FileServer();
        if (what == "document download")
            return net::StartDownload(file, kDocumentDownloadSlot, target, 0,
                                      {"alice", "/", "big.bin", ""});
        if (what == "document upload")
            return net::StartUpload(file, kDocumentUploadSlot, upload.toStdString(),
                                    {"/", "up.bin"});
        return net::StartDownload(file, net::poll::kPollFileSlot, target, 0,
                                  {"demo01", "alice", int32_t(1), int32_t(1)});
    };
    const auto finished = [&] {
        if (what == "document download")
            return QFile(QString::fromStdString(target)).size() == 200 * 1024;
        if (what == "document upload") {
            const QString stored = StoredDocument("up.bin");
            return !stored.isEmpty() && QFile(stored).size() == 300 * 1024;
        }
        return QFile(QString::fromStdString(target)).size() > 0;
    };

    // The fault waits for this transfer: nothing of the login set it off.
    ASSERT_FALSE(SpinUntil([&] { return h->dialogs.Texts().contains(kDropped); },
                           std::chrono::milliseconds(200)));
    ASSERT_TRUE(start());
    ExpectDropRoutine();
    ExpectSlotsFree();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(target)));
    EXPECT_TRUE(PartialFiles().isEmpty()) << PartialFiles().join(' ').toStdString();
    EXPECT_TRUE(ServerFilesNamed("up.bin").isEmpty())
        << ServerFilesNamed("up.bin").join(' ').toStdString();
    // Bytes the server gathered for a cut-off upload are gone too.
    EXPECT_TRUE(SpinUntil([&] {
        return QDir(network.Network().GetStore().DataDir() + "/placing")
            .entryList(QDir::Files | QDir::Hidden)
            .isEmpty();
    }));

    LogInAgainWithoutFaults();
    ASSERT_TRUE(start());
    EXPECT_TRUE(SpinUntil(finished));
    ExpectSlotsFree();
    EXPECT_TRUE(PartialFiles().isEmpty());
}

// Downloads are faulted on their own messages after the first (the start)
// has arrived; the poll file fits in its start message, so that one is
// faulted; an upload's only answer is its go-ahead.
INSTANTIATE_TEST_SUITE_P(
    , FaultsDuringTransfers,
    ::testing::Values(TransferUnderFault{"document download", "server=file,only=3,drop-after=1"},
                      TransferUnderFault{"document download", "server=file,only=3,cut-after=1"},
                      TransferUnderFault{"document download", "server=file,only=3,garbage-after=1"},
                      TransferUnderFault{"document upload", "server=file,only=2,drop-after=1"},
                      TransferUnderFault{"document upload", "server=file,only=2,cut-after=0"},
                      TransferUnderFault{"document upload", "server=file,only=2,garbage-after=0"},
                      TransferUnderFault{"poll file download", "server=file,only=3,drop-after=0"},
                      TransferUnderFault{"poll file download", "server=file,only=3,cut-after=0"},
                      TransferUnderFault{"poll file download", "server=file,only=3,garbage-after=0"}));

// Bob saves an attachment alice sent him, the way a user does: the mailbox,
// the message, "Download...", a file chosen in the save dialog.
class FaultsDuringAttachmentDownload : public FaultsEndToEnd,
                                       public ::testing::WithParamInterface<const char*> {
  protected:
    static constexpr qsizetype kAttachmentBytes = 200 * 1024;

    void SendBobAnAttachment() {
        localnet::MailboxService* service = nullptr;
        for (const auto& s : network.Network().AllServices())
            if (auto* m = dynamic_cast<localnet::MailboxService*>(s.get())) service = m;
        ASSERT_NE(service, nullptr);
        attachment_.resize(kAttachmentBytes);
        for (qsizetype i = 0; i < kAttachmentBytes; ++i)
            attachment_[i] = static_cast<char>((i * 13 + i / 4096) & 0xFF);
        localnet::MailboxService::Delivery d;
        d.number = "1234567";
        d.sender = "alice";
        d.recipients = {"bob"};
        d.subject = "Figures";
        d.body = "The figures are attached.";
        d.hasAttachment = true;
        d.attachmentName = "figures.bin";
        d.attachment = attachment_;
        QString error;
        ASSERT_TRUE(service->Deliver(d, nullptr, &error)) << error.toStdString();
    }
    mailbox::MailboxModule& Mail() { return *h->state->FindModule<mailbox::MailboxModule>(); }
    mailbox::CMailboxMessageDlg& Reader() { return *Mail().Reader(); }
    // Opens the mailbox and the message; the reader comes up with the
    // attachment's name.
    void OpenTheMessage() {
        Main().ToolButton(shell::Tool::Mail)->click();
        mailbox::CMailboxDlg& box = *Mail().Window();
        ASSERT_TRUE(SpinUntil([&] { return box.isVisible() && box.List()->model()->rowCount() > 0; }));
        box.OpenMessage(0);
        ASSERT_TRUE(SpinUntil([&] { return Reader().isVisible(); }));
        ASSERT_EQ(Reader().AttachmentField()->text(), "figures.bin");
        ASSERT_TRUE(Reader().DownloadButton()->isEnabled());
    }
    void SaveTheAttachment() {
        h->dialogs.fileNames.push_back(target_);
        Reader().DownloadButton()->click();
        ASSERT_TRUE(Reader().Downloading());
        ASSERT_TRUE(Reader().DownloadWindow().isVisible());
    }
    // Files beside the chosen one: the attachment itself or its bytes
    // gathered under a passing name.
    QStringList FilesOfTheTarget() {
        QStringList found;
        QDirIterator it(QString::fromStdString(h->home.path()), {"saved.bin*"},
                        QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) found << it.next();
        return found;
    }

    QByteArray attachment_;
    QString target_;
};

// The fault strikes after the attachment's first bytes are on disk: the drop
// routine, the progress window gone, every slot free, nothing under the
// chosen name nor beside it; logged in again, the same save completes.
TEST_P(FaultsDuringAttachmentDownload, EndsCleanlyAndTheSaveCanBeRepeated) {
    StartWith(GetParam());
    SendBobAnAttachment();
    target_ = QString::fromStdString(h->home.path()) + "/saved.bin";
    LogInAs("bob", "bobpass");
    ASSERT_TRUE(LoggedIn());
    OpenTheMessage();
    // The lists and the message came through untouched: the fault waits for
    // the attachment.
    ASSERT_FALSE(SpinUntil([&] { return h->dialogs.Texts().contains(kDropped); },
                           std::chrono::milliseconds(200)));
    int shown = 0;
    QObject::connect(Reader().DownloadWindow().Bar(), &QProgressBar::valueChanged,
                     [&](int v) { shown = std::max(shown, v); });
    SaveTheAttachment();

    ExpectDropRoutine();
    // Some of the attachment had arrived when the connection went.
    EXPECT_GT(shown, 0);
    EXPECT_FALSE(Reader().Downloading());
    EXPECT_FALSE(Reader().DownloadWindow().isVisible());
    ExpectSlotsFree();
    EXPECT_TRUE(FilesOfTheTarget().isEmpty()) << FilesOfTheTarget().join(' ').toStdString();
    EXPECT_TRUE(PartialFiles().isEmpty()) << PartialFiles().join(' ').toStdString();

    LogInAgainWithoutFaults();
    OpenTheMessage();
    SaveTheAttachment();
    ASSERT_TRUE(SpinUntil([&] { return !Reader().Downloading(); }));
    EXPECT_FALSE(Reader().DownloadWindow().isVisible());
    QFile saved(target_);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll() == attachment_);
    EXPECT_EQ(FilesOfTheTarget(), QStringList{target_});
    ExpectSlotsFree();
    EXPECT_TRUE(h->dialogs.messages.isEmpty()) << h->dialogs.Last().text.toStdString();
}

// Opening the mailbox and the message takes four downloads of one message
// each (folder list, message list, recipient list, body); the attachment's
// start is the fifth, so each fault strikes its first data message.
INSTANTIATE_TEST_SUITE_P(, FaultsDuringAttachmentDownload,
                         ::testing::Values("server=file,only=3,drop-after=5",
                                           "server=file,only=3,cut-after=5",
                                           "server=file,only=3,garbage-after=5"));

// Refusals come from their real causes and show their texts; the user stays
// logged in and nothing is kept.
TEST_F(FaultsEndToEnd, RefusedTransfersShowTheirTextAndKeepNothing) {
    StartWith(nullptr);
    auto limits = Documents().GetLimits();
    limits.maxFileBytes = 1000;
    Documents().SetLimits(limits);
    LogIn();
    ASSERT_TRUE(LoggedIn());
    auto& file = h->state->Client().FileServer();
    ASSERT_TRUE(net::StartUpload(file, kDocumentUploadSlot, LocalFile("huge.bin", 4000).toStdString(),
                                 {"/", "huge.bin"}));
    ASSERT_TRUE(SpinUntil([&] {
        return h->state->ServerResponseWindow().Text().contains(
            "File size exceeds the maximum allowed for your account");
    }));
    ExpectSlotsFree();
    EXPECT_TRUE(ServerFilesNamed("huge.bin").isEmpty());

    const std::string target = h->DataFile("missing.bin");
    ASSERT_TRUE(net::StartDownload(file, kDocumentDownloadSlot, target, 0,
                                   {"alice", "/", "missing.bin", ""}));
    ASSERT_TRUE(SpinUntil([&] {
        return h->state->ServerResponseWindow().Text().contains("Unable to retrieve document");
    }));
    ExpectSlotsFree();
    EXPECT_TRUE(PartialFiles().isEmpty());
    EXPECT_TRUE(Main().isVisible());
    EXPECT_FALSE(h->dialogs.Texts().contains(kDropped));
}

TEST_F(FaultsEndToEnd, DropWhileLoggedInRunsTheDropRoutineOnce) {
    StartWith("server=network,only=6,drop-after=1");
    LogIn();
    ASSERT_TRUE(LoggedIn());
    AskForNetworkInformation();
    ExpectDropRoutine();
    ExpectSlotsFree();
    LogInAgainWithoutFaults();
}

TEST_F(FaultsEndToEnd, DropDuringLoginShowsTheClosedPicture) {
    StartWith("drop-after=0");
    LogIn();
    EXPECT_EQ(LoginResult(), signin::CAuthenticatingDlg::kClosedByServer);
    EXPECT_EQ(Auth().Button()->text(), "OK");
    EXPECT_FALSE(Main().isVisible());
    EXPECT_TRUE(h->dialogs.messages.isEmpty());
    ExpectSlotsFree();
    LogInAgainWithoutFaults();
}

TEST_F(FaultsEndToEnd, GarbageWhileLoggedInEndsTheConnection) {
    // The garbage stands in for the answer to a request the test sends once
    // the main window is up; a count over the login's own messages could land
    // before the window shows on a loaded machine.
    StartWith("server=network,only=6,garbage-after=0");
    LogIn();
    ASSERT_TRUE(LoggedIn());
    AskForNetworkInformation();
    ExpectDropRoutine();
    LogInAgainWithoutFaults();
}

TEST_F(FaultsEndToEnd, MessageCutDuringADownloadLeavesNoFile) {
    // Only the download's own messages count: its second is cut in half.
    StartWith("server=file,only=3,cut-after=1");
    LogIn();
    ASSERT_TRUE(LoggedIn());
    UploadDocument("big.bin", 200 * 1024);
    const std::string target = h->DataFile("big.bin");
    auto& file = h->state->Client().FileServer();
    ASSERT_TRUE(net::StartDownload(file, kDocumentDownloadSlot, target, 0,
                                   {"alice", "/", "big.bin", ""}));
    ExpectDropRoutine();
    ExpectSlotsFree();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(target)));
    EXPECT_TRUE(PartialFiles().isEmpty()) << PartialFiles().join(' ').toStdString();

    // Without the fault the same download completes under its name.
    LogInAgainWithoutFaults();
    ASSERT_TRUE(net::StartDownload(h->state->Client().FileServer(), kDocumentDownloadSlot, target,
                                   0, {"alice", "/", "big.bin", ""}));
    ASSERT_TRUE(SpinUntil([&] { return QFile(QString::fromStdString(target)).size() == 200 * 1024; }));
    EXPECT_TRUE(PartialFiles().isEmpty());
}

TEST_F(FaultsEndToEnd, DropAfterTheUploadGoAheadFreesTheSlot) {
    StartWith("server=file,only=2,drop-after=1");
    LogIn();
    ASSERT_TRUE(LoggedIn());
    const QString local = QString::fromStdString(h->home.path()) + "/up.bin";
    QFile f(local);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(300 * 1024, 'u'));
    f.close();
    ASSERT_TRUE(net::StartUpload(h->state->Client().FileServer(), kDocumentUploadSlot,
                                 local.toStdString(), {"/", "up.bin"}));
    ExpectDropRoutine();
    ExpectSlotsFree();
    LogInAgainWithoutFaults();
}

TEST_F(FaultsEndToEnd, DisconnectNotificationsDuringLoginShowTheirOutcome) {
    StartWith(nullptr);
    struct Case {
        int code;
        int picture;
        const char* message;  // a message box, or null
    };
    const Case cases[] = {
        {0, signin::CAuthenticatingDlg::kClosedByServer, nullptr},
        {2, signin::CAuthenticatingDlg::kClosedByServer, nullptr},
        {3, signin::CAuthenticatingDlg::kClosedByServer, nullptr},
        {6, signin::CAuthenticatingDlg::kRefused, nullptr},
        {7, signin::CAuthenticatingDlg::kRefused, nullptr},
        {5, signin::CAuthenticatingDlg::kClosedByServer,
         "Received disconnect notification from the server\r\nnDescPrimary = 1 nDescSecondary = "
         "1 nResponseCode = 5 szResponse = Disconnected by an injected fault"},
    };
    h->dialogs.defaultYesNo = ui::MsgAnswer::No;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        localnet::FaultSet faults;
        faults.servers = 1u << static_cast<int>(localnet::ServerKind::Network);
        faults.disconnect = true;
        faults.disconnectCode = c.code;
        network.Network().SetFaults(faults);
        h->dialogs.Clear();
        if (Auth().isVisible()) Auth().Button()->click();
        ASSERT_TRUE(ConnectionsIdle());
        LogIn();
        EXPECT_EQ(LoginResult(), c.picture);
        EXPECT_FALSE(Main().isVisible());
        if (c.code == 0) {
            ASSERT_EQ(h->dialogs.messages.size(), 1);
            EXPECT_EQ(h->dialogs.Last().title, "Update Required");
        } else if (c.message) {
            ASSERT_EQ(h->dialogs.messages.size(), 1);
            EXPECT_EQ(h->dialogs.Last().text, c.message);
        } else {
            EXPECT_TRUE(h->dialogs.messages.isEmpty()) << h->dialogs.Last().text.toStdString();
        }
        ExpectSlotsFree();
    }
    LogInAgainWithoutFaults();
}

TEST_F(FaultsEndToEnd, DisconnectNotificationWhileLoggedInThenTheDrop) {
    StartWith("server=network,only=6,disconnect=5,disconnect-after=0");
    LogIn();
    ASSERT_TRUE(LoggedIn());
    AskForNetworkInformation();
    ExpectDropRoutine();
    ASSERT_EQ(h->dialogs.messages.size(), 2);
    EXPECT_TRUE(h->dialogs.messages[0].text.startsWith(
        "Received disconnect notification from the server\r\n"));
    ExpectSlotsFree();
    LogInAgainWithoutFaults();
}

TEST_F(FaultsEndToEnd, StallAndDelayOnlySlowThingsDown) {
    StartWith("delay=20,stall=300,stall-after=1");
    LogIn();
    ASSERT_TRUE(LoggedIn());
    UploadDocument("small.bin", 10 * 1024);
    const std::string target = h->DataFile("small.bin");
    ASSERT_TRUE(net::StartDownload(h->state->Client().FileServer(), kDocumentDownloadSlot, target,
                                   0, {"alice", "/", "small.bin", ""}));
    ASSERT_TRUE(
        SpinUntil([&] { return QFile(QString::fromStdString(target)).size() == 10 * 1024; }));
    EXPECT_TRUE(Main().isVisible());
    // The transfers' own words, and nothing of a connection's end.
    EXPECT_TRUE(h->dialogs.Texts().contains("Download Complete"));
    for (const QString& text : h->dialogs.Texts())
        EXPECT_TRUE(text == "Download Complete" || text == "Upload Complete") << text.toStdString();
    ExpectSlotsFree();
}

}  // namespace
