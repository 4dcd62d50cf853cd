#pragma once

// The simulated users and what they share: the options, the mail book that
// pairs each delivered mail with its recipient's notification, and the poll
// master that keeps a poll open in the demo session for users to take.

#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Link.h"
#include "Stats.h"

namespace loadgen {

struct Options {
    std::string host = "127.0.0.1";
    int networkPort = 9257;
    int filePort = 9357;
    std::string number = "1234567";
    int users = 50;
    int seconds = 30;
    int pid = 0;
    int documentBytes = 64 * 1024;
    int attachmentBytes = 16 * 1024;
    // Who opens the polls users take, in which session, how often a new one.
    std::string pollOwner = "alice";
    std::string pollPassword = "alicepass";
    std::string pollSession = "demo01";
    int pollEverySeconds = 30;
    // Keep-alive period on each logged-in connection (the client's).
    std::chrono::milliseconds keepAlive{10000};
    // How long a user waits for any one answer.
    std::chrono::milliseconds answerWait{10000};
    // Pauses between a user's operations, in milliseconds.
    int pauseMin = 20;
    int pauseMax = 200;
};

std::string UserName(int i);
std::string Identity(int i);
// Creates account lgI (or finds it taken); false when neither.
bool CreateAccount(const Options& o, int i);
bool LogIn(Link& link, const Options& o, const std::string& user, const std::string& password,
           const std::string& identity);

// Mail sent and not yet announced to its recipient. A recipient's
// notifications carry nothing, so they are paired with its deliveries in
// the order they were delivered.
class MailBook {
  public:
    explicit MailBook(int users) : online_(static_cast<size_t>(users)) {}
    void SetOnline(int user, bool online);
    bool Online(int user) const { return online_[static_cast<size_t>(user)].load(); }
    // Before the deliver request goes out; a token to withdraw it with.
    uint64_t Expect(int recipient);
    void Withdraw(int recipient, uint64_t token);
    // The recipient's oldest expected mail, if any: its age in ms.
    bool Arrived(int recipient, double& ms);
    // Mail whose recipient was still there well after it went out, yet heard
    // nothing (counted as failures), and mail still in flight at the end.
    void Settle(Stats& stats, std::chrono::milliseconds grace, size_t& inFlight);

  private:
    struct Pending {
        uint64_t token;
        Clock::time_point sent;
    };
    std::vector<std::atomic<bool>> online_;
    std::mutex mutex_;
    std::map<int, std::deque<Pending>> pending_;
    std::map<int, Clock::time_point> left_;
    uint64_t next_ = 1;
};

// The poll users take now: its id (0 while none) and version.
struct CurrentPoll {
    int32_t id = 0;
    int32_t version = 1;
};

// Opens a new poll in the session every so often as its owner, checks that
// the list shows it available, and deletes the older ones it made so that
// the session never fills up; at the end (Finish) it deletes the rest.
class PollMaster {
  public:
    PollMaster(const Options& o, Stats& stats, std::atomic<bool>& stop)
        : o_(o), stats_(stats), stop_(stop) {}
    bool Start();  // logs in; false when it cannot
    // Opens polls until stopped.
    void Run();
    // Deletes the polls it made; only once no user may still be taking one.
    void Finish();
    CurrentPoll Current() const;
    // The poll file users are given (two questions), as stored: masked.
    static std::string PollFileBytes();

  private:
    int32_t Create();
    bool ListedAvailable(int32_t id);
    bool Delete(const std::vector<int32_t>& ids);

    const Options& o_;
    Stats& stats_;
    std::atomic<bool>& stop_;
    Link file_;
    mutable std::mutex mutex_;
    CurrentPoll current_;
    std::deque<int32_t> made_;
};

class User {
  public:
    User(const Options& o, int index, Stats& stats, std::atomic<bool>& stop, MailBook& mail,
         const PollMaster* polls)
        : o_(o),
          index_(index),
          stats_(stats),
          stop_(stop),
          mail_(mail),
          polls_(polls),
          random_(static_cast<uint32_t>(index) * 7919u + 1u) {}

    void Run();
    // One of each operation, in turn (tests).
    bool LogInBoth();
    void Presence();
    void InstantMessage();
    void Room();
    void NetworkInfo();
    void Document();
    void Mail();
    bool Ballot();  // false when there was no poll to take
    void Whiteboard();
    void Leave();

  private:
    // Counts an operation; a failure with what its link last saw go wrong
    // (`why` when given: a fault found by loadgen itself).
    void Record(const std::string& op, Clock::time_point t0, bool ok, Link& link,
                const char* why = nullptr);
    void OnNotification(const Incoming& m);
    void OnRoom(const Incoming& m);
    int OtherOnlineUser();
    void CleanInbox();
    void CleanSent();

    const Options& o_;
    int index_;
    Stats& stats_;
    std::atomic<bool>& stop_;
    MailBook& mail_;
    const PollMaster* polls_;
    std::mt19937 random_;
    Link network_;
    Link file_;
    int status_ = 1;
    int documents_ = 0;
    uint32_t pages_ = 0;
    std::set<int32_t> voted_;
    std::atomic<bool> newMail_{false};
    std::mutex roomMutex_;
    std::condition_variable roomCv_;
    bool joined_ = false;
};

}  // namespace loadgen
