#include "Users.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sstream>
#include <thread>

#include "PagePng.h"
#include "net/Transfers.h"
#include "polls/model/PollFiles.h"

namespace loadgen {

namespace {

double Millis(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

int64_t NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

// Lines of a mailbox message list: number, attachment, unread, sender, ...
struct ListedMail {
    std::string number, attachment, sender;
};
std::vector<ListedMail> ParseMessageList(const std::string& text) {
    std::vector<ListedMail> out;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        ListedMail m;
        std::string unread;
        if (f >> m.number >> m.attachment >> unread >> m.sender) out.push_back(m);
    }
    return out;
}

// The operation file that deletes the listed mail of `senders` (any when empty).
std::string DeleteOperation(int root, const std::string& folder,
                            const std::vector<ListedMail>& mail, const std::string& prefix) {
    std::string op = "3\n" + std::to_string(root) + "\n" + folder + "\n";
    bool any = false;
    for (const ListedMail& m : mail) {
        if (m.sender.rfind(prefix, 0) != 0) continue;
        op += m.number + " " + m.attachment + " 0 " + m.sender + "\n";
        any = true;
    }
    return any ? op : std::string();
}

void PutClock(net::MessageWriter& w, std::time_t t, bool calendar) {
    std::tm tm{};
    ::localtime_r(&t, &tm);
    if (calendar) {
        w.Int(tm.tm_year + 1900).Int(tm.tm_mon + 1).Int(tm.tm_mday);
        w.Int(tm.tm_hour).Int(tm.tm_min).Int(tm.tm_sec);
    } else {
        w.Int(tm.tm_year).Int(tm.tm_mon).Int(tm.tm_mday);
        w.Int(tm.tm_hour).Int(tm.tm_min).Int(tm.tm_sec).Int(tm.tm_isdst > 0 ? 1 : 0);
    }
}

}  // namespace

std::string UserName(int i) {
    return "lg" + std::to_string(i);
}

std::string Identity(int i) {
    char text[40];
    std::snprintf(text, sizeof text, "10adf00d-0000-4000-8000-%012d", i);
    return text;
}

bool CreateAccount(const Options& o, int i) {
    Link link;
    if (!link.Open(o.host, o.networkPort)) return false;
    net::MessageWriter w(net::zorvic::kEnvelope);
    w.Int(0).Int(0).Int(0).Int(+net::Primary::Account).Int(+net::Secondary::Message);
    w.Int(net::account::kCreate).Str(o.number).Str("Load " + std::to_string(i)).Str(UserName(i));
    w.Str(UserName(i) + "pw").Str(Identity(i)).Str("none");
    if (!link.Send(w, net::Primary::Zorvic)) return false;
    auto m = link.Wait(net::Primary::Account, o.answerWait);
    return m && (m->code == net::account::kCreated || m->code == net::account::kUsernameTaken);
}

bool LogIn(Link& link, const Options& o, const std::string& user, const std::string& password,
           const std::string& identity) {
    net::MessageWriter w(net::login::kLogin);
    w.Int(2).Str(o.number).Int(0).Str(user).Str(password).Str(identity);
    if (!link.Send(w, net::Primary::Login)) return false;
    auto m = link.Wait(net::Primary::Login, o.answerWait);
    return m && m->code == net::login::kLoginOK;
}

// ---- Mail book ---------------------------------------------------------------

void MailBook::SetOnline(int user, bool online) {
    online_[static_cast<size_t>(user)] = online;
    if (!online) {
        std::lock_guard<std::mutex> lock(mutex_);
        left_[user] = Clock::now();
    }
}

uint64_t MailBook::Expect(int recipient) {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint64_t token = next_++;
    pending_[recipient].push_back({token, Clock::now()});
    return token;
}

void MailBook::Withdraw(int recipient, uint64_t token) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& q = pending_[recipient];
    q.erase(std::remove_if(q.begin(), q.end(), [&](const Pending& p) { return p.token == token; }),
            q.end());
}

bool MailBook::Arrived(int recipient, double& ms) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& q = pending_[recipient];
    if (q.empty()) return false;
    ms = Millis(Clock::now() - q.front().sent);
    q.pop_front();
    return true;
}

void MailBook::Settle(Stats& stats, std::chrono::milliseconds grace, size_t& inFlight) {
    std::lock_guard<std::mutex> lock(mutex_);
    inFlight = 0;
    for (auto& [recipient, q] : pending_) {
        const auto left = left_.count(recipient) ? left_[recipient] : Clock::now();
        for (const Pending& p : q) {
            if (left - p.sent > grace)
                stats.Fail("mail notified", "no notice while the recipient stayed online");
            else
                ++inFlight;
        }
        q.clear();
    }
}

// ---- Polls ---------------------------------------------------------------

std::string PollMaster::PollFileBytes() {
    std::vector<polls::CPollQuestion> questions(2);
    questions[0].kind = static_cast<int32_t>(polls::QuestionKind::TrueFalse);
    questions[0].text = "Is the network fast enough today?";
    questions[0].noCorrectAnswer = 1;
    questions[1].kind = static_cast<int32_t>(polls::QuestionKind::MultipleChoice);
    questions[1].text = "Which day suits the next meeting?";
    questions[1].answers = std::array<std::string, 4>{"Monday", "Tuesday", "Wednesday", "Thursday"};
    questions[1].noCorrectAnswer = 1;
    std::string bytes = polls::WritePollBytes(questions);
    polls::MaskBytes(bytes);
    return bytes;
}

bool PollMaster::Start() {
    if (!file_.Open(o_.host, o_.filePort) ||
        !LogIn(file_, o_, o_.pollOwner, o_.pollPassword, Identity(999999)))
        return false;
    file_.StartKeepAlive(o_.keepAlive);
    return true;
}

CurrentPoll PollMaster::Current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

int32_t PollMaster::Create() {
    const std::string file = PollFileBytes();
    const std::time_t now = std::time(nullptr);
    int32_t id = 0;
    net::MessageWriter w(net::UploadRequestCode(net::poll::kPollUploadSlot));
    w.Int(static_cast<int32_t>(file.size()));
    w.Int(0).Int(-1).Int(1);  // create, no id yet, the file follows
    PutClock(w, now, false);
    w.Str(o_.pollSession);
    // Open from an hour ago for a day, with room for every user's vote.
    PutClock(w, now - 3600, true);
    PutClock(w, now + 86400, true);
    w.Int(1000000).Int(0).Int(0).Int(1).Int(2);
    if (!file_.Send(w, net::Primary::Upload)) return 0;
    auto go = file_.Wait(net::Primary::Upload, o_.answerWait);
    if (!go || go->code != net::upload::kGoAhead) return 0;
    auto f = go->Reader();
    int32_t slot = 0;
    if (!f.Int(-1, -1, slot) || !f.Int(1, 9999, id)) return 0;
    for (size_t at = 0; at < file.size(); at += net::kChunkSize) {
        const size_t n = std::min<size_t>(net::kChunkSize, file.size() - at);
        net::MessageWriter c(net::upload::kChunk);
        c.Int(slot).Raw(file.data() + at, static_cast<int>(n));
        if (!file_.Send(c, net::Primary::Upload, net::Secondary::Response)) return 0;
    }
    net::MessageWriter confirm(net::poll::kConfirm);
    confirm.Str(o_.pollSession).Int(id).Int(1);
    if (!file_.Send(confirm, net::Primary::Poll)) return 0;
    return id;
}

bool PollMaster::ListedAvailable(int32_t id) {
    std::string text;
    const auto end = Download(
        file_, net::DownloadRequestCode(net::poll::kPollListSlot),
        [&](net::MessageWriter& w) { w.Str(o_.pollSession).Int(1); }, text, o_.answerWait);
    if (end != DownloadEnd::Complete) return false;
    for (const polls::CPollEntry& e : polls::ParsePollList(text).entries)
        if (e.pollId == id && e.status == 1) return true;
    return false;
}

bool PollMaster::Delete(const std::vector<int32_t>& ids) {
    if (ids.empty()) return true;
    net::MessageWriter w(net::poll::kOperate);
    w.Int(net::poll::kDelete).Str(o_.pollSession).Int(static_cast<int32_t>(ids.size()));
    for (int32_t id : ids) w.Str(o_.pollOwner).Int(id);
    return file_.Send(w, net::Primary::Poll);
}

void PollMaster::Run() {
    while (!stop_) {
        const auto t0 = Clock::now();
        const int32_t id = Create();
        const bool ok = id > 0 && ListedAvailable(id);
        if (ok)
            stats_.Add("poll create", Millis(Clock::now() - t0), true);
        else
            stats_.Fail("poll create", id > 0 ? "not listed as available: " + file_.Failure()
                                              : file_.Failure());
        if (id > 0) made_.push_back(id);
        if (ok) {
            std::lock_guard<std::mutex> lock(mutex_);
            current_ = {id, 1};
        }
        // Users vote on the newest only; two before it may still be in a
        // user's hands, older ones go.
        std::vector<int32_t> old;
        while (made_.size() > 3) {
            old.push_back(made_.front());
            made_.pop_front();
        }
        if (!old.empty()) stats_.Add("poll delete", 0, Delete(old));
        for (int s = 0; s < o_.pollEverySeconds * 10 && !stop_; ++s)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

void PollMaster::Finish() {
    std::vector<int32_t> rest(made_.begin(), made_.end());
    if (!rest.empty()) stats_.Add("poll delete", 0, Delete(rest));
    // Answered by nothing: a list afterwards makes sure it was handled.
    std::string text;
    Download(
        file_, net::DownloadRequestCode(net::poll::kPollListSlot),
        [&](net::MessageWriter& w) { w.Str(o_.pollSession).Int(1); }, text, o_.answerWait);
    file_.Close();
}

// ---- Users ----------------------------------------------------------------

void User::Record(const std::string& op, Clock::time_point t0, bool ok, Link& link,
                  const char* why) {
    if (ok) {
        stats_.Add(op, Millis(Clock::now() - t0), true);
        return;
    }
    std::string reason = why ? why : link.Failure();
    stats_.Fail(op, reason.empty() ? "no reason recorded" : reason);
}

bool User::LogInBoth() {
    const auto t0 = Clock::now();
    const bool in = network_.Open(o_.host, o_.networkPort,
                                  [this](const Incoming& m) { OnNotification(m); }) &&
                    file_.Open(o_.host, o_.filePort) &&
                    LogIn(network_, o_, UserName(index_), UserName(index_) + "pw",
                          Identity(index_)) &&
                    LogIn(file_, o_, UserName(index_), UserName(index_) + "pw", Identity(index_));
    Record("login", t0, in, network_.Failure().empty() ? file_ : network_);
    if (in) {
        network_.StartKeepAlive(o_.keepAlive);
        file_.StartKeepAlive(o_.keepAlive);
        mail_.SetOnline(index_, true);
    }
    return in;
}

void User::Leave() {
    mail_.SetOnline(index_, false);
    network_.Close();
    file_.Close();
}

void User::Run() {
    if (!LogInBoth()) return;
    while (!stop_) {
        switch (std::uniform_int_distribution<int>(0, 19)(random_)) {
            case 0:
            case 1:
            case 2:
                Presence();
                break;
            case 3:
            case 4:
            case 5:
            case 6:
            case 7:
                InstantMessage();
                break;
            case 8:
            case 9:
                Room();
                break;
            case 10:
            case 11:
                NetworkInfo();
                break;
            case 12:
            case 13:
            case 14:
                Document();
                break;
            case 15:
            case 16:
                Mail();
                break;
            case 17:
            case 18:
                if (!Ballot()) Presence();
                break;
            default:
                Whiteboard();
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(
            std::uniform_int_distribution<int>(o_.pauseMin, o_.pauseMax)(random_)));
    }
    Leave();
}

void User::OnNotification(const Incoming& m) {
    if (m.header.nDescPrimary == +net::Primary::Session) {
        OnRoom(m);
        return;
    }
    if (m.header.nDescPrimary == +net::Primary::Mailbox && m.code == net::mailbox::kNewMail) {
        double ms = 0;
        if (mail_.Arrived(index_, ms)) stats_.Add("mail notified", ms, true);
        newMail_ = true;
        return;
    }
    if (m.header.nDescPrimary != +net::Primary::Contact || m.code != net::contact::kIncomingMessage)
        return;
    auto f = m.Reader();
    std::string sender, text;
    int32_t v = 0;
    bool ok = f.Str(1, 64, sender);
    for (int i = 0; ok && i < 8; ++i) ok = f.Int(-1, -1, v);
    ok = ok && f.Str(0, 4096, text);
    if (!ok || text.rfind("t=", 0) != 0) return;
    const int64_t sent = std::strtoll(text.c_str() + 2, nullptr, 10);
    stats_.Add("im relayed", static_cast<double>(NowMicros() - sent) / 1000.0, true);
}

// The room's own notifications: our join, and everyone's chat lines.
void User::OnRoom(const Incoming& m) {
    auto f = m.Reader();
    std::string id, account, text;
    int32_t v = 0;
    if (m.code == net::session::kRoomState) {
        int32_t event = -1;
        if (f.Str(1, 20, id) && f.Int(-1, -1, event) && f.Str(0, 64, account) &&
            event == net::session::kEventJoined && account == UserName(index_)) {
            std::lock_guard<std::mutex> lock(roomMutex_);
            joined_ = true;
            roomCv_.notify_all();
        }
        return;
    }
    if (m.code != net::session::kChatLine) return;
    bool ok = f.Str(1, 20, id) && f.Str(1, 64, account);
    for (int i = 0; ok && i < 8; ++i) ok = f.Int(-1, -1, v);
    ok = ok && f.Str(0, 4096, text);
    if (!ok || account == UserName(index_) || text.rfind("t=", 0) != 0) return;
    const int64_t sent = std::strtoll(text.c_str() + 2, nullptr, 10);
    stats_.Add("room relayed", static_cast<double>(NowMicros() - sent) / 1000.0, true);
}

// Joins demo01, says one line, leaves. Its 30 seats hold the first 25 users.
void User::Room() {
    if (index_ >= 25) return;
    const auto t0 = Clock::now();
    {
        std::lock_guard<std::mutex> lock(roomMutex_);
        joined_ = false;
    }
    net::MessageWriter join(net::session::kJoinSession);
    join.Str("demo01").Str("");
    const bool sent = network_.Send(join, net::Primary::Session);
    bool ok = sent;
    if (ok) {
        std::unique_lock<std::mutex> lock(roomMutex_);
        ok = roomCv_.wait_for(lock, o_.answerWait, [this] { return joined_; });
    }
    network_.Drop(net::Primary::Session);
    Record("room join", t0, ok, network_, sent ? "no join notice in time" : nullptr);
    if (!ok) return;
    net::MessageWriter line(net::session::kSendChatLine);
    line.Str("demo01").Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(1);
    line.Str("t=" + std::to_string(NowMicros()));
    Record("room chat sent", Clock::now(), network_.Send(line, net::Primary::Session), network_);
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(50, 500)(random_)));
    const auto t1 = Clock::now();
    net::MessageWriter leave(net::session::kLeaveSession);
    leave.Str("demo01");
    Record("room leave", t1, network_.Send(leave, net::Primary::Session), network_);
}

void User::Presence() {
    const auto t0 = Clock::now();
    net::MessageWriter w(net::contact::kSetStatus);
    w.Int(status_ = status_ == 1 ? 2 : 1);
    Record("presence", t0, network_.Send(w, net::Primary::Contact), network_);
}

void User::InstantMessage() {
    if (o_.users < 2) return;
    int to = std::uniform_int_distribution<int>(0, o_.users - 2)(random_);
    if (to >= index_) ++to;
    net::MessageWriter w(net::contact::kInstantMessage);
    w.Str(UserName(to)).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(0).Int(1);
    w.Str("t=" + std::to_string(NowMicros()));
    const auto t0 = Clock::now();
    Record("im sent", t0, network_.Send(w, net::Primary::Contact), network_);
    // A recipient that went away answers "offline": counted, not waited for.
    network_.Drop(net::Primary::Contact);
}

void User::NetworkInfo() {
    const auto t0 = Clock::now();
    net::MessageWriter w(net::network::kInformation);
    w.Int(-1).Str(o_.number).Str("/");
    bool ok = network_.Send(w, net::Primary::Network);
    const char* why = nullptr;
    if (ok) {
        auto m = network_.Wait(net::Primary::Network, o_.answerWait);
        ok = m && m->code == net::network::kInformationResponse;
        if (m && !ok) why = "another answer than the information";
    }
    Record("network info", t0, ok, network_, why);
}

void User::Document() {
    std::string content(static_cast<size_t>(o_.documentBytes), '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 31 + static_cast<size_t>(index_));
    const std::string name = "load" + std::to_string(documents_++ % 4) + ".bin";
    auto t0 = Clock::now();
    bool ok = Upload(
        file_, net::UploadRequestCode(0), [&](net::MessageWriter& w) { w.Str("/").Str(name); },
        content, o_.answerWait);
    Record("document upload", t0, ok, file_);
    if (!ok) return;
    t0 = Clock::now();
    std::string got;
    const auto end = Download(
        file_, net::DownloadRequestCode(1),
        [&](net::MessageWriter& w) { w.Str(UserName(index_)).Str("/").Str(name).Str(""); }, got,
        o_.answerWait);
    Record("document download", t0, end == DownloadEnd::Complete && got == content, file_,
           end == DownloadEnd::Complete ? "the document read back differs" : nullptr);
}

int User::OtherOnlineUser() {
    for (int tries = 0; tries < 8 && o_.users > 1; ++tries) {
        int to = std::uniform_int_distribution<int>(0, o_.users - 2)(random_);
        if (to >= index_) ++to;
        if (mail_.Online(to)) return to;
    }
    return -1;
}

void User::Mail() {
    if (newMail_.exchange(false)) CleanInbox();
    const int to = OtherOnlineUser();
    if (to < 0) return;
    network_.Drop(net::Primary::Mailbox);
    file_.Drop(net::Primary::Mailbox);
    const auto t0 = Clock::now();
    Link* failed = &file_;
    const char* why = nullptr;
    const auto answer = [&](Link& link, int32_t code) {
        auto m = link.Wait(net::Primary::Mailbox, o_.answerWait);
        failed = &link;
        if (m && m->code != code) why = "mailbox refused a step";
        return m && m->code == code;
    };
    std::string attachment(static_cast<size_t>(o_.attachmentBytes), '\0');
    for (size_t i = 0; i < attachment.size(); ++i)
        attachment[i] = static_cast<char>(i * 7 + static_cast<size_t>(to));
    const std::string body = "Hello " + UserName(to) + ",\n\nthe figures are attached.\n";
    bool ok = Upload(file_, net::mailbox::kRecipientsUpload, {}, "0 " + UserName(to) + "\n",
                     o_.answerWait) &&
              answer(network_, net::mailbox::kGoAhead) &&
              Upload(
                  file_, net::mailbox::kAttachmentUpload,
                  [](net::MessageWriter& w) { w.Str("figures.bin"); }, attachment, o_.answerWait) &&
              Upload(
                  file_, net::mailbox::kBodyUpload,
                  [](net::MessageWriter& w) { w.Str("Load figures"); }, body, o_.answerWait) &&
              answer(file_, net::mailbox::kGoAhead);
    if (ok) {
        // Expected before the request goes: the notice may beat the answer.
        const uint64_t token = mail_.Expect(to);
        net::MessageWriter deliver(net::mailbox::kDeliver);
        failed = &network_;
        ok = network_.Send(deliver, net::Primary::Mailbox);
        if (ok) {
            auto m = network_.Wait(net::Primary::Mailbox, o_.answerWait);
            ok = m && (m->code == net::mailbox::kSent || m->code == net::mailbox::kSentWithReport);
            if (m && !ok) why = "delivery not answered as sent";
        }
        if (!ok) mail_.Withdraw(to, token);
    }
    Record("mail send", t0, ok, *failed, why);
    if (ok) CleanSent();
}

// The sender keeps every message (and its attachment, of which only so many
// are allowed) until it deletes it from its Outbox, as users do.
void User::CleanSent() {
    const auto t0 = Clock::now();
    std::string list;
    bool ok = Download(
                  file_, net::mailbox::kMessageListDownload,
                  [](net::MessageWriter& w) { w.Int(0).Int(1).Str("Sent"); }, list,
                  o_.answerWait) == DownloadEnd::Complete;
    const std::string op = DeleteOperation(1, "Sent", ParseMessageList(list), UserName(index_));
    const char* why = ok && op.empty() ? "the sent mail is not listed" : nullptr;
    ok = ok && !op.empty() && Upload(file_, net::mailbox::kOperationUpload, {}, op, o_.answerWait);
    Record("mail clear sent", t0, ok, file_, why);
}

void User::CleanInbox() {
    const auto t0 = Clock::now();
    std::string list;
    bool ok = Download(
                  file_, net::mailbox::kMessageListDownload,
                  [](net::MessageWriter& w) { w.Int(0).Int(0).Str("Primary"); }, list,
                  o_.answerWait) == DownloadEnd::Complete;
    const std::string op = DeleteOperation(0, "Primary", ParseMessageList(list), "lg");
    // Another user's mail may have been deleted meanwhile; an empty list is no fault.
    if (ok && !op.empty()) ok = Upload(file_, net::mailbox::kOperationUpload, {}, op, o_.answerWait);
    Record("mail clear inbox", t0, ok, file_);
}

bool User::Ballot() {
    if (!polls_) return false;
    const CurrentPoll poll = polls_->Current();
    if (poll.id == 0 || voted_.count(poll.id)) return false;
    const auto fields = [&](net::MessageWriter& w) {
        w.Str(o_.pollSession).Str(o_.pollOwner).Int(poll.id).Int(0);
    };
    file_.Drop(net::Primary::Poll);
    auto t0 = Clock::now();
    std::string bytes;
    std::optional<Incoming> other;
    auto end = Download(file_, net::DownloadRequestCode(net::poll::kPollFileSlot), fields, bytes,
                        o_.answerWait, net::Primary::Poll, &other);
    std::optional<std::vector<polls::CPollQuestion>> questions;
    if (end == DownloadEnd::Complete) {
        polls::UnmaskBytes(bytes);
        questions = polls::ReadPollBytes(bytes);
    }
    const auto why = [&](DownloadEnd e) -> std::string {
        switch (e) {
            case DownloadEnd::Complete: return "a poll file that cannot be read";
            case DownloadEnd::Refused: return file_.Failure();
            case DownloadEnd::Failed: return file_.Failure();
            case DownloadEnd::OtherAnswer: break;
        }
        int32_t code = -1;
        if (other) other->Reader().Int(-1, -1, code);
        return "poll answer " + std::to_string(other ? other->code : -1) + " (" +
               std::to_string(code) + ")";
    };
    if (questions)
        stats_.Add("poll take", Millis(Clock::now() - t0), true);
    else
        stats_.Fail("poll take", why(end));
    // Taken once whatever came of it: a refusal now would refuse again.
    voted_.insert(poll.id);
    if (!questions) return true;

    polls::CBallot ballot;
    ballot.voterName = UserName(index_);
    for (const polls::CPollQuestion& q : *questions) {
        polls::CPollAnswer a;
        a.kind = q.kind;
        a.trueFalse = std::uniform_int_distribution<int>(0, 1)(random_);
        a.choice = std::uniform_int_distribution<int>(0, 3)(random_);
        a.number = q.minimum;
        a.text = "fine";
        ballot.answers.push_back(a);
    }
    t0 = Clock::now();
    int32_t refusal = -1;
    bool ok = Upload(
        file_, net::UploadRequestCode(net::poll::kBallotSlot),
        [&](net::MessageWriter& w) {
            w.Str(o_.pollSession).Str(o_.pollOwner).Int(poll.id).Int(poll.version);
        },
        polls::WriteBallotBytes(ballot), o_.answerWait, &refusal, net::Primary::Poll);
    if (!ok) {
        stats_.Fail("poll ballot", refusal >= 0 ? "ballot upload not taken (answer " +
                                                      std::to_string(refusal) + ")"
                                                : file_.Failure());
        return true;
    }
    // Nothing answers a stored ballot; taking the poll again is refused as
    // already voted once it counts.
    {
        end = Download(file_, net::DownloadRequestCode(net::poll::kPollFileSlot), fields, bytes,
                       o_.answerWait, net::Primary::Poll, &other);
        int32_t reason = 0;
        ok = end == DownloadEnd::OtherAnswer && other && other->code == net::poll::kUnavailable &&
             other->Reader().Int(-1, -1, reason) && reason == 3;
    }
    if (ok)
        stats_.Add("poll ballot", Millis(Clock::now() - t0), true);
    else
        stats_.Fail("poll ballot", "second take: " + why(end));
    return true;
}

void User::Whiteboard() {
    const int page = 1 + static_cast<int>(pages_ % 5);
    const std::string png = MakePagePng(static_cast<uint32_t>(index_) * 1000u + pages_++);
    auto t0 = Clock::now();
    bool ok = Upload(
        file_, net::UploadRequestCode(2), [&](net::MessageWriter& w) { w.Int(page); }, png,
        o_.answerWait);
    Record("whiteboard save", t0, ok, file_);
    if (!ok) return;
    t0 = Clock::now();
    std::string got;
    const auto end = Download(
        file_, net::DownloadRequestCode(3),
        [&](net::MessageWriter& w) { w.Str(UserName(index_)).Int(page).Int(0); }, got,
        o_.answerWait);
    // The page read back is the one just saved: the save was stored whole.
    Record("whiteboard load", t0, end == DownloadEnd::Complete && got == png, file_,
           end == DownloadEnd::Complete ? "the page read back differs" : nullptr);
}

}  // namespace loadgen
