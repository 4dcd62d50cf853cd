#include "server/polls/PollsService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>

#include "net/LocalFile.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "polls/model/PollFiles.h"
#include "polls/model/PollSchedule.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "server/core/Placements.h"
#include "server/core/Router.h"
#include "server/core/Store.h"
#include "server/core/TransferEngine.h"
#include "server/sessions/SessionTable.h"
#include "server/sessions/SessionsService.h"

namespace localnet {

namespace {

namespace code = net::poll;

const std::vector<std::vector<QString>> kTableSteps = {
    {
        "CREATE TABLE polls (network TEXT NOT NULL, session_id TEXT NOT NULL, "
        "poll_id INTEGER NOT NULL, owner TEXT NOT NULL, status INTEGER NOT NULL, "
        "version INTEGER NOT NULL, start_time BIGINT NOT NULL, end_time BIGINT NOT NULL, "
        "votes INTEGER NOT NULL, max_votes INTEGER NOT NULL, others_may_view INTEGER NOT NULL, "
        "recurring INTEGER NOT NULL, interval_hours INTEGER NOT NULL, "
        "question_count INTEGER NOT NULL, PRIMARY KEY (network, session_id, poll_id))",
        "CREATE TABLE poll_voters (network TEXT NOT NULL, session_id TEXT NOT NULL, "
        "poll_id INTEGER NOT NULL, voter_key TEXT NOT NULL, "
        "PRIMARY KEY (network, session_id, poll_id, voter_key))",
    },
};

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Seconds since 1970 of six calendar fields in the server's local time.
std::time_t Calendar(const int32_t f[6], int isdst) {
    return polls::LocalTimeValue({f[0], f[1], f[2], f[3], f[4], f[5]}, isdst);
}

// What a poll upload asks for, read from its request.
struct PollUploadRequest {
    int32_t mode = 0;  // 0 create, 1 modify
    int32_t pollId = -1;
    int32_t fileFollows = 0;
    int32_t clientClock[7] = {};
    std::string session;
    int32_t start[6] = {}, end[6] = {};
    int32_t maxVotes = 0, othersMayView = 0, recurring = 0, intervalHours = 1, questionCount = 0;

    bool Read(net::MessageReader& f) {
        if (!f.Int(0, 1, mode) || !f.Int(-1, -1, pollId) || !f.Int(0, 1, fileFollows)) return false;
        for (int32_t& v : clientClock)
            if (!f.Int(-1, -1, v)) return false;
        if (!f.Str(1, 64, session)) return false;
        for (int32_t& v : start)
            if (!f.Int(-1, -1, v)) return false;
        for (int32_t& v : end)
            if (!f.Int(-1, -1, v)) return false;
        return f.Int(0, -1, maxVotes) && f.Int(0, 1, othersMayView) && f.Int(0, 1, recurring) &&
               f.Int(-1, -1, intervalHours) && f.Int(0, -1, questionCount);
    }
};

void SendPollResponse(ClientSession& s, int32_t responseCode) {
    net::MessageWriter w(responseCode);
    s.Send(w, net::Primary::Poll);
}

void SendPollError(ClientSession& s, int32_t responseCode, int32_t errorCode) {
    net::MessageWriter w(responseCode);
    w.Int(errorCode);
    s.Send(w, net::Primary::Poll);
}

QString VoterKey(const QString& username) { return username.toLower(); }

void SendUploadAnswer(ClientSession& s, int32_t answer, const std::string& details = {}) {
    net::MessageWriter w(answer);
    if (!details.empty()) w.Str(details);
    s.Send(w, net::Primary::Upload);
}

}  // namespace

PollsService::PollsService(LocalNetwork& network)
    : network_(network), clock_([] { return std::time(nullptr); }) {
    RegisterHandlers();
}

QString PollsService::PollFolder(const QString& number, const QString& session) {
    // Session ids are letters and digits, safe as a folder name.
    return Store::NetworkFolder(number) + "/polls/" + session;
}

QString PollsService::PollFile(const QString& number, const QString& session, int32_t id) {
    return PollFolder(number, session) + "/" + QString::number(id) + ".poll";
}

QString PollsService::BallotsFile(const QString& number, const QString& session, int32_t id) {
    return PollFolder(number, session) + "/" + QString::number(id) + ".ballots";
}

QString PollsService::ResultsFile(const QString& number, const QString& session, int32_t id) {
    return PollFolder(number, session) + "/" + QString::number(id) + ".results";
}

bool PollsService::Open(QString* error) {
    if (!network_.GetStore().PrepareTables("polls", kTableSteps, error)) return false;
    // A ballot a crash caught after its count committed is put in place now.
    if (!placements::Recover(network_.GetStore(), error)) return false;
    polls_.clear();
    QSqlDatabase db = network_.GetStore().Database();
    QSqlQuery q(db);
    if (!q.exec("SELECT network, session_id, poll_id, owner, status, version, start_time, "
                "end_time, votes, max_votes, others_may_view, recurring, interval_hours, "
                "question_count FROM polls")) {
        if (error) *error = "cannot read the polls: " + q.lastError().text();
        return false;
    }
    while (q.next()) {
        Poll p;
        p.id = q.value(2).toInt();
        p.owner = q.value(3).toString();
        p.status = q.value(4).toInt();
        p.version = q.value(5).toInt();
        p.start = q.value(6).toLongLong();
        p.end = q.value(7).toLongLong();
        p.votes = q.value(8).toInt();
        p.maxVotes = q.value(9).toInt();
        p.othersMayView = q.value(10).toInt();
        p.recurring = q.value(11).toInt();
        p.intervalHours = q.value(12).toInt();
        p.questionCount = q.value(13).toInt();
        polls_[{q.value(0).toString(), q.value(1).toString()}][p.id] = std::move(p);
    }
    QSqlQuery v(db);
    if (!v.exec("SELECT network, session_id, poll_id, voter_key FROM poll_voters")) {
        if (error) *error = "cannot read the poll voters: " + v.lastError().text();
        return false;
    }
    while (v.next()) {
        auto it = polls_.find({v.value(0).toString(), v.value(1).toString()});
        if (it == polls_.end()) continue;
        auto poll = it->second.find(v.value(2).toInt());
        if (poll != it->second.end()) poll->second.voters.insert(v.value(3).toString());
    }
    // A poll still in transfer when the server stopped: one whose file never
    // arrived goes; one with a file in place (a finished upload, or the old
    // file of an interrupted change) is available again rather than stuck.
    std::vector<std::pair<Key, int32_t>> unfinished;
    for (auto& [key, polls] : polls_) {
        for (auto& [id, poll] : polls) {
            if (poll.status != 0) continue;
            if (QFile::exists(
                    network_.GetStore().ResolvePath(PollFile(key.number, key.session, id)))) {
                poll.status = 1;
                Save(key.number, key.session, poll);
            } else {
                unfinished.push_back({key, id});
            }
        }
    }
    for (const auto& [key, id] : unfinished) Remove(key.number, key.session, id);
    // A deleted session's polls go with it: a later session given the same
    // id would otherwise find them. Sessions is in the list by now.
    if (!sessionDeleted_) {
        if (SessionsService* sessions = Sessions()) {
            sessionDeleted_ = QObject::connect(
                sessions, &SessionsService::SessionDeleted, sessions,
                [this](const QString& number, const QString& id) { RemoveSession(number, id); });
        }
    }
    return true;
}

void PollsService::RemoveSession(const QString& number, const QString& session) {
    const bool written = network_.GetStore().Write([&](QSqlDatabase& db) {
        for (const char* table : {"polls", "poll_voters"}) {
            QSqlQuery del(db);
            del.prepare(QStringLiteral("DELETE FROM %1 WHERE network = ? AND session_id = ?")
                            .arg(QLatin1String(table)));
            del.addBindValue(number);
            del.addBindValue(session);
            if (!del.exec()) return false;
        }
        return true;
    });
    if (!written) {
        network_.Log("dropping the polls of a deleted session: " + network_.GetStore().LastError());
        return;
    }
    polls_.erase({number, session});
    const QString folder = network_.GetStore().ResolvePath(PollFolder(number, session));
    if (!folder.isEmpty()) QDir(folder).removeRecursively();
}

PollsService::~PollsService() {
    QObject::disconnect(sessionDeleted_);
}

SessionsService* PollsService::Sessions() {
    for (const auto& service : network_.AllServices())
        if (auto* found = dynamic_cast<SessionsService*>(service.get())) return found;
    return nullptr;
}

bool PollsService::SessionExists(const QString& number, const QString& session) {
    SessionsService* sessions = Sessions();
    return sessions && sessions->FindById(number, session);
}

bool PollsService::IsAdministrator(const QString& number, const QString& username) {
    const Network* n = network_.GetStore().FindNetwork(number);
    const Account* a = n ? n->FindAccount(username) : nullptr;
    return a && (a->admin || a->root);
}

bool PollsService::IsCreator(const QString& number, const QString& session,
                             const QString& username) {
    SessionsService* sessions = Sessions();
    const StoredSession* s = sessions ? sessions->FindById(number, session) : nullptr;
    return s && s->creator.compare(username, Qt::CaseInsensitive) == 0;
}

bool PollsService::IsModerator(const QString& number, const QString& session,
                               const QString& username) {
    SessionsService* sessions = Sessions();
    const StoredSession* s = sessions ? sessions->FindById(number, session) : nullptr;
    return s && s->moderators.contains(username, Qt::CaseInsensitive);
}

const PollsService::Poll* PollsService::Find(const QString& number, const QString& session,
                                             int32_t id) const {
    auto it = polls_.find({number, session});
    if (it == polls_.end()) return nullptr;
    auto poll = it->second.find(id);
    return poll == it->second.end() ? nullptr : &poll->second;
}

std::vector<const PollsService::Poll*> PollsService::PollsOf(const QString& number,
                                                            const QString& session) const {
    std::vector<const Poll*> out;
    auto it = polls_.find({number, session});
    if (it == polls_.end()) return out;
    for (const auto& [id, poll] : it->second) out.push_back(&poll);
    return out;
}

QByteArray PollsService::ListText(const QString& number, const QString& session) const {
    QByteArray text;
    for (const Poll* p : PollsOf(number, session)) {
        polls::CPollEntry e;
        e.pollId = p->id;
        e.owner = p->owner.toStdString();
        e.status = p->status;
        e.version = p->version;
        e.start = polls::ToPollTime(std::time_t(p->start));
        e.end = polls::ToPollTime(std::time_t(p->end));
        e.votes = p->votes;
        e.maxVotes = p->maxVotes;
        e.othersMayView = p->othersMayView;
        e.recurring = p->recurring;
        e.recurrenceHours = p->intervalHours;
        e.questionCount = p->questionCount;
        text += QByteArray::fromStdString(polls::FormatPollListLine(e));
    }
    return text;
}

namespace {
// A poll's row, in place of the one it had.
bool PutPollRow(QSqlDatabase& db, const QString& number, const QString& session,
                const PollsService::Poll& p) {
    QSqlQuery del(db);
    del.prepare("DELETE FROM polls WHERE network = ? AND session_id = ? AND poll_id = ?");
    del.addBindValue(number);
    del.addBindValue(session);
    del.addBindValue(p.id);
    if (!del.exec()) return false;
    QSqlQuery ins(db);
    ins.prepare("INSERT INTO polls (network, session_id, poll_id, owner, status, version, "
                "start_time, end_time, votes, max_votes, others_may_view, recurring, "
                "interval_hours, question_count) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const QVariant& v :
         {QVariant(number), QVariant(session), QVariant(p.id), QVariant(p.owner),
          QVariant(p.status), QVariant(p.version), QVariant(p.start), QVariant(p.end),
          QVariant(p.votes), QVariant(p.maxVotes), QVariant(p.othersMayView),
          QVariant(p.recurring), QVariant(p.intervalHours), QVariant(p.questionCount)})
        ins.addBindValue(v);
    return ins.exec();
}

// A poll's voters, in place of the ones it had.
bool PutVoterRows(QSqlDatabase& db, const QString& number, const QString& session,
                  const PollsService::Poll& p) {
    QSqlQuery del(db);
    del.prepare("DELETE FROM poll_voters WHERE network = ? AND session_id = ? AND poll_id = ?");
    del.addBindValue(number);
    del.addBindValue(session);
    del.addBindValue(p.id);
    if (!del.exec()) return false;
    for (const QString& voter : p.voters) {
        QSqlQuery ins(db);
        ins.prepare("INSERT INTO poll_voters (network, session_id, poll_id, voter_key) "
                    "VALUES (?, ?, ?, ?)");
        ins.addBindValue(number);
        ins.addBindValue(session);
        ins.addBindValue(p.id);
        ins.addBindValue(voter);
        if (!ins.exec()) return false;
    }
    return true;
}

// One voter added (or, to take a ballot back, removed), leaving the others'
// rows alone: a ballot costs the same whether it is the first or the 500th.
bool PutOneVoter(QSqlDatabase& db, const QString& number, const QString& session, int32_t id,
                 const QString& voterKey, bool add) {
    QSqlQuery q(db);
    q.prepare(add ? QStringLiteral("INSERT INTO poll_voters (network, session_id, "
                                   "poll_id, voter_key) VALUES (?, ?, ?, ?)")
                  : QStringLiteral("DELETE FROM poll_voters WHERE network = ? AND session_id = ? "
                                   "AND poll_id = ? AND voter_key = ?"));
    q.addBindValue(number);
    q.addBindValue(session);
    q.addBindValue(id);
    q.addBindValue(voterKey);
    return q.exec();
}
}  // namespace

bool PollsService::Save(const QString& number, const QString& session, const Poll& p) {
    return network_.GetStore().Write(
        [&](QSqlDatabase& db) { return PutPollRow(db, number, session, p); });
}

bool PollsService::SaveVoters(const QString& number, const QString& session, const Poll& p) {
    return network_.GetStore().Write(
        [&](QSqlDatabase& db) { return PutVoterRows(db, number, session, p); });
}

bool PollsService::SaveWithVoters(const QString& number, const QString& session, const Poll& p) {
    // The count and the names it counts never part.
    return network_.GetStore().Write([&](QSqlDatabase& db) {
        return PutPollRow(db, number, session, p) && PutVoterRows(db, number, session, p);
    });
}

bool PollsService::Remove(const QString& number, const QString& session, int32_t id) {
    const bool ok = network_.GetStore().Write([&](QSqlDatabase& db) {
        for (const char* table : {"polls", "poll_voters"}) {
            QSqlQuery del(db);
            del.prepare(QStringLiteral("DELETE FROM %1 WHERE network = ? AND session_id = ? AND "
                                       "poll_id = ?")
                            .arg(QLatin1String(table)));
            del.addBindValue(number);
            del.addBindValue(session);
            del.addBindValue(id);
            if (!del.exec()) return false;
        }
        return true;
    });
    if (!ok) return false;
    const Store& store = network_.GetStore();
    store.RemoveFile(store.ResolvePath(PollFile(number, session, id)));
    store.RemoveFile(store.ResolvePath(BallotsFile(number, session, id)));
    auto it = polls_.find({number, session});
    if (it != polls_.end()) it->second.erase(id);
    return true;
}

void PollsService::RegisterHandlers() {
    Router& router = network_.GetRouter();
    router.Register(ServerKind::File, net::Primary::Poll, code::kConfirm,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        OnConfirm(s, f);
                    });
    router.Register(ServerKind::File, net::Primary::Poll, code::kOperate,
                    [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) {
                        OnOperate(s, f);
                    });

    TransferEngine& transfers = network_.Transfers();
    transfers.RegisterDownload(code::kPollListDownload, [this](ClientSession& s,
                                                               net::MessageReader& f) {
        std::string session;
        int32_t refresh = 0;
        if (!f.Str(1, 64, session) || !f.Int(0, 1, refresh)) return DownloadDecision::Refuse();
        const QString id = FromUtf8(session);
        if (!SessionExists(s.NetworkNumber(), id)) return DownloadDecision::Refuse();
        return DownloadDecision::ServeBytes(ListText(s.NetworkNumber(), id));
    });

    transfers.RegisterDownload(code::kPollFileDownload, [this](ClientSession& s,
                                                               net::MessageReader& f) {
        std::string session, owner;
        int32_t id = 0, purpose = 0;
        if (!f.Str(1, 64, session) || !f.Str(1, 64, owner) || !f.Int(-1, -1, id) ||
            !f.Int(0, 1, purpose))
            return DownloadDecision::Refuse();
        const QString number = s.NetworkNumber(), sessionId = FromUtf8(session);
        const Poll* poll = Named(number, sessionId, owner, id);
        if (purpose == 1) {
            // Only the owner opens a poll for modification.
            if (!poll || poll->owner.compare(s.Username(), Qt::CaseInsensitive) != 0)
                return DownloadDecision::Refuse();
            return DownloadDecision::ServeFile(PollFile(number, sessionId, id));
        }
        if (const int32_t why = TakeRefusal(poll, s.Username())) {
            SendPollError(s, code::kUnavailable, why);
            return DownloadDecision::Ignore();
        }
        return DownloadDecision::ServeFile(PollFile(number, sessionId, id));
    });

    transfers.RegisterDownload(code::kResultsDownload, [this](ClientSession& s,
                                                              net::MessageReader& f) {
        std::string session, owner;
        int32_t id = 0;
        if (!f.Str(1, 64, session) || !f.Str(1, 64, owner) || !f.Int(-1, -1, id))
            return DownloadDecision::Refuse();
        const QString number = s.NetworkNumber(), sessionId = FromUtf8(session);
        const Poll* poll = Named(number, sessionId, owner, id);
        if (const int32_t why = ResultsRefusal(poll)) {
            SendPollError(s, code::kResultsRefused, why);
            return DownloadDecision::Ignore();
        }
        QString results;
        if (const int32_t why = BuildResults(number, sessionId, *poll, s.Username(), results)) {
            SendPollError(s, code::kResultsFailed, why);
            return DownloadDecision::Ignore();
        }
        return DownloadDecision::ServeFile(results);
    });

    transfers.RegisterUpload(code::kBallotUpload, [this](ClientSession& s, int32_t size,
                                                         net::MessageReader& f) {
        std::string session, owner;
        int32_t id = 0, version = 0;
        if (!f.Str(1, 64, session) || !f.Str(1, 64, owner) || !f.Int(-1, -1, id) ||
            !f.Int(-1, -1, version)) {
            SendPollResponse(s, code::kBallotFailed);
            return UploadDecision::Ignore();
        }
        const QString number = s.NetworkNumber(), sessionId = FromUtf8(session);
        const Poll* poll = Named(number, sessionId, owner, id);
        if (const int32_t why = TakeRefusal(poll, s.Username())) {
            SendPollError(s, code::kUnavailable, why);
            return UploadDecision::Ignore();
        }
        if (version != poll->version) {
            SendPollError(s, code::kUnavailable, 6);
            return UploadDecision::Ignore();
        }
        if (size < 1 || size > kMaxBallotFile) {
            SendPollResponse(s, code::kBallotFailed);
            return UploadDecision::Ignore();
        }
        // Each ballot is gathered aside under a name of its own; a crash
        // leaves only that, swept at the next start.
        return UploadDecision::Gather(
            placements::StagingName(), [this, number, sessionId, id, version](ClientSession& voter, bool stored,
                                                             const QString& path) {
                if (!stored) return;
                StoreBallot(voter, number, sessionId, id, version, path);
            });
    });

    transfers.RegisterUpload(code::kPollUpload, [this](ClientSession& s, int32_t size,
                                                       net::MessageReader& f) {
        PollUploadRequest r;
        const auto refuse = [](int32_t why, const char* details) {
            return UploadDecision::Refuse(why, details);
        };
        if (!r.Read(f)) return refuse(net::upload::kRefusedPollDirectoryFull,
                                      "The poll request could not be read");
        const QString number = s.NetworkNumber();
        const QString session = FromUtf8(r.session);
        const QString user = s.Username();
        if (!SessionExists(number, session))
            return refuse(net::upload::kRefusedPollDirectoryFull, "The session does not exist");
        if (r.fileFollows && (size < 1 || size > kMaxPollFile))
            return refuse(net::upload::kRefusedPollTooLarge,
                          "A poll file may be at most 10,485,760 bytes");
        if (r.mode == 0 && !r.fileFollows)
            return refuse(net::upload::kRefusedPollDirectoryFull, "A new poll needs its questions");

        // The schedule moves from the client's clock to ours.
        std::tm client{};
        client.tm_year = r.clientClock[0];
        client.tm_mon = r.clientClock[1];
        client.tm_mday = r.clientClock[2];
        client.tm_hour = r.clientClock[3];
        client.tm_min = r.clientClock[4];
        client.tm_sec = r.clientClock[5];
        client.tm_isdst = r.clientClock[6] > 0 ? 1 : 0;
        const std::time_t clientNow = std::mktime(&client);
        const std::time_t start = Calendar(r.start, -1), end = Calendar(r.end, -1);
        if (clientNow == std::time_t(-1) || start == std::time_t(-1) || end == std::time_t(-1))
            return refuse(net::upload::kRefusedPollDirectoryFull,
                          "The poll's schedule could not be read");
        const qint64 offset = qint64(clock_()) - qint64(clientNow);

        Polls& polls = polls_[{number, session}];
        Poll next;
        std::optional<Poll> previous;
        if (r.mode == 0) {
            if (!IsCreator(number, session, user) && !IsModerator(number, session, user) &&
                !IsAdministrator(number, user)) {
                return refuse(net::upload::kRefusedPollDirectoryFull,
                              "Only the session's creator, a moderator or a network "
                              "administrator may create polls");
            }
            if (int(polls.size()) >= kMaxPollsPerSession)
                return refuse(net::upload::kRefusedPollDirectoryFull,
                              "The session already holds 91 polls");
            int32_t id = 1;
            while (polls.count(id)) ++id;
            if (id > kMaxPollId)
                return refuse(net::upload::kRefusedPollDirectoryFull, "No poll number is free");
            next.id = id;
            next.owner = user;
            next.version = 1;
        } else {
            auto it = polls.find(r.pollId);
            if (it == polls.end())
                return refuse(net::upload::kRefusedPollDirectoryFull, "The poll does not exist");
            if (it->second.owner.compare(user, Qt::CaseInsensitive) != 0)
                return refuse(net::upload::kRefusedPollDirectoryFull,
                              "Only the poll's owner may modify it");
            previous = it->second;
            next = it->second;
        }
        next.start = qint64(start) + offset;
        next.end = qint64(end) + offset;
        next.maxVotes = r.maxVotes;
        next.othersMayView = r.othersMayView;
        next.recurring = r.recurring;
        next.intervalHours = r.intervalHours;

        if (!r.fileFollows) {
            // Only the schedule, the limits and the flags change.
            if (!Save(number, session, next)) {
                network_.Log("polls: cannot store poll " + QString::number(next.id) + ": " +
                             network_.GetStore().LastError());
                return UploadDecision::Ignore();
            }
            polls[next.id] = next;
            SendUploadAnswer(s, net::upload::kPollStored);
            return UploadDecision::Ignore();
        }

        // In transfer until the file is complete and the owner confirms.
        next.status = 0;
        if (!Save(number, session, next)) return UploadDecision::Ignore();
        polls[next.id] = next;
        const int32_t id = next.id;
        const QString incoming = PollFolder(number, session) + "/" + QString::number(id) + ".incoming";
        auto decision = UploadDecision::Accept(
            incoming, [this, number, session, id, next, previous](ClientSession& owner,
                                                                  bool stored, const QString& path) {
                const Store& store = network_.GetStore();
                const auto restore = [&] {
                    store.RemoveFile(path);
                    if (previous) {
                        polls_[{number, session}][id] = *previous;
                        Save(number, session, *previous);
                    } else {
                        Remove(number, session, id);
                    }
                };
                if (!stored) {
                    restore();
                    return;
                }
                // The file must be what every reader accepts.
                auto bytes = polls::ReadWholeFile(path.toStdString(), kMaxPollFile);
                std::optional<std::vector<polls::CPollQuestion>> questions;
                if (bytes) {
                    polls::UnmaskBytes(*bytes);
                    questions = polls::ReadPollBytes(*bytes);
                }
                if (!questions) {
                    restore();
                    SendUploadAnswer(owner, net::upload::kRefusedPollTooLarge,
                                     "The poll file could not be read");
                    return;
                }
                const QString final = store.ResolvePath(PollFile(number, session, id));
                store.RemoveFile(final);
                if (!QFile::rename(path, final)) {
                    restore();
                    return;
                }
                Poll done = next;
                done.questionCount = int32_t(questions->size());
                if (previous) {
                    // New questions: a new version, and the ballots so far go.
                    done.version = previous->version + 1;
                    done.votes = 0;
                    done.voters.clear();
                    store.RemoveFile(store.ResolvePath(BallotsFile(number, session, id)));
                    SaveVoters(number, session, done);
                }
                polls_[{number, session}][id] = done;
                Save(number, session, done);
            });
        decision.extra = id;
        return decision;
    });
}

const PollsService::Poll* PollsService::Named(const QString& number, const QString& session,
                                              const std::string& owner, int32_t id) const {
    const Poll* poll = Find(number, session, id);
    if (!poll || poll->owner.compare(FromUtf8(owner), Qt::CaseInsensitive) != 0) return nullptr;
    return poll;
}

bool PollsService::InWindow(const Poll& p) const {
    const qint64 since = qint64(clock_()) - p.start;
    if (since < 0) return false;
    // 64 bits, and a recurrence of no positive length is none.
    const qint64 interval = p.recurring && p.intervalHours > 0 ? qint64(p.intervalHours) * 3600 : 0;
    const qint64 into = interval > 0 ? since % interval : since;
    return into < p.end - p.start;
}

int32_t PollsService::TakeRefusal(const Poll* p, const QString& voter) const {
    if (!p) return 1;
    if (p->status != 1) return 2;
    if (p->voters.count(VoterKey(voter))) return 3;
    if (qint64(clock_()) < p->start) return 4;
    if (p->votes >= p->maxVotes || !InWindow(*p)) return 5;
    return 0;
}

int32_t PollsService::ResultsRefusal(const Poll* p) const {
    if (!p) return 1;
    if (p->status != 1) return 2;
    // Once every vote is in, the results may be seen at once.
    if (p->votes >= p->maxVotes) return 0;
    if (qint64(clock_()) < p->start) return 3;
    if (InWindow(*p)) return 4;
    return 0;
}

int32_t PollsService::BuildResults(const QString& number, const QString& session, const Poll& p,
                                   const QString& requester, QString& relativePath) {
    const Store& store = network_.GetStore();
    const QString ballotsPath = store.ResolvePath(BallotsFile(number, session, p.id));
    const QString pollPath = store.ResolvePath(PollFile(number, session, p.id));
    relativePath = ResultsFile(number, session, p.id);
    const QString resultsPath = store.ResolvePath(relativePath);
    if (ballotsPath.isEmpty() || pollPath.isEmpty() || resultsPath.isEmpty()) return 4;
    if (!QFileInfo::exists(ballotsPath)) return 2;
    if (QFileInfo(pollPath).size() < 1) return 3;

    // Written beside its final name, then renamed: a download of an earlier
    // results file keeps reading the file it opened.
    QFile out(resultsPath + ".part");
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 4;
    const auto failed = [&](int32_t why) {
        out.close();
        out.remove();
        return why;
    };
    QFile poll(pollPath);
    if (!poll.open(QIODevice::ReadOnly) || poll.size() > kMaxPollFile) return failed(5);
    const QByteArray pollBytes = poll.readAll();
    if (pollBytes.isEmpty() || pollBytes.size() != poll.size()) return failed(5);
    std::string prefix;
    net::PutU32(prefix, uint32_t(pollBytes.size()));
    if (out.write(prefix.data(), 4) != 4 || out.write(pollBytes) != pollBytes.size())
        return failed(5);

    QFile ballots(ballotsPath);
    if (!ballots.open(QIODevice::ReadOnly)) return failed(6);
    QByteArray ballotBytes = ballots.readAll();
    if (ballots.error() != QFileDevice::NoError) return failed(6);
    const bool seesNames =
        p.owner.compare(requester, Qt::CaseInsensitive) == 0 || p.othersMayView != 0;
    if (!seesNames) {
        // The same layout, with the names of the voters left out.
        auto read = polls::ReadBallotsBytes(
            std::string_view(ballotBytes.constData(), size_t(ballotBytes.size())));
        if (!read) return failed(6);
        for (size_t i = 0; i < read->size(); ++i)
            (*read)[i].voterName = "voter" + std::to_string(i + 1);
        ballotBytes = QByteArray::fromStdString(polls::WriteBallotsBytes(*read));
    }
    if (out.write(ballotBytes) != ballotBytes.size() || !out.flush()) return failed(6);
    out.close();
    store.RemoveFile(resultsPath);
    if (!QFile::rename(resultsPath + ".part", resultsPath)) {
        QFile::remove(resultsPath + ".part");
        return 4;
    }
    return 0;
}

void PollsService::StoreBallot(ClientSession& s, const QString& number, const QString& session,
                               int32_t id, int32_t version, const QString& path) {
    const auto bytes = polls::ReadWholeFile(path.toStdString(), size_t(kMaxBallotFile));
    network_.GetStore().RemoveFile(path);
    // The poll may have changed while the ballot arrived.
    const Poll* p = Find(number, session, id);
    if (const int32_t why = TakeRefusal(p, s.Username())) {
        SendPollError(s, code::kUnavailable, why);
        return;
    }
    if (p->version != version) {
        SendPollError(s, code::kUnavailable, 6);
        return;
    }
    const auto reject = [&](const QString& why) {
        network_.Log("polls: ballot of " + s.Username() + " for poll " + QString::number(id) +
                     " dropped: " + why);
        SendPollResponse(s, code::kBallotFailed);
    };
    if (!bytes) return reject("unreadable");
    // Exactly one ballot within the bounds every results reader keeps.
    size_t pos = 0;
    auto ballot = polls::ReadBallot(*bytes, pos);
    if (!ballot || pos != bytes->size()) return reject("not a ballot");
    if (FromUtf8(ballot->voterName).compare(s.Username(), Qt::CaseInsensitive) != 0)
        return reject("the name is not the voter's");
    const Store& store = network_.GetStore();
    auto pollBytes = polls::ReadWholeFile(
        store.ResolvePath(PollFile(number, session, id)).toStdString(), size_t(kMaxPollFile));
    std::optional<std::vector<polls::CPollQuestion>> questions;
    if (pollBytes) {
        polls::UnmaskBytes(*pollBytes);
        questions = polls::ReadPollBytes(*pollBytes);
    }
    if (!questions) return reject("the poll file cannot be read");
    if (ballot->answers.size() != questions->size()) return reject("wrong number of answers");
    for (size_t i = 0; i < questions->size(); ++i) {
        const polls::CPollAnswer& a = ballot->answers[i];
        if (!a.skipped && a.kind != (*questions)[i].kind) return reject("an answer of another kind");
    }

    // Appended: the count goes up by one, the ballot follows the others.
    // The new ballots file is written aside and takes its name only once the
    // count and the voter are committed, so that a crash anywhere leaves the
    // ballot wholly counted or wholly absent.
    const QString relative = BallotsFile(number, session, id);
    const QString ballotsPath = store.ResolvePath(relative);
    QByteArray before;
    if (QFileInfo::exists(ballotsPath)) {
        QFile existing(ballotsPath);
        if (!existing.open(QIODevice::ReadOnly)) return reject("the ballots file cannot be read");
        before = existing.readAll();
        if (existing.error() != QFileDevice::NoError || before.size() < 4)
            return reject("the ballots file cannot be read");
    }
    int32_t count = 0;
    if (!before.isEmpty()) {
        const auto* b = reinterpret_cast<const unsigned char*>(before.constData());
        count = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                        uint32_t(b[3]) << 24);
        if (count < 0 || count == INT32_MAX) return reject("the ballots file is corrupt");
    }
    std::string head;
    net::PutU32(head, uint32_t(count + 1));
    QByteArray after = QByteArray::fromStdString(head);
    if (!before.isEmpty()) after += before.mid(4);
    after += QByteArray::fromStdString(*bytes);
    Store& writable = network_.GetStore();
    const QString staging = placements::StagingName();
    if (!writable.WriteFile(staging, after)) {
        store.RemoveFile(store.ResolvePath(staging));
        return reject("the ballots file cannot be written");
    }

    Poll next = *p;
    next.votes += 1;
    const QString voterKey = VoterKey(s.Username());
    next.voters.insert(voterKey);
    const Poll previous = *p;
    if (!placements::CommitAndPlace(
            writable, staging, relative,
            [&](QSqlDatabase& db) {
                return PutPollRow(db, number, session, next) &&
                       PutOneVoter(db, number, session, id, voterKey, true);
            },
            [&](QSqlDatabase& db) {
                return PutPollRow(db, number, session, previous) &&
                       PutOneVoter(db, number, session, id, voterKey, false);
            })) {
        return reject("the ballot cannot be stored: " + store.LastError());
    }
    polls_[{number, session}][id] = next;
}

void PollsService::OnConfirm(ClientSession& s, net::MessageReader& f) {
    std::string sessionBytes;
    int32_t id = 0, one = 0;
    if (!f.Str(1, 64, sessionBytes) || !f.Int(-1, -1, id) || !f.Int(-1, -1, one)) {
        network_.Log("polls: unreadable confirmation from " + s.Username());
        return;
    }
    const QString number = s.NetworkNumber(), session = FromUtf8(sessionBytes);
    auto it = polls_.find({number, session});
    if (it == polls_.end() || !it->second.count(id)) {
        network_.Log("polls: confirmation of unknown poll " + QString::number(id));
        return;
    }
    Poll& p = it->second[id];
    if (p.owner.compare(s.Username(), Qt::CaseInsensitive) != 0 || p.status != 0 ||
        !QFile::exists(network_.GetStore().ResolvePath(PollFile(number, session, id)))) {
        network_.Log("polls: confirmation of poll " + QString::number(id) + " ignored");
        return;
    }
    Poll next = p;
    next.status = 1;
    if (Save(number, session, next)) p = next;
}

void PollsService::OnOperate(ClientSession& s, net::MessageReader& f) {
    int32_t operation = 0, count = 0;
    std::string sessionBytes;
    if (!f.Int(0, 3, operation) || !f.Str(1, 64, sessionBytes) ||
        !f.Int(0, kMaxPollsPerSession * 4, count)) {
        network_.Log("polls: unreadable operation from " + s.Username());
        return;
    }
    const QString number = s.NetworkNumber(), session = FromUtf8(sessionBytes);
    const QString user = s.Username();
    const bool overAll = IsCreator(number, session, user) || IsAdministrator(number, user);
    for (int32_t i = 0; i < count; ++i) {
        std::string owner;
        int32_t id = 0;
        if (!f.Str(1, 64, owner) || !f.Int(-1, -1, id)) break;
        const Poll* found = Find(number, session, id);
        if (!found || found->owner.compare(FromUtf8(owner), Qt::CaseInsensitive) != 0) continue;
        if (!overAll && found->owner.compare(user, Qt::CaseInsensitive) != 0) {
            network_.Log("polls: " + user + " may not change poll " + QString::number(id));
            continue;
        }
        const Store& store = network_.GetStore();
        Poll next = *found;
        switch (operation) {
            case code::kReset:
                next.votes = 0;
                next.voters.clear();
                if (!SaveWithVoters(number, session, next)) continue;
                store.RemoveFile(store.ResolvePath(BallotsFile(number, session, id)));
                break;
            case code::kDelete:
                Remove(number, session, id);
                continue;
            case code::kSuspend:
                next.status = 2;
                if (!Save(number, session, next)) continue;
                break;
            case code::kResume:
                next.status = 1;
                if (!Save(number, session, next)) continue;
                break;
        }
        polls_[{number, session}][id] = next;
    }
    SendPollResponse(s, code::kListChanged);
}

bool PollsService::SeedDemo() {
    SessionsService* sessions = Sessions();
    if (!sessions) return true;
    const Store& store = network_.GetStore();
    for (const auto& network : store.Networks()) {
        const QString number = network->number;
        // The demo session created by alice.
        const StoredSession* team = sessions->FindById(number, "demo01");
        if (!team || !polls_[{number, team->id}].empty()) continue;
        const QString session = team->id;
        const std::time_t now = clock_();

        polls::CPollQuestion lunch;
        lunch.kind = int32_t(polls::QuestionKind::MultipleChoice);
        lunch.text = "Where shall we have the team lunch?";
        lunch.answers = std::array<std::string, 4>{"Noodle bar", "Pizzeria", "Salad place",
                                                   "Bring our own"};
        lunch.noCorrectAnswer = 1;
        polls::CPollQuestion remote;
        remote.kind = int32_t(polls::QuestionKind::TrueFalse);
        remote.text = "Should Fridays be remote?";
        remote.noCorrectAnswer = 1;
        polls::CPollQuestion hours;
        hours.kind = int32_t(polls::QuestionKind::Numeric);
        hours.text = "How many hours a week do you spend in meetings?";
        hours.minimum = 0;
        hours.maximum = 60;
        hours.noCorrectAnswer = 1;
        polls::CPollQuestion ideas;
        ideas.kind = int32_t(polls::QuestionKind::Open);
        ideas.text = "What would make the weekly sync better?";
        ideas.noCorrectAnswer = 1;
        polls::CPollQuestion capital;
        capital.kind = int32_t(polls::QuestionKind::MultipleChoice);
        capital.text = "Which planet is the largest?";
        capital.answers = std::array<std::string, 4>{"Mars", "Jupiter", "Venus", "Mercury"};
        capital.correctChoice = 1;

        const auto ballot = [](const char* voter, std::vector<polls::CPollAnswer> answers) {
            polls::CBallot b;
            b.voterName = voter;
            b.answers = std::move(answers);
            return b;
        };
        const auto choice = [](int32_t c) {
            polls::CPollAnswer a;
            a.kind = int32_t(polls::QuestionKind::MultipleChoice);
            a.choice = c;
            return a;
        };
        const auto yesNo = [](int32_t v) {
            polls::CPollAnswer a;
            a.kind = int32_t(polls::QuestionKind::TrueFalse);
            a.trueFalse = v;
            return a;
        };
        const auto number_ = [](double v) {
            polls::CPollAnswer a;
            a.kind = int32_t(polls::QuestionKind::Numeric);
            a.number = v;
            return a;
        };
        const auto text = [](const char* t) {
            polls::CPollAnswer a;
            a.kind = int32_t(polls::QuestionKind::Open);
            a.text = t;
            return a;
        };

        struct Seed {
            Poll poll;
            std::vector<polls::CPollQuestion> questions;
            std::vector<polls::CBallot> ballots;
        };
        const qint64 day = 24 * 3600;
        const qint64 today = qint64(now) - qint64(now) % 3600;
        std::vector<Seed> seeds;
        {
            Seed s;  // in progress, carol has voted
            s.poll = {1, "alice", 1, 1, today - day, today + 7 * day, 1, 20, 0, 0, 1, 4, {"carol"}};
            s.questions = {lunch, remote, hours, ideas};
            s.ballots = {ballot("carol", {choice(0), yesNo(0), number_(6), text("Shorter, please")})};
            seeds.push_back(std::move(s));
        }
        {
            Seed s;  // finished yesterday, three ballots
            s.poll = {2, "alice", 1, 1, today - 4 * day, today - day, 3, 10, 1, 0, 1, 1,
                      {"alice", "bob", "carol"}};
            s.questions = {capital};
            s.ballots = {ballot("alice", {choice(1)}), ballot("bob", {choice(1)}),
                         ballot("carol", {choice(0)})};
            seeds.push_back(std::move(s));
        }
        {
            Seed s;  // every 24 hours, two hours long
            s.poll = {3, "alice", 1, 1, today - 2 * day, today - 2 * day + 2 * 3600, 0, 50, 0, 1,
                      24, 1, {}};
            s.questions = {remote};
            seeds.push_back(std::move(s));
        }
        {
            Seed s;  // suspended
            s.poll = {4, "alice", 2, 1, today - day, today + 3 * day, 0, 20, 0, 0, 1, 1, {}};
            s.questions = {hours};
            seeds.push_back(std::move(s));
        }
        for (Seed& s : seeds) {
            std::string file = polls::WritePollBytes(s.questions);
            polls::MaskBytes(file);
            if (!store.WriteFile(PollFile(number, session, s.poll.id), QByteArray::fromStdString(file)))
                return false;
            if (!s.ballots.empty() &&
                !store.WriteFile(BallotsFile(number, session, s.poll.id),
                                 QByteArray::fromStdString(polls::WriteBallotsBytes(s.ballots))))
                return false;
            if (!SaveWithVoters(number, session, s.poll))
                return false;
            polls_[{number, session}][s.poll.id] = s.poll;
        }
    }
    return true;
}

}  // namespace localnet
