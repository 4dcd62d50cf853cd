#pragma once

// The page downloads of slot 3, which the drawing window (purpose 1) and the
// viewing window (purpose 0) share. A request that finds the slot busy is
// kept and goes out when the slot frees, so that neither window waits for a
// page that was never asked for; a later request of the same purpose takes
// the place of one still waiting.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace net {
class Client;
}

namespace whiteboard {

inline constexpr uint32_t kPurposeView = 0;
inline constexpr uint32_t kPurposeDraw = 1;

class CPageRequests {
  public:
    static constexpr int kSlot = 3;

    struct Request {
        uint32_t purpose = 0;
        std::string account;
        int page = 0;
        std::string path;  // the local file, absolute
    };

    explicit CPageRequests(net::Client& client) : client_(client) {}

    // Asks for `account`'s page for `purpose`, now or once the slot frees.
    // False when the account name cannot be part of a local path or the
    // folders cannot be made (nothing is asked for then).
    bool Ask(uint32_t purpose, const std::string& account, int page);

    // The running transfer ended (completed or refused): what it was, and
    // whether its window should take it (false when a newer request of the
    // same purpose is waiting). Then call SendWaiting.
    struct Finished {
        Request request;
        bool current = true;
    };
    std::optional<Finished> TakeFinished(uint32_t purpose);
    // Sends the oldest waiting request if the slot is free.
    void SendWaiting();

    // The connection ended: nothing runs, nothing waits.
    void Reset();

    bool Waiting(uint32_t purpose) const;
    const std::optional<Request>& Running() const { return running_; }

  private:
    bool SlotBusy() const;
    bool Send(const Request& r);

    net::Client& client_;
    std::optional<Request> running_;
    std::deque<Request> waiting_;
};

}  // namespace whiteboard
