// The built server, run as a child, killed (SIGKILL) at every durable step
// of a state change in turn: started again on the same data folder, it has
// the change wholly or not at all, and once no step is left to kill at, the
// change is there.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <cstdio>
#include <functional>

#include "net/Transfers.h"
#include "polls/model/PollFiles.h"
#include "server/TestClient.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"

using net::Primary;
using net::Secondary;
using servertest::Received;
using servertest::TestClient;
using testsupport::SpinUntil;

namespace {

class ChildServer {
  public:
    ~ChildServer() { Stop(); }

    // Starts the server on free ports with the demo data; true once it listens.
    bool Start(const std::string& dataDir, const QString& faults) {
        data = QString::fromStdString(dataDir);
        QStringList args{"--data", QString::fromStdString(dataDir), "--ports", "0,0,0", "--seed",
                         "demo"};
        if (!faults.isEmpty()) args << "--faults" << faults;
        process_.setProcessChannelMode(QProcess::SeparateChannels);
        process_.start(ZORVIC_LOCALNET_PATH, args);
        if (!process_.waitForStarted(10000)) return false;
        static const QRegularExpression listening(
            "listening on \\S+: directory (\\d+), network (\\d+), file (\\d+)");
        const bool up = SpinUntil([&] {
            log_ += process_.readAllStandardError();
            const auto m = listening.match(QString::fromUtf8(log_));
            if (!m.hasMatch()) return process_.state() == QProcess::NotRunning;
            networkPort = static_cast<quint16>(m.captured(2).toUInt());
            filePort = static_cast<quint16>(m.captured(3).toUInt());
            return true;
        });
        return up && networkPort != 0;
    }
    // Whether the server ended by SIGKILL within the deadline.
    bool WaitKilled(std::chrono::milliseconds deadline) {
        SpinUntil([&] { return process_.state() == QProcess::NotRunning; }, deadline);
        log_ += process_.readAllStandardError();
        return process_.state() == QProcess::NotRunning &&
               process_.exitStatus() == QProcess::CrashExit;
    }
    // Asks the server to stop as the service manager does; true when it
    // ended of itself, with status 0, within the deadline.
    bool Terminate(std::chrono::milliseconds deadline) {
        process_.terminate();
        SpinUntil([&] { return process_.state() == QProcess::NotRunning; }, deadline);
        log_ += process_.readAllStandardError();
        return process_.state() == QProcess::NotRunning &&
               process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
    }
    void Stop() {
        if (process_.state() == QProcess::NotRunning) return;
        process_.kill();
        process_.waitForFinished(10000);
    }
    std::string Log() const { return log_.toStdString(); }

    quint16 networkPort = 0;
    quint16 filePort = 0;
    QString data;

  private:
    QProcess process_;
    QByteArray log_;
};

enum class Outcome { Applied, Absent, Half };

const char* Name(Outcome o) {
    return o == Outcome::Applied ? "applied" : o == Outcome::Absent ? "absent" : "HALF";
}

// Kills the server at step 1, 2, ... of the change's handling (messages of
// `primary`) until a run completes; after each, checks the restarted server.
void KillAtEveryStep(int primary, const std::function<void(ChildServer&)>& change,
                     const std::function<Outcome(ChildServer&)>& check) {
    int kills = 0;
    bool completed = false;
    for (int step = 1; step <= 12 && !completed; ++step) {
        SCOPED_TRACE(QString("killed at step %1").arg(step).toStdString());
        testsupport::TempDir dir;
        Outcome outcome = Outcome::Half;
        {
            ChildServer doomed;
            ASSERT_TRUE(doomed.Start(dir.path(), QString("crash-in=%1:%2").arg(primary).arg(step)))
                << doomed.Log();
            change(doomed);
            completed = !doomed.WaitKilled(std::chrono::milliseconds(step == 1 ? 3000 : 600));
            if (!completed) {
                ++kills;
                const std::string log = doomed.Log();
                const size_t at = log.find("injected fault: killed at ");
                const std::string where =
                    at == std::string::npos ? "?" : log.substr(at + 26, log.find('\n', at) - at - 26);
                std::printf("[ killed   ] step %d: %s\n", step, where.c_str());
            }
        }
        ChildServer again;
        ASSERT_TRUE(again.Start(dir.path(), {})) << again.Log();
        outcome = check(again);
        EXPECT_NE(outcome, Outcome::Half) << again.Log();
        if (completed) {
            EXPECT_EQ(outcome, Outcome::Applied) << Name(outcome);
        }
    }
    EXPECT_TRUE(completed) << "the change never completed";
    EXPECT_GT(kills, 0) << "no step was ever killed at";
}

// Waits for the next response of a family, skipping notifications.
std::optional<Received> NextResponse(TestClient& c, Primary primary) {
    for (int i = 0; i < 50; ++i) {
        auto m = c.Receive(std::chrono::milliseconds(3000));
        if (!m) return std::nullopt;
        if (m->header.nDescPrimary == +primary && m->header.nDescSecondary == +Secondary::Response)
            return m;
    }
    return std::nullopt;
}

// A whole download; nullopt when refused or cut off.
std::optional<std::string> Collect(TestClient& c, int clockIntegers = 0) {
    std::string content;
    int32_t total = -1;
    for (int count = 0; total < 0 || static_cast<int32_t>(content.size()) < total; ++count) {
        auto m = c.Receive(std::chrono::milliseconds(3000));
        if (!m || m->header.nDescPrimary != +Primary::Download) return std::nullopt;
        if (m->code != net::download::kStart && m->code != net::download::kData)
            return std::nullopt;
        auto f = m->Reader();
        int32_t slot = -1, v = 0;
        if (!f.Int(0, 24, slot)) return std::nullopt;
        if (count == 0) {
            if (!f.Int(0, -1, total)) return std::nullopt;
            for (int i = 0; i < clockIntegers; ++i) f.Int(-1, -1, v);
        }
        content.append(reinterpret_cast<const char*>(f.Rest()), static_cast<size_t>(f.RestSize()));
    }
    return content;
}

void SendUpload(TestClient& c, net::MessageWriter& request, int32_t slot, const std::string& file) {
    if (!c.Send(request, Primary::Upload)) return;
    auto go = c.Receive(std::chrono::milliseconds(3000));
    if (!go || !go->Is(Primary::Upload, Secondary::Response, net::upload::kGoAhead)) return;
    for (size_t at = 0; at < file.size(); at += 4096) {
        const std::string chunk = file.substr(at, 4096);
        net::MessageWriter w(net::upload::kChunk);
        w.Int(slot).Raw(chunk.data(), static_cast<int>(chunk.size()));
        if (!c.Send(w, Primary::Upload, Secondary::Response)) return;
    }
}

bool LogIn(TestClient& c, quint16 port, const std::string& user) {
    return c.Login(port, "1234567", user, user + "pass");
}

// Every file under the data folder with this name.
QStringList FilesNamed(const QString& data, const QString& name) {
    QStringList found;
    QDirIterator it(data, {name}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) found << it.next();
    return found;
}

// What a change cut short may have left: files being gathered or written
// aside, once the restarted server has had its chance to tidy them.
QStringList LeftOver(const QString& data) {
    QStringList found;
    QDirIterator it(data, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(data).relativeFilePath(path);
        if (relative.startsWith("placing/") || relative.endsWith(".ballot") ||
            QFileInfo(path).fileName().contains(".kept.bin") ||
            QFileInfo(path).fileName().startsWith("kept.bin."))
            found << relative;
    }
    return found;
}

TEST(KilledServer, AccountCreation) {
    KillAtEveryStep(
        +Primary::Zorvic,
        [](ChildServer& s) {
            TestClient c;
            if (!c.Connect(s.networkPort)) return;
            auto m = servertest::CreationEnvelope("1234567", "Kim Kane", "kim", "kimpass",
                                                  "6a1b9c3e-0000-4000-8000-0000000000aa", "none");
            c.SendRaw(QByteArray(reinterpret_cast<const char*>(m->data), m->remaining));
            c.Receive(std::chrono::milliseconds(1500));
        },
        [](ChildServer& s) {
            TestClient net, file;
            const bool in = LogIn(net, s.networkPort, "kim");
            const bool fileIn = LogIn(file, s.filePort, "kim");
            if (in != fileIn) return Outcome::Half;
            if (!in) return Outcome::Absent;
            // The account's mailbox is served like anyone's.
            net::MessageWriter w(net::mailbox::kFolderListDownload);
            w.Int(0);
            file.Send(w, Primary::Download);
            return Collect(file) ? Outcome::Applied : Outcome::Half;
        });
}

TEST(KilledServer, MailDelivery) {
    const std::string subject = "Killed in transit";
    KillAtEveryStep(
        +Primary::Mailbox,
        [&](ChildServer& s) {
            TestClient net, file;
            if (!LogIn(net, s.networkPort, "alice") || !LogIn(file, s.filePort, "alice")) return;
            const std::string recipients = "0 bob\n";
            net::MessageWriter list(net::mailbox::kRecipientsUpload);
            list.Int(static_cast<int32_t>(recipients.size()));
            SendUpload(file, list, 17, recipients);
            if (!NextResponse(net, Primary::Mailbox)) return;
            const std::string body = std::string(6000, 'b');
            net::MessageWriter bw(net::mailbox::kBodyUpload);
            bw.Int(static_cast<int32_t>(body.size())).Str(subject);
            SendUpload(file, bw, 19, body);
            if (!NextResponse(file, Primary::Mailbox)) return;
            net::MessageWriter deliver(net::mailbox::kDeliver);
            net.Send(deliver, Primary::Mailbox);
            NextResponse(net, Primary::Mailbox);
        },
        [&](ChildServer& s) {
            const auto has = [&](const std::string& user, int32_t root, const char* key) {
                TestClient file;
                if (!LogIn(file, s.filePort, user)) return -1;
                net::MessageWriter w(net::mailbox::kMessageListDownload);
                w.Int(0).Int(root).Str(key);
                file.Send(w, Primary::Download);
                const auto list = Collect(file);
                if (!list) return -1;
                return list->find(subject) != std::string::npos ? 1 : 0;
            };
            const int inbox = has("bob", 0, "Primary");
            const int sent = has("alice", 1, "Sent");
            if (inbox < 0 || sent < 0 || inbox != sent) return Outcome::Half;
            return inbox == 1 ? Outcome::Applied : Outcome::Absent;
        });
}

TEST(KilledServer, DocumentUpload) {
    std::string content(50000, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 13 + 5);
    KillAtEveryStep(
        +Primary::Upload,
        [&](ChildServer& s) {
            TestClient file;
            if (!LogIn(file, s.filePort, "alice")) return;
            net::MessageWriter w(net::UploadRequestCode(0));
            w.Int(static_cast<int32_t>(content.size())).Str("/").Str("kept.bin");
            SendUpload(file, w, 0, content);
            file.Receive(std::chrono::milliseconds(1500));
        },
        [&](ChildServer& s) {
            TestClient file;
            if (!LogIn(file, s.filePort, "bob")) return Outcome::Half;
            net::MessageWriter w(net::DownloadRequestCode(1));
            w.Str("alice").Str("/").Str("kept.bin").Str("");
            file.Send(w, Primary::Download);
            const auto got = Collect(file);
            // On disk: the document under its name exactly when it is served,
            // and nothing half-gathered left anywhere.
            const QStringList named = FilesNamed(s.data, "kept.bin");
            const QStringList stray = LeftOver(s.data);
            if (!stray.isEmpty()) {
                ADD_FAILURE() << "left over: " << stray.join(", ").toStdString();
                return Outcome::Half;
            }
            if (!got) return named.isEmpty() ? Outcome::Absent : Outcome::Half;
            return *got == content && named.size() == 1 ? Outcome::Applied : Outcome::Half;
        });
}

TEST(KilledServer, SessionCreation) {
    const auto create = [](TestClient& c) -> int32_t {
        net::MessageWriter ask(net::session::kAskToCreate);
        if (!c.Send(ask, Primary::Session) || !NextResponse(c, Primary::Session)) return -1;
        net::MessageWriter w(net::session::kCreateSession);
        w.Str("Sudden End").Str("About an end").Str("").Int(0).Int(20);
        if (!c.Send(w, Primary::Session)) return -1;
        auto m = NextResponse(c, Primary::Session);
        return m ? m->code : -1;
    };
    KillAtEveryStep(
        +Primary::Session,
        [&](ChildServer& s) {
            TestClient net;
            if (LogIn(net, s.networkPort, "alice")) create(net);
        },
        [&](ChildServer& s) {
            TestClient net;
            if (!LogIn(net, s.networkPort, "bob")) return Outcome::Half;
            const int32_t code = create(net);
            if (code == net::session::kNameTaken) return Outcome::Applied;
            return code == net::session::kCreated ? Outcome::Absent : Outcome::Half;
        });
}

TEST(KilledServer, PollCreation) {
    std::vector<polls::CPollQuestion> questions(2);
    questions[0].text = "Still there?";
    questions[1].text = "Whole?";
    std::string poll = polls::WritePollBytes(questions);
    polls::MaskBytes(poll);
    const auto request = [](net::MessageWriter& w, int32_t size) {
        w.Int(size).Int(0).Int(-1).Int(1);
        for (int i = 0; i < 7; ++i) w.Int(i == 0 ? 126 : 1);
        w.Str("demo01");
        for (int t = 0; t < 2; ++t) w.Int(2030).Int(1).Int(2).Int(10 + t).Int(0).Int(0);
        w.Int(10).Int(0).Int(0).Int(1).Int(1);
    };
    // Alice's polls in her session, as its list tells; -1 when unreadable.
    const auto alicesPolls = [](ChildServer& s) {
        TestClient file;
        if (!LogIn(file, s.filePort, "alice")) return -1;
        net::MessageWriter w(net::poll::kPollListDownload);
        w.Str("demo01").Int(0);
        file.Send(w, Primary::Download);
        const auto list = Collect(file, 7);
        if (!list) return -1;
        const auto read = polls::ParsePollList(*list);
        if (read.failed) return -1;
        int mine = 0;
        for (const auto& e : read.entries) mine += e.owner == "alice" ? 1 : 0;
        return mine;
    };
    int before = -1;
    {
        testsupport::TempDir dir;
        ChildServer fresh;
        ASSERT_TRUE(fresh.Start(dir.path(), {}));
        before = alicesPolls(fresh);
        ASSERT_GE(before, 0);
    }
    KillAtEveryStep(
        +Primary::Upload,
        [&](ChildServer& s) {
            TestClient file;
            if (!LogIn(file, s.filePort, "alice")) return;
            net::MessageWriter w(net::poll::kPollUpload);
            request(w, static_cast<int32_t>(poll.size()));
            SendUpload(file, w, net::poll::kPollUploadSlot, poll);
            file.Receive(std::chrono::milliseconds(1500));
        },
        [&](ChildServer& s) {
            const int mine = alicesPolls(s);
            if (mine == before) return Outcome::Absent;
            return mine == before + 1 ? Outcome::Applied : Outcome::Half;
        });
}

TEST(KilledServer, PollBallot) {
    // Bob's answers to the demo's poll in progress (alice's poll 1: a choice,
    // true/false, a number and a text; carol has voted).
    polls::CBallot ballot;
    ballot.voterName = "bob";
    ballot.answers.resize(4);
    ballot.answers[0].kind = 1;
    ballot.answers[0].choice = 2;
    ballot.answers[1].kind = 0;
    ballot.answers[2].kind = 2;
    ballot.answers[2].number = 3;
    ballot.answers[3].kind = 3;
    ballot.answers[3].text = "Counted once";
    const std::string bytes = polls::WriteBallotBytes(ballot);
    KillAtEveryStep(
        +Primary::Upload,
        [&](ChildServer& s) {
            TestClient file;
            if (!LogIn(file, s.filePort, "bob")) return;
            net::MessageWriter w(net::poll::kBallotUpload);
            w.Int(static_cast<int32_t>(bytes.size())).Str("demo01").Str("alice").Int(1).Int(1);
            SendUpload(file, w, net::poll::kBallotSlot, bytes);
            file.Receive(std::chrono::milliseconds(1500));
        },
        [&](ChildServer& s) {
            // The ballots as stored: the count in their head must be how many follow.
            QFile stored(s.data + "/networks/1234567/polls/demo01/1.ballots");
            if (!stored.open(QIODevice::ReadOnly)) return Outcome::Half;
            const QByteArray all = stored.readAll();
            const auto ballots =
                polls::ReadBallotsBytes(std::string_view(all.constData(), size_t(all.size())));
            if (!ballots) return Outcome::Half;
            int bobs = 0;
            for (const auto& b : *ballots) bobs += b.voterName == "bob" ? 1 : 0;
            // The count the poll list tells.
            TestClient file;
            if (!LogIn(file, s.filePort, "bob")) return Outcome::Half;
            net::MessageWriter list(net::poll::kPollListDownload);
            list.Str("demo01").Int(0);
            file.Send(list, Primary::Download);
            const auto text = Collect(file, 7);
            if (!text) return Outcome::Half;
            const auto read = polls::ParsePollList(*text);
            int32_t votes = -1;
            for (const auto& e : read.entries)
                if (e.pollId == 1 && e.owner == "alice") votes = e.votes;
            // Whether bob is noted as a voter: taking the poll again says so (3).
            net::MessageWriter take(net::poll::kPollFileDownload);
            take.Str("demo01").Str("alice").Int(1).Int(0);
            file.Send(take, Primary::Download);
            bool noted = false;
            for (int i = 0; i < 50; ++i) {
                auto m = file.Receive(std::chrono::milliseconds(3000));
                if (!m) return Outcome::Half;
                if (m->header.nDescPrimary == +Primary::Poll) {
                    int32_t why = -1;
                    m->Reader().Int(-1, -1, why);
                    noted = why == 3;
                    break;
                }
                if (m->header.nDescPrimary == +Primary::Download) break;  // served: not noted
            }
            const QStringList stray = LeftOver(s.data);
            if (!stray.isEmpty()) {
                ADD_FAILURE() << "left over: " << stray.join(", ").toStdString();
                return Outcome::Half;
            }
            if (bobs == 1 && ballots->size() == 2 && votes == 2 && noted) return Outcome::Applied;
            if (bobs == 0 && ballots->size() == 1 && votes == 1 && !noted) return Outcome::Absent;
            ADD_FAILURE() << "ballots " << ballots->size() << " (bob's " << bobs << "), votes "
                          << votes << ", bob noted " << noted;
            return Outcome::Half;
        });
}

}  // namespace

// A stop asked for ends the server's loop: it closes its store (so what was
// pending reaches the disk) and exits with 0, and what it had answered is
// there at the next start.
TEST(StoppedServer, TermEndsTheLoopAndKeepsWhatWasAnswered) {
    testsupport::TempDir dir;
    {
        ChildServer server;
        ASSERT_TRUE(server.Start(dir.path(), {})) << server.Log();
        TestClient c;
        ASSERT_TRUE(c.Connect(server.networkPort));
        auto m = servertest::CreationEnvelope("1234567", "Kim Kane", "kim", "kimpass",
                                              "6a1b9c3e-0000-4000-8000-0000000000aa", "none");
        c.SendRaw(QByteArray(reinterpret_cast<const char*>(m->data), m->remaining));
        ASSERT_TRUE(c.Receive(std::chrono::milliseconds(3000)));
        ASSERT_TRUE(server.Terminate(std::chrono::milliseconds(5000))) << server.Log();
        EXPECT_NE(server.Log().find("zorvic-localnet: stopped"), std::string::npos) << server.Log();
    }
    ChildServer again;
    ASSERT_TRUE(again.Start(dir.path(), {})) << again.Log();
    TestClient net;
    EXPECT_TRUE(LogIn(net, again.networkPort, "kim"));
}
