// Taking polls, storing ballots and building results on the local network,
// through the raw protocol: every refusal from its real cause, the ballot
// checks, the append, and the voters' names left out of results for those
// who may not see them.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "TestClient.h"
#include "polls/model/PollFiles.h"
#include "server/core/Store.h"
#include "server/polls/PollsService.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using localnet::PollsService;
using net::Primary;
using net::Secondary;

constexpr char kTeam[] = "demo01";
constexpr char kNumber[] = "1234567";
constexpr qint64 kDay = 24 * 3600;

// Seeded: 1 in progress (4 questions, carol voted, others may not view),
// 2 finished (3 ballots, others may view), 3 recurring, 4 suspended.
class PollBallotsServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.Options().seedDemo = true;
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(alice.Login(server.FilePort(), kNumber, "alice", "alicepass"));
        ASSERT_TRUE(bob.Login(server.FilePort(), kNumber, "bob", "bobpass"));
    }

    PollsService& Service() {
        for (const auto& s : server.Network().AllServices())
            if (auto* p = dynamic_cast<PollsService*>(s.get())) return *p;
        ADD_FAILURE() << "no polls service";
        std::abort();
    }
    QString Abs(const QString& relative) {
        return server.Network().GetStore().ResolvePath(relative);
    }
    void MoveClock(qint64 seconds) {
        Service().SetClock([seconds] { return std::time_t(std::time(nullptr) + seconds); });
    }

    // What came back for a download request: the file, or the poll response
    // (primary 13) that refused it, or the download refusal.
    struct Outcome {
        bool served = false;
        std::string bytes;
        int32_t pollResponse = -1, errorCode = -1;
        bool refused = false;
    };
    Outcome Download(TestClient& c, int32_t requestCode, int expectedSlot,
                     const std::string& owner, int32_t id, std::optional<int32_t> purpose = {}) {
        net::MessageWriter w(requestCode);
        w.Str(kTeam).Str(owner).Int(id);
        if (purpose) w.Int(*purpose);
        EXPECT_TRUE(c.Send(w, Primary::Download));
        Outcome out;
        int32_t total = -1;
        for (;;) {
            auto m = c.Receive();
            if (!m) {
                ADD_FAILURE() << "no answer";
                return out;
            }
            auto f = m->Reader();
            if (m->header.nDescPrimary == +Primary::Poll) {
                out.pollResponse = m->code;
                f.Int(-1, -1, out.errorCode);
                return out;
            }
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, expectedSlot);
            if (m->code == net::download::kRefused) {
                out.refused = true;
                return out;
            }
            if (m->code == net::download::kStart) {
                EXPECT_TRUE(f.Int(0, -1, total));
            }
            out.bytes.append(reinterpret_cast<const char*>(f.Rest()), size_t(f.RestSize()));
            if (int32_t(out.bytes.size()) >= total) {
                out.served = true;
                return out;
            }
        }
    }
    Outcome Take(TestClient& c, int32_t id, const std::string& owner = "alice") {
        return Download(c, net::poll::kPollFileDownload, net::poll::kPollFileSlot, owner, id, 0);
    }
    Outcome Results(TestClient& c, int32_t id, const std::string& owner = "alice") {
        return Download(c, net::poll::kResultsDownload, net::poll::kResultsSlot, owner, id);
    }

    // Submits a ballot; returns the poll response that followed (code and
    // error), or {-1, -1} when nothing came (stored).
    std::pair<int32_t, int32_t> Submit(TestClient& c, int32_t id, int32_t version,
                                       const std::string& file, bool expectGoAhead = true) {
        net::MessageWriter w(net::poll::kBallotUpload);
        w.Int(int32_t(file.size())).Str(kTeam).Str("alice").Int(id).Int(version);
        EXPECT_TRUE(c.Send(w, Primary::Upload));
        auto m = c.Receive();
        if (!m) return {-2, -2};
        if (m->header.nDescPrimary == +Primary::Poll) {
            int32_t error = -1;
            m->Reader().Int(-1, -1, error);
            EXPECT_FALSE(expectGoAhead);
            return {m->code, error};
        }
        EXPECT_TRUE(m->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead));
        for (size_t at = 0; at < file.size(); at += 4096) {
            const std::string chunk = file.substr(at, 4096);
            net::MessageWriter cw(net::upload::kChunk);
            cw.Int(net::poll::kBallotSlot).Raw(chunk.data(), int(chunk.size()));
            EXPECT_TRUE(c.Send(cw, Primary::Upload, Secondary::Response));
        }
        auto after = c.Receive(std::chrono::milliseconds(300));
        if (!after) return {-1, -1};
        int32_t error = -1;
        after->Reader().Int(-1, -1, error);
        return {after->code, error};
    }

    static std::string BallotFor(const std::string& voter, std::vector<polls::CPollAnswer> answers) {
        polls::CBallot b;
        b.voterName = voter;
        b.answers = std::move(answers);
        return polls::WriteBallotBytes(b);
    }
    // A complete answer set for seeded poll 1: choice, true/false, number, text.
    static std::vector<polls::CPollAnswer> PollOneAnswers(double hours = 5) {
        std::vector<polls::CPollAnswer> a(4);
        a[0].kind = 1;
        a[0].choice = 2;
        a[1].kind = 0;
        a[2].kind = 2;
        a[2].number = hours;
        a[3].kind = 3;
        a[3].text = "More coffee";
        return a;
    }

    testsupport::LocalNetworkFixture server;
    TestClient alice, bob;
};

TEST_F(PollBallotsServiceTest, TakingIsRefusedForEachReasonInOrder) {
    EXPECT_EQ(Take(bob, 77).errorCode, 1);
    EXPECT_EQ(Take(bob, 1, "carol").errorCode, 1);  // not carol's poll
    const Outcome suspended = Take(bob, 4);
    EXPECT_EQ(suspended.pollResponse, net::poll::kUnavailable);
    EXPECT_EQ(suspended.errorCode, 2);
    EXPECT_EQ(Take(bob, 2).errorCode, 3);  // bob voted before it closed

    TestClient carol;
    ASSERT_TRUE(carol.Login(server.FilePort(), kNumber, "carol", "carolpass"));
    EXPECT_EQ(Take(carol, 1).errorCode, 3);  // carol's ballot is in

    // The same poll two days ago had not started; in two weeks it is over.
    MoveClock(-2 * kDay);
    EXPECT_EQ(Take(bob, 1).errorCode, 4);
    MoveClock(14 * kDay);
    EXPECT_EQ(Take(bob, 1).errorCode, 5);
    // The recurring poll is between two of its windows now and then.
    MoveClock(0);
    const PollsService::Poll* recurring = Service().Find(kNumber, kTeam, 3);
    const qint64 intoWindow = recurring->start + 3 * kDay + 60 - std::time(nullptr);
    MoveClock(intoWindow);
    EXPECT_TRUE(Take(bob, 3).served);
    MoveClock(intoWindow + 3 * 3600);
    EXPECT_EQ(Take(bob, 3).errorCode, 5);

    // Served: the masked poll file as stored.
    MoveClock(0);
    const Outcome served = Take(bob, 1);
    ASSERT_TRUE(served.served);
    std::string plain = served.bytes;
    polls::UnmaskBytes(plain);
    auto questions = polls::ReadPollBytes(plain);
    ASSERT_TRUE(questions.has_value());
    EXPECT_EQ(questions->size(), 4u);

    // Opening for modification is the owner's alone.
    EXPECT_TRUE(Download(bob, net::poll::kPollFileDownload, 7, "alice", 1, 1).refused);
    EXPECT_TRUE(Download(alice, net::poll::kPollFileDownload, 7, "alice", 1, 1).served);
}

TEST_F(PollBallotsServiceTest, ABallotIsCheckedThenAppendedAndCounted) {
    const QString ballots = Abs(PollsService::BallotsFile(kNumber, kTeam, 1));
    // A version the poll does not have.
    EXPECT_EQ(Submit(bob, 1, 2, BallotFor("bob", PollOneAnswers()), false),
              std::make_pair(int32_t(net::poll::kUnavailable), 6));
    // Someone else's name, too few answers, an answer of the wrong kind, an
    // open answer past the results reader's bound: each dropped with 4.
    std::vector<polls::CPollAnswer> wrongKind = PollOneAnswers();
    wrongKind[1].kind = 2;
    std::vector<polls::CPollAnswer> tooLong = PollOneAnswers();
    tooLong[3].text = std::string(3001, 'x');
    std::vector<polls::CPollAnswer> tooFew = PollOneAnswers();
    tooFew.pop_back();
    for (const std::string& bad :
         {BallotFor("carol", PollOneAnswers()), BallotFor("bob", tooFew), BallotFor("bob", wrongKind),
          BallotFor("bob", tooLong), BallotFor("bob", PollOneAnswers()) + "x"}) {
        EXPECT_EQ(Submit(bob, 1, 1, bad), std::make_pair(int32_t(net::poll::kBallotFailed), -1));
    }
    EXPECT_EQ(Service().Find(kNumber, kTeam, 1)->votes, 1);

    // A good one: appended after carol's, counted, bob noted.
    EXPECT_EQ(Submit(bob, 1, 1, BallotFor("BOB", PollOneAnswers())), std::make_pair(-1, -1));
    const PollsService::Poll* p = Service().Find(kNumber, kTeam, 1);
    EXPECT_EQ(p->votes, 2);
    EXPECT_TRUE(p->voters.count("bob"));
    QFile f(ballots);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray all = f.readAll();
    auto read = polls::ReadBallotsBytes(std::string_view(all.constData(), size_t(all.size())));
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[0].voterName, "carol");
    EXPECT_EQ((*read)[1].voterName, "BOB");
    EXPECT_EQ((*read)[1].answers[3].text, "More coffee");
    // A second ballot of the same voter is refused before its bytes move.
    EXPECT_EQ(Submit(bob, 1, 1, BallotFor("bob", PollOneAnswers()), false),
              std::make_pair(int32_t(net::poll::kUnavailable), 3));
    EXPECT_EQ(Take(bob, 1).errorCode, 3);

    // What the database keeps: both voters, each once, and the count.
    ASSERT_TRUE(server.Restart());
    p = Service().Find(kNumber, kTeam, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->votes, 2);
    EXPECT_EQ(p->voters, (std::set<QString>{"bob", "carol"}));
}

TEST_F(PollBallotsServiceTest, AFailedWriteIsReportedAndNothingCounted) {
    const QString ballots = Abs(PollsService::BallotsFile(kNumber, kTeam, 1));
    ASSERT_TRUE(QFile::remove(ballots));
    ASSERT_TRUE(QDir().mkpath(ballots));  // where the ballots file should be
    EXPECT_EQ(Submit(bob, 1, 1, BallotFor("bob", PollOneAnswers())),
              std::make_pair(int32_t(net::poll::kBallotFailed), -1));
    EXPECT_EQ(Service().Find(kNumber, kTeam, 1)->votes, 1);
    EXPECT_FALSE(Service().Find(kNumber, kTeam, 1)->voters.count("bob"));
    // Nor in the database: the voters already counted stay, and bob is not
    // among them.
    ASSERT_TRUE(QDir(ballots).removeRecursively());
    ASSERT_TRUE(server.Restart());
    const PollsService::Poll* p = Service().Find(kNumber, kTeam, 1);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->votes, 1);
    EXPECT_EQ(p->voters, (std::set<QString>{"carol"}));
}

TEST_F(PollBallotsServiceTest, ResultsRefusedForEachReason) {
    EXPECT_EQ(Results(bob, 50).errorCode, 1);
    const Outcome suspended = Results(bob, 4);
    EXPECT_EQ(suspended.pollResponse, net::poll::kResultsRefused);
    EXPECT_EQ(suspended.errorCode, 2);
    EXPECT_EQ(Results(bob, 1).errorCode, 4);  // in progress
    MoveClock(-2 * kDay);
    EXPECT_EQ(Results(bob, 1).errorCode, 3);
    // Finished: no ballots for the recurring poll between its windows.
    MoveClock(0);
    const PollsService::Poll* recurring = Service().Find(kNumber, kTeam, 3);
    MoveClock(recurring->start + 3 * kDay + 5 * 3600 - std::time(nullptr));
    const Outcome none = Results(bob, 3);
    EXPECT_EQ(none.pollResponse, net::poll::kResultsFailed);
    EXPECT_EQ(none.errorCode, 2);
}

TEST_F(PollBallotsServiceTest, ResultsFailuresComeFromTheirFiles) {
    const QString poll = Abs(PollsService::PollFile(kNumber, kTeam, 2));
    const QString ballots = Abs(PollsService::BallotsFile(kNumber, kTeam, 2));
    const QString results = Abs(PollsService::ResultsFile(kNumber, kTeam, 2));
    QFile pollFile(poll);
    ASSERT_TRUE(pollFile.open(QIODevice::ReadOnly));
    const QByteArray pollBytes = pollFile.readAll();
    pollFile.close();

    // The results file cannot be made.
    ASSERT_TRUE(QDir().mkpath(results + ".part"));
    EXPECT_EQ(Results(bob, 2).errorCode, 4);
    ASSERT_TRUE(QDir(results + ".part").removeRecursively());
    // The poll file cannot be read.
    ASSERT_TRUE(QFile::remove(poll));
    ASSERT_TRUE(QDir().mkpath(poll));
    EXPECT_EQ(Results(bob, 2).errorCode, 5);
    ASSERT_TRUE(QDir(poll).removeRecursively());
    // An empty poll file.
    ASSERT_TRUE(pollFile.open(QIODevice::WriteOnly));
    pollFile.close();
    EXPECT_EQ(Results(bob, 2).errorCode, 3);
    ASSERT_TRUE(pollFile.open(QIODevice::WriteOnly));
    pollFile.write(pollBytes);
    pollFile.close();
    // The ballots file cannot be read.
    QFile ballotsFile(ballots);
    ASSERT_TRUE(ballotsFile.open(QIODevice::ReadOnly));
    const QByteArray ballotBytes = ballotsFile.readAll();
    ballotsFile.close();
    ASSERT_TRUE(QFile::remove(ballots));
    ASSERT_TRUE(QDir().mkpath(ballots));
    const Outcome unreadable = Results(bob, 2);
    EXPECT_EQ(unreadable.pollResponse, net::poll::kResultsFailed);
    EXPECT_EQ(unreadable.errorCode, 6);
    ASSERT_TRUE(QDir(ballots).removeRecursively());
    EXPECT_EQ(Results(bob, 2).errorCode, 2);
    ASSERT_TRUE(ballotsFile.open(QIODevice::WriteOnly));
    ballotsFile.write(ballotBytes);
    ballotsFile.close();

    // Served: the poll file's length, the poll file, the ballots; poll 2
    // lets others see the names.
    const Outcome ok = Results(bob, 2);
    ASSERT_TRUE(ok.served);
    EXPECT_EQ(ok.bytes, polls::MakeResultsBytes(pollBytes.toStdString(), ballotBytes.toStdString()));
}

TEST_F(PollBallotsServiceTest, NamesAreLeftOutForThoseWhoMayNotSeeThem) {
    ASSERT_EQ(Submit(bob, 1, 1, BallotFor("bob", PollOneAnswers())), std::make_pair(-1, -1));
    MoveClock(14 * kDay);
    const auto names = [](const Outcome& o) {
        std::vector<std::string> out;
        const int32_t length = int32_t(uint8_t(o.bytes[0]) | uint8_t(o.bytes[1]) << 8 |
                                       uint8_t(o.bytes[2]) << 16 | uint8_t(o.bytes[3]) << 24);
        auto read = polls::ReadBallotsBytes(std::string_view(o.bytes).substr(4 + size_t(length)));
        EXPECT_TRUE(read.has_value());
        if (read)
            for (const auto& b : *read) out.push_back(b.voterName);
        return out;
    };
    const Outcome forBob = Results(bob, 1);
    ASSERT_TRUE(forBob.served);
    EXPECT_EQ(names(forBob), (std::vector<std::string>{"voter1", "voter2"}));
    const Outcome forAlice = Results(alice, 1);
    ASSERT_TRUE(forAlice.served);
    EXPECT_EQ(names(forAlice), (std::vector<std::string>{"carol", "bob"}));
}

}  // namespace
}  // namespace servertest
