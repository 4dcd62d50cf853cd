// The reader against scripted server answers: which requests an opening
// sends, answers that belong to an earlier opening, and saving an attachment
// that the server refuses or that a drop interrupts.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "app/AppHarness.h"
#include "mailbox/AttachmentProgressDlgs.h"
#include "mailbox/ListMessage.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxMessageDlg.h"
#include "mailbox/MailboxModule.h"
#include "net/RoutingTestSupport.h"
#include "ui/ServerResponseDlg.h"

namespace mailbox {
namespace {

using net::Primary;
using net::Secondary;

constexpr char kFolders[] = "MAILBOX_ROOTDIR_INBOX\nPrimary 2 Primary\n";
constexpr char kMessages[] = "12 999999 1 alice 1700000000 Hello\n13 4 1 bob 1700000100 Figures\n";

class MailReaderWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        h = std::make_unique<apptest::AppHarness>();
        auto* module = h->state->FindModule<MailboxModule>();
        box = module->Window();
        reader = module->Reader();
        box->OpenMailbox();
        Serve(15, kFolders);
        Serve(16, kMessages);
        Sent();
    }

    net::Client& Client() { return h->state->Client(); }
    void Serve(int32_t slot, const std::string& bytes) {
        net::MessageWriter m(net::download::kStart);
        m.Int(slot)
            .Int(static_cast<int32_t>(bytes.size()))
            .Raw(bytes.data(), static_cast<int>(bytes.size()));
        Route(m, Primary::Download);
    }
    // A file larger than one message: a start, then data messages.
    void ServeInParts(int32_t slot, const std::string& bytes) {
        constexpr size_t kPart = 30000;
        net::MessageWriter start(net::download::kStart);
        const size_t first = std::min(kPart, bytes.size());
        start.Int(slot)
            .Int(static_cast<int32_t>(bytes.size()))
            .Raw(bytes.data(), static_cast<int>(first));
        Route(start, Primary::Download);
        for (size_t at = first; at < bytes.size(); at += kPart) {
            const size_t n = std::min(kPart, bytes.size() - at);
            net::MessageWriter data(net::download::kData);
            data.Int(slot).Raw(bytes.data() + at, static_cast<int>(n));
            Route(data, Primary::Download);
        }
    }
    void Refuse(int32_t slot) {
        net::MessageWriter m(net::download::kRefused);
        m.Int(slot);
        Route(m, Primary::Download);
    }
    void AttachmentName(const std::string& name) {
        net::MessageWriter m(9);
        m.Str(name);
        Route(m, Primary::Mailbox);
    }
    void Route(net::MessageWriter& m, Primary p) {
        const net::bufHeader header =
            routingtest::Receive(Client().FileServer(), m, p, +Secondary::Response);
        Client().router().RouteMsg(Client().FileServer(), header);
    }
    // The requests queued since the last look, as "primary/code".
    std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (const auto& s : routingtest::Drain(Client().FileServer())) {
            out.push_back(std::to_string(s.header.nDescPrimary) + "/" +
                          std::to_string(s.Reader().Code()));
        }
        return out;
    }
    int RowOf(const QString& subject) {
        for (int r = 0; r < box->List()->model()->rowCount(); ++r) {
            if (box->List()->model()->index(r, 1).data().toString() == subject) return r;
        }
        return -1;
    }
    // Opens "Figures" and answers until the reader is up.
    void OpenFigures() {
        box->OpenMessage(RowOf("Figures"));
        AttachmentName("../../.bashrc\n");
        Serve(22, "0 alice alice\n");
        Serve(23, "Attached.");
        Sent();
        ASSERT_TRUE(testsupport::SpinUntil([&] { return reader->isVisible(); }));
    }

    std::unique_ptr<apptest::AppHarness> h;
    CMailboxDlg* box = nullptr;
    CMailboxMessageDlg* reader = nullptr;
};

TEST_F(MailReaderWindow, AMessageWithoutAttachmentOpensWithNoMailboxRequest) {
    box->OpenMessage(RowOf("Hello"));
    EXPECT_EQ(Sent(), std::vector<std::string>{"3/12"});
    Serve(22, "0 bob bob\n1 ab12cd Team Alpha\n7 x ignored\n");
    EXPECT_EQ(Sent(), std::vector<std::string>{"3/13"});
    Serve(23, "Hi there,\r\nsee you.");
    ASSERT_TRUE(testsupport::SpinUntil([&] { return reader->isVisible(); }));
    EXPECT_EQ(reader->FromField()->text(), "alice");
    EXPECT_EQ(reader->ToField()->text(), "bob, (Team Alpha)");
    EXPECT_EQ(reader->SubjectField()->text(), "Hello");
    EXPECT_EQ(reader->BodyField()->toPlainText(), "Hi there,\nsee you.");
    EXPECT_TRUE(reader->AttachmentField()->text().isEmpty());
    EXPECT_FALSE(reader->DownloadButton()->isEnabled());
    EXPECT_EQ(Sent(), std::vector<std::string>{});
}

TEST_F(MailReaderWindow, ALongBodyAndAManyRecipientListAreShownWhole) {
    // Longer than any one text conversion may be, as the whole.
    std::string body;
    for (int i = 0; body.size() < 100000; ++i)
        body += "Line " + std::to_string(i) + " \xC3\xA9\r\n";
    std::string list;
    for (int i = 0; i < 5000; ++i)
        list += "0 user" + std::to_string(10000 + i) + " user" + std::to_string(10000 + i) + "\n";
    box->OpenMessage(RowOf("Hello"));
    ServeInParts(22, list);
    ServeInParts(23, body);
    ASSERT_TRUE(testsupport::SpinUntil([&] { return reader->isVisible(); }));
    EXPECT_EQ(reader->ToField()->text().size(), 5000 * 11 - 2);
    EXPECT_TRUE(reader->ToField()->text().endsWith("user14999"));
    const QString shown = reader->BodyField()->toPlainText();
    EXPECT_GT(shown.size(), 80000);
    EXPECT_TRUE(shown.startsWith(QString::fromUtf8("Line 0 \xC3\xA9\nLine 1")));
}

TEST_F(MailReaderWindow, AnswersForAnEarlierOpeningAreIgnored) {
    // Figures opened twice: only the second answer counts.
    box->OpenMessage(RowOf("Figures"));
    box->OpenMessage(RowOf("Figures"));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"14/4", "14/4"}));
    AttachmentName("first.bin\n");
    EXPECT_EQ(Sent(), std::vector<std::string>{});
    AttachmentName("second.bin\n");
    EXPECT_EQ(Sent(), std::vector<std::string>{"3/12"});
    EXPECT_EQ(reader->AttachmentName(), "second.bin");
    // A stray 9 with nothing asked changes nothing.
    AttachmentName("stray.bin\n");
    EXPECT_EQ(reader->AttachmentName(), "second.bin");

    // Hello is opened while Figures' list is still on its way: its own list
    // goes out once that one is in, and Figures' list leads nowhere.
    box->OpenMessage(RowOf("Hello"));
    EXPECT_EQ(Sent(), std::vector<std::string>{});
    Serve(22, "0 alice alice\n");
    EXPECT_EQ(Sent(), std::vector<std::string>{"3/12"});
    Serve(22, "0 carol carol\n");
    EXPECT_EQ(Sent(), std::vector<std::string>{"3/13"});
    Serve(23, "Hello body");
    ASSERT_TRUE(testsupport::SpinUntil([&] { return reader->isVisible(); }));
    EXPECT_EQ(reader->SubjectField()->text(), "Hello");
    EXPECT_EQ(reader->ToField()->text(), "carol");
    EXPECT_EQ(reader->BodyField()->toPlainText(), "Hello body");
    EXPECT_FALSE(reader->DownloadButton()->isEnabled());
}

TEST_F(MailReaderWindow, AMissingListOrBodyIsAMessageDeletedBySender) {
    box->OpenMessage(RowOf("Hello"));
    Refuse(22);
    auto& response = h->state->ServerResponseWindow();
    EXPECT_EQ(response.Text(),
              ui::ServerResponseText("Message deleted by sender",
                                     "File containing list of recipients could not be found"));
    box->OpenMessage(RowOf("Hello"));
    Serve(22, "0 carol carol\n");
    Refuse(23);
    EXPECT_EQ(response.Text(),
              ui::ServerResponseText("Message deleted by sender",
                                     "File containing the message could not be found"));
    EXPECT_FALSE(reader->isVisible());
}

TEST_F(MailReaderWindow, ARefusedOrInterruptedSaveLeavesTheChosenFileAsItWas) {
    OpenFigures();
    EXPECT_EQ(reader->AttachmentField()->text(), "../../.bashrc");
    const std::string target = h->home.path() + "/kept";
    {
        std::ofstream out(target, std::ios::binary);
        out << "older";
    }
    // The server's name, made plain, is what the dialog proposes.
    h->dialogs.fileNames.push_back(QString::fromStdString(target));
    reader->DownloadButton()->click();
    EXPECT_EQ(h->dialogs.files.back().path, "x.bashrc");
    EXPECT_EQ(Sent(), std::vector<std::string>{"3/14"});
    const auto leftovers = [&] {
        int n = 0;
        for (const auto& entry : std::filesystem::directory_iterator(h->home.path())) {
            n += entry.path().filename().string().rfind("kept.", 0) == 0;
        }
        return n;
    };
    const std::string temp = reader->DownloadTempPath();
    EXPECT_EQ(std::filesystem::path(temp).parent_path(),
              std::filesystem::path(target).parent_path());
    Refuse(24);
    EXPECT_FALSE(reader->Downloading());
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_FALSE(reader->DownloadWindow().isVisible());
    EXPECT_EQ(h->state->ServerResponseWindow().Text(),
              ui::ServerResponseText("Attachment deleted by sender",
                                     "File containing the attachment could not be found"));
    std::string kept;
    ASSERT_TRUE(ReadWholeFile(target, kept));
    EXPECT_EQ(kept, "older");
    EXPECT_EQ(leftovers(), 0);

    // Part of it arrived, then the connection dropped (its windows hide).
    h->dialogs.fileNames.push_back(QString::fromStdString(target));
    reader->DownloadButton()->click();
    net::MessageWriter start(net::download::kStart);
    start.Int(24).Int(100).Raw("half", 4);
    Route(start, Primary::Download);
    EXPECT_EQ(reader->DownloadWindow().Percent(), 4);
    reader->DownloadWindow().hide();
    EXPECT_FALSE(reader->Downloading());
    EXPECT_EQ(Sent(), (std::vector<std::string>{"3/14", "0/1"})) << "the request, then the cancel";
    ASSERT_TRUE(ReadWholeFile(target, kept));
    EXPECT_EQ(kept, "older");
    EXPECT_EQ(leftovers(), 0);

    // Whole: the chosen file is replaced.
    h->dialogs.fileNames.push_back(QString::fromStdString(target));
    reader->DownloadButton()->click();
    Serve(24, "new contents");
    EXPECT_FALSE(reader->Downloading());
    ASSERT_TRUE(ReadWholeFile(target, kept));
    EXPECT_EQ(kept, "new contents");
    EXPECT_EQ(leftovers(), 0);
}

}  // namespace
}  // namespace mailbox
