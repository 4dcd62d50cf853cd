// The polls of the local network through the raw protocol: the seeded
// polls, the list download with the server's clock, poll uploads (create,
// modify, schedule-only changes) with their refusals, confirmation, the
// operations, and a restart.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>

#include "TestClient.h"
#include "polls/model/PollFiles.h"
#include "polls/model/PollSchedule.h"
#include "server/core/Store.h"
#include "server/polls/PollsService.h"
#include "server/sessions/SessionsService.h"
#include "support/qt/LocalNetworkFixture.h"

namespace servertest {
namespace {

using localnet::PollsService;
using net::Primary;
using net::Secondary;

constexpr char kTeam[] = "demo01";  // created by alice

struct Schedule {
    polls::PollTime start{2030, 1, 2, 10, 0, 0};
    polls::PollTime end{2030, 1, 2, 11, 0, 0};
    int32_t maxVotes = 10, othersMayView = 0, recurring = 0, interval = 1;
};

class PollsServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server.Options().seedDemo = true;
        ASSERT_TRUE(server.Start());
        ASSERT_TRUE(alice.Login(server.FilePort(), "1234567", "alice", "alicepass"));
        ASSERT_TRUE(bob.Login(server.FilePort(), "1234567", "bob", "bobpass"));
    }

    PollsService& Service() {
        for (const auto& s : server.Network().AllServices())
            if (auto* p = dynamic_cast<PollsService*>(s.get())) return *p;
        ADD_FAILURE() << "no polls service";
        std::abort();
    }

    // The poll list of a session; nullopt when refused. The start message
    // carries the server's clock before the bytes.
    std::optional<std::vector<polls::CPollEntry>> List(TestClient& c,
                                                       const std::string& session = kTeam) {
        net::MessageWriter w(net::poll::kPollListDownload);
        w.Str(session).Int(0);
        EXPECT_TRUE(c.Send(w, Primary::Download));
        std::string content;
        int32_t total = -1;
        for (int count = 0; total < 0 || int32_t(content.size()) < total; ++count) {
            auto m = c.Receive();
            if (!m || m->header.nDescPrimary != +Primary::Download) {
                ADD_FAILURE() << "no download";
                return std::nullopt;
            }
            auto f = m->Reader();
            int32_t slot = -1;
            EXPECT_TRUE(f.Int(0, 24, slot));
            EXPECT_EQ(slot, net::poll::kPollListSlot);
            if (m->code == net::download::kRefused) return std::nullopt;
            if (count == 0) {
                EXPECT_TRUE(f.Int(0, -1, total));
                int32_t clock = 0;
                for (int i = 0; i < 7; ++i) EXPECT_TRUE(f.Int(-1, -1, clock));
            }
            content.append(reinterpret_cast<const char*>(f.Rest()), size_t(f.RestSize()));
        }
        auto read = polls::ParsePollList(content);
        EXPECT_FALSE(read.failed) << content;
        return read.entries;
    }

    static std::string MaskedPoll(int questions) {
        std::vector<polls::CPollQuestion> qs;
        for (int i = 0; i < questions; ++i) {
            polls::CPollQuestion q;
            q.kind = 0;
            q.text = "Question " + std::to_string(i + 1);
            qs.push_back(q);
        }
        std::string bytes = polls::WritePollBytes(qs);
        polls::MaskBytes(bytes);
        return bytes;
    }

    // Sends a poll upload request and returns the server's first answer.
    std::optional<Received> Request(TestClient& c, int32_t mode, int32_t id,
                                                int32_t size, bool fileFollows,
                                                const Schedule& s = {},
                                                const std::string& session = kTeam) {
        net::MessageWriter w(net::poll::kPollUpload);
        w.Int(size).Int(mode).Int(id).Int(fileFollows ? 1 : 0);
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        localtime_r(&now, &tm);
        w.Int(tm.tm_year).Int(tm.tm_mon).Int(tm.tm_mday).Int(tm.tm_hour).Int(tm.tm_min)
            .Int(tm.tm_sec).Int(tm.tm_isdst);
        w.Str(session);
        for (const polls::PollTime& t : {s.start, s.end})
            w.Int(t.year).Int(t.month).Int(t.day).Int(t.hour).Int(t.minute).Int(t.second);
        w.Int(s.maxVotes).Int(s.othersMayView).Int(s.recurring).Int(s.interval).Int(1);
        EXPECT_TRUE(c.Send(w, Primary::Upload));
        return c.Receive();
    }

    void SendChunks(TestClient& c, const std::string& file) {
        for (size_t at = 0; at < file.size(); at += 4096) {
            const std::string chunk = file.substr(at, 4096);
            net::MessageWriter cw(net::upload::kChunk);
            cw.Int(net::poll::kPollUploadSlot).Raw(chunk.data(), int(chunk.size()));
            ASSERT_TRUE(c.Send(cw, Primary::Upload, Secondary::Response));
        }
    }

    void Confirm(TestClient& c, int32_t id) {
        net::MessageWriter w(net::poll::kConfirm);
        w.Str(kTeam).Int(id).Int(1);
        ASSERT_TRUE(c.Send(w, Primary::Poll));
    }

    // Uploads a whole poll; returns the poll id of the go-ahead, or -1.
    int32_t Upload(TestClient& c, int32_t mode, int32_t id, const std::string& file,
                   const Schedule& s = {}) {
        auto go = Request(c, mode, id, int32_t(file.size()), true, s);
        if (!go || !go->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead)) return -1;
        auto f = go->Reader();
        int32_t slot = -1, pollId = -1;
        EXPECT_TRUE(f.Int(-1, -1, slot));
        EXPECT_EQ(slot, net::poll::kPollUploadSlot);
        EXPECT_TRUE(f.Int(0, 9999, pollId));
        SendChunks(c, file);
        return pollId;
    }

    int32_t Operate(TestClient& c, int32_t op, std::vector<std::pair<std::string, int32_t>> ps) {
        net::MessageWriter w(net::poll::kOperate);
        w.Int(op).Str(kTeam).Int(int32_t(ps.size()));
        for (const auto& [owner, id] : ps) w.Str(owner).Int(id);
        EXPECT_TRUE(c.Send(w, Primary::Poll));
        auto m = c.Receive();
        return m && m->header.nDescPrimary == +Primary::Poll ? m->code : -1;
    }

    // The list once poll `id` has `status`: another connection's request
    // may still be on its way.
    std::optional<std::vector<polls::CPollEntry>> ListWhen(TestClient& c, int32_t id,
                                                           int32_t status) {
        std::optional<std::vector<polls::CPollEntry>> list;
        for (int i = 0; i < 100; ++i) {
            list = List(c);
            if (list && ById(*list, id) && ById(*list, id)->status == status) break;
        }
        return list;
    }

    static const polls::CPollEntry* ById(const std::vector<polls::CPollEntry>& list, int32_t id) {
        for (const auto& e : list)
            if (e.pollId == id) return &e;
        return nullptr;
    }

    static std::string RefusalDetails(const std::optional<Received>& m) {
        std::string details;
        if (m) m->Reader().Str(1, 512, details);
        return details;
    }

    testsupport::LocalNetworkFixture server;
    TestClient alice, bob;
};

TEST_F(PollsServiceTest, SeededPollsAreListedInTheServersClockAndUnknownSessionsRefused) {
    auto list = List(bob);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 4u);
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> states;
    for (const auto& e : *list) {
        EXPECT_EQ(e.owner, "alice");
        states.push_back(polls::PollState(e, now));
    }
    EXPECT_EQ(states[0], polls::kInProgress);
    EXPECT_EQ((*list)[0].votes, 1) << "carol's ballot";
    EXPECT_EQ((*list)[0].maxVotes, 20);
    EXPECT_EQ(states[1], polls::kFinished);
    EXPECT_EQ((*list)[1].votes, 3);
    EXPECT_EQ((*list)[2].recurring, 1);
    EXPECT_EQ((*list)[2].recurrenceHours, 24);
    EXPECT_EQ(states[3], polls::kSuspended);
    // The files are in place, in the shared layouts.
    const localnet::Store& store = server.Network().GetStore();
    auto ballots = polls::ReadBallotsFile(
        store.ResolvePath(PollsService::BallotsFile("1234567", kTeam, 2)).toStdString());
    ASSERT_TRUE(ballots);
    EXPECT_EQ(ballots->size(), 3u);
    EXPECT_FALSE(List(bob, "nosuch"));
}

TEST_F(PollsServiceTest, CreatorCreatesAndConfirmsOthersAreRefusedWithTheReason) {
    const int32_t id = Upload(alice, 0, -1, MaskedPoll(3));
    ASSERT_EQ(id, 5) << "the lowest free number";
    auto during = List(bob);
    ASSERT_TRUE(during && ById(*during, id));
    EXPECT_EQ(ById(*during, id)->status, 0) << "in transfer until confirmed";
    Confirm(alice, id);
    // alice's next request carries the confirmation out; bob then sees it.
    ASSERT_TRUE(ListWhen(alice, id, 1));
    auto after = List(bob);
    ASSERT_TRUE(after && ById(*after, id));
    EXPECT_EQ(ById(*after, id)->status, 1);
    EXPECT_EQ(ById(*after, id)->questionCount, 3);
    EXPECT_EQ(ById(*after, id)->start, (polls::PollTime{2030, 1, 2, 10, 0, 0}))
        << "client and server share a clock here";

    auto refused = Request(bob, 0, -1, 100, true);
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->Is(Primary::Upload, Secondary::Response,
                            net::upload::kRefusedPollDirectoryFull));
    EXPECT_NE(RefusalDetails(refused).find("creator"), std::string::npos);
    auto large = Request(alice, 0, -1, PollsService::kMaxPollFile + 1, true);
    ASSERT_TRUE(large);
    EXPECT_TRUE(large->Is(Primary::Upload, Secondary::Response, net::upload::kRefusedPollTooLarge));
    auto modifyOthers = Request(bob, 1, 1, 100, true);
    EXPECT_NE(RefusalDetails(modifyOthers).find("owner"), std::string::npos);
}

TEST_F(PollsServiceTest, AFileNoReaderAcceptsIsRefusedAndLeavesNothing) {
    std::string bad = MaskedPoll(1);
    bad[0] = char(bad[0] + 1);  // question count no longer 1
    const int32_t id = Upload(alice, 0, -1, bad);
    ASSERT_EQ(id, 5);
    auto refusal = alice.Receive();
    ASSERT_TRUE(refusal);
    EXPECT_TRUE(refusal->Is(Primary::Upload, Secondary::Response, net::upload::kRefusedPollTooLarge));
    auto list = List(alice);
    ASSERT_TRUE(list);
    EXPECT_FALSE(ById(*list, id));
}

TEST_F(PollsServiceTest, AnUploadCutOffLeavesNoPollInTransfer) {
    const std::string file = MaskedPoll(2);
    auto uploader = std::make_unique<TestClient>();
    ASSERT_TRUE(uploader->Login(server.FilePort(), "1234567", "alice", "alicepass"));
    // A new poll whose file never finishes...
    auto go = Request(*uploader, 0, -1, int32_t(file.size()), true);
    ASSERT_TRUE(go && go->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead));
    SendChunks(*uploader, file.substr(0, 10));
    auto during = ListWhen(bob, 5, 0);
    ASSERT_TRUE(during && ById(*during, 5));
    // ...goes when the next poll upload takes the slot: a change of poll 4
    // whose file never comes either.
    auto change = Request(*uploader, 1, 4, int32_t(file.size()), true);
    ASSERT_TRUE(change && change->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead));
    auto replaced = ListWhen(bob, 4, 0);
    ASSERT_TRUE(replaced);
    EXPECT_FALSE(ById(*replaced, 5));

    // The connection ends: poll 4 is as it was.
    uploader.reset();
    auto after = ListWhen(bob, 4, 2);
    ASSERT_TRUE(after && ById(*after, 4));
    EXPECT_EQ(ById(*after, 4)->status, 2) << "suspended, as before";
    EXPECT_EQ(ById(*after, 4)->questionCount, 1);
    EXPECT_EQ(ById(*after, 4)->version, 1);
}

TEST_F(PollsServiceTest, ModifyingQuestionsGivesANewVersionScheduleOnlyKeepsBallots) {
    auto before = List(alice);
    ASSERT_TRUE(before && ById(*before, 1));
    const int32_t version = ById(*before, 1)->version;

    // Only the schedule: no go-ahead, code 10, the ballots stay.
    Schedule later;
    later.maxVotes = 30;
    auto stored = Request(alice, 1, 1, 1, false, later);
    ASSERT_TRUE(stored);
    EXPECT_TRUE(stored->Is(Primary::Upload, Secondary::Response, net::upload::kPollStored));
    auto mid = List(alice);
    EXPECT_EQ(ById(*mid, 1)->maxVotes, 30);
    EXPECT_EQ(ById(*mid, 1)->votes, 1);
    EXPECT_EQ(ById(*mid, 1)->version, version);

    // New questions: a new version, the ballots and voters go.
    ASSERT_EQ(Upload(alice, 1, 1, MaskedPoll(2)), 1);
    Confirm(alice, 1);
    auto after = ListWhen(alice, 1, 1);
    ASSERT_TRUE(after && ById(*after, 1));
    EXPECT_EQ(ById(*after, 1)->version, version + 1);
    EXPECT_EQ(ById(*after, 1)->votes, 0);
    EXPECT_EQ(ById(*after, 1)->status, 1);
    EXPECT_TRUE(Service().Find("1234567", kTeam, 1)->voters.empty());
    EXPECT_FALSE(QFile::exists(server.Network().GetStore().ResolvePath(
        PollsService::BallotsFile("1234567", kTeam, 1))));
}

TEST_F(PollsServiceTest, OperationsApplyToWhatTheSenderMayChangeAndSurviveARestart) {
    // bob owns nothing here and created nothing: skipped, still answered.
    EXPECT_EQ(Operate(bob, net::poll::kSuspend, {{"alice", 1}}), net::poll::kListChanged);
    EXPECT_EQ(ById(*List(bob), 1)->status, 1);

    EXPECT_EQ(Operate(alice, net::poll::kSuspend, {{"alice", 1}, {"alice", 3}}),
              net::poll::kListChanged);
    auto list = List(alice);
    EXPECT_EQ(ById(*list, 1)->status, 2);
    EXPECT_EQ(ById(*list, 3)->status, 2);
    EXPECT_EQ(Operate(alice, net::poll::kResume, {{"alice", 4}}), net::poll::kListChanged);
    EXPECT_EQ(ById(*List(alice), 4)->status, 1);
    EXPECT_EQ(Operate(alice, net::poll::kReset, {{"alice", 2}}), net::poll::kListChanged);
    EXPECT_EQ(ById(*List(alice), 2)->votes, 0);
    // An owner that does not match the poll is not that poll.
    EXPECT_EQ(Operate(alice, net::poll::kDelete, {{"bob", 3}}), net::poll::kListChanged);
    EXPECT_TRUE(ById(*List(alice), 3));
    EXPECT_EQ(Operate(alice, net::poll::kDelete, {{"alice", 3}}), net::poll::kListChanged);
    EXPECT_FALSE(ById(*List(alice), 3));

    ASSERT_TRUE(server.Restart());
    TestClient again;
    ASSERT_TRUE(again.Login(server.FilePort(), "1234567", "carol", "carolpass"));
    auto kept = List(again);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->size(), 3u) << "the seed is not repeated";
    EXPECT_EQ(ById(*kept, 1)->status, 2);
    EXPECT_EQ(ById(*kept, 2)->votes, 0);
    EXPECT_FALSE(ById(*kept, 3));
}

TEST_F(PollsServiceTest, ADeletedSessionTakesItsPollsRowsAndFiles) {
    const int32_t id = Upload(alice, 0, -1, MaskedPoll(2));
    ASSERT_GT(id, 0);
    Confirm(alice, id);
    ASSERT_TRUE(ListWhen(alice, id, 1));
    const QString team = QString::fromStdString(kTeam);
    const QString folder =
        server.Network().GetStore().ResolvePath(PollsService::PollFolder("1234567", team));
    ASSERT_TRUE(QFileInfo::exists(folder));

    localnet::SessionsService* sessions = nullptr;
    for (const auto& s : server.Network().AllServices())
        if (auto* found = dynamic_cast<localnet::SessionsService*>(s.get())) sessions = found;
    ASSERT_TRUE(sessions);
    emit sessions->SessionDeleted("1234567", team);
    EXPECT_TRUE(Service().PollsOf("1234567", team).empty());
    EXPECT_FALSE(QFileInfo::exists(folder));

    // Gone from the tables too: a restart does not bring the created poll back.
    ASSERT_TRUE(server.Restart());
    EXPECT_FALSE(Service().Find("1234567", team, id));
}

TEST_F(PollsServiceTest, ASessionHoldsAtMost91Polls) {
    const std::string file = MaskedPoll(1);
    for (int i = 5; i <= PollsService::kMaxPollsPerSession; ++i) {
        ASSERT_EQ(Upload(alice, 0, -1, file), i);
        Confirm(alice, i);
    }
    auto full = Request(alice, 0, -1, int32_t(file.size()), true);
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->Is(Primary::Upload, Secondary::Response,
                         net::upload::kRefusedPollDirectoryFull));
    EXPECT_NE(RefusalDetails(full).find("91"), std::string::npos);
}

}  // namespace
}  // namespace servertest
