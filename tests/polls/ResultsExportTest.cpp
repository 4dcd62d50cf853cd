// "Export to CSV..." in the results window's context menu: the bytes that
// reach the chosen file, and what a cancelled or failed export does.

#include <gtest/gtest.h>

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMenu>

#include "app/AppHarness.h"
#include "net/Client.h"
#include "net/Transfers.h"
#include "polls/PollResultsDlg.h"
#include "polls/PollsModule.h"
#include "polls/model/PollFiles.h"
#include "shell/MainDlg.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"

namespace polls {
namespace {

using testsupport::SpinUntil;

class ResultsExport : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(network.Start());
        h = std::make_unique<apptest::AppHarness>(network.Endpoints());
        h->ConfirmLogin("alice", "alicepass");
        ASSERT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
        results = h->state->FindModule<PollsModule>()->Results();
    }
    void TearDown() override {
        h.reset();
        network.Stop();
    }
    // The results file as the download leaves it, then the window reads it.
    void Arrive(const std::vector<CPollQuestion>& questions, const std::vector<CBallot>& ballots) {
        std::string poll = WritePollBytes(questions);
        MaskBytes(poll);
        const std::string path =
            net::PrepareTransferFile(h->state->Client().DataDirectory(), kResultsFile);
        ASSERT_TRUE(WriteWholeFile(path, MakeResultsBytes(poll, WriteBallotsBytes(ballots))));
        results->SetPoll("alice", 0);
        results->ResultsArrived();
        ASSERT_TRUE(SpinUntil([&] { return results->isVisible(); }));
    }
    // A right click on the window, then the menu's export entry.
    void RightClickExport() {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                                results->mapToGlobal(QPoint(20, 20)));
        QCoreApplication::sendEvent(results, &event);
        ASSERT_TRUE(results->ContextMenu()->isVisible());
        ASSERT_EQ(results->ContextMenu()->actions().size(), 1);
        QAction* action = results->ContextMenu()->actions().front();
        EXPECT_EQ(action->text(), "Export to CSV...");
        ASSERT_TRUE(action->isEnabled());
        results->ContextMenu()->hide();
        action->trigger();
    }
    static QByteArray Read(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    testsupport::LocalNetworkFixture network;
    std::unique_ptr<apptest::AppHarness> h;
    CPollResultsDlg* results = nullptr;
    testsupport::TempDir out;
};

CPollQuestion TrueFalse(std::string text) {
    CPollQuestion q;
    q.kind = int32_t(QuestionKind::TrueFalse);
    q.text = std::move(text);
    q.correctTrueFalse = 0;
    return q;
}

CBallot Vote(const char* voter, int32_t value) {
    CBallot b;
    b.voterName = voter;
    CPollAnswer a;
    a.kind = int32_t(QuestionKind::TrueFalse);
    a.trueFalse = value;
    b.answers = {a};
    return b;
}

TEST_F(ResultsExport, TheChosenFileGetsTheResultsAsCsv) {
    Arrive({TrueFalse("Sea, \"blue\"\nor green?")}, {Vote("bob", 0), Vote("carol", 0), Vote("dan", 1)});
    const QString path = QString::fromStdString(out.file("results.csv"));
    h->dialogs.fileNames.push_back(path);
    RightClickExport();
    ASSERT_EQ(h->dialogs.files.size(), 1);
    EXPECT_TRUE(h->dialogs.files[0].save);
    EXPECT_EQ(h->dialogs.files[0].path, "poll-results.csv");
    EXPECT_TRUE(h->dialogs.messages.isEmpty()) << h->dialogs.Texts().join('|').toStdString();
    EXPECT_EQ(Read(path).toStdString(),
              "Question,Text,Answer,Votes,Share\r\n"
              "1,\"Sea, \"\"blue\"\"\nor green?\",True,2,66.7%\r\n"
              "1,\"Sea, \"\"blue\"\"\nor green?\",False,1,33.3%\r\n");

    // Over an existing file: replaced whole, no temporary left beside it.
    Arrive({TrueFalse("Again?")}, {Vote("bob", 1)});
    h->dialogs.fileNames.push_back(path);
    RightClickExport();
    EXPECT_EQ(Read(path).toStdString(),
              "Question,Text,Answer,Votes,Share\r\n1,Again?,True,0,0.0%\r\n1,Again?,False,1,100.0%\r\n");
    EXPECT_EQ(QDir(QString::fromStdString(out.path())).entryList(QDir::Files),
              QStringList{"results.csv"});
}

TEST_F(ResultsExport, CancelWritesNothingAndAFailedWriteIsSaid) {
    Arrive({TrueFalse("Q")}, {Vote("bob", 0)});
    RightClickExport();  // the chooser answers "cancelled"
    EXPECT_TRUE(h->dialogs.messages.isEmpty());

    // A folder that does not exist: a box names the file; nothing appears.
    const QString bad = QString::fromStdString(out.path()) + "/missing/results.csv";
    h->dialogs.fileNames.push_back(bad);
    RightClickExport();
    ASSERT_EQ(h->dialogs.messages.size(), 1);
    EXPECT_EQ(h->dialogs.Last().title, "Export");
    EXPECT_TRUE(h->dialogs.Last().text.startsWith("Could not write \"results.csv\": "))
        << h->dialogs.Last().text.toStdString();
    EXPECT_FALSE(QFile::exists(bad));
}

TEST_F(ResultsExport, NothingToExportBeforeResults) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
    QCoreApplication::sendEvent(results, &event);
    EXPECT_FALSE(results->ExportCsvAction()->isEnabled());
    results->ContextMenu()->hide();
    EXPECT_FALSE(results->ExportCsv());
    EXPECT_TRUE(h->dialogs.files.isEmpty());
}

}  // namespace
}  // namespace polls
