#pragma once

// The Polling Center: the polls of one session with their state, and the
// buttons that act on the selected ones. One window, made with the main
// window, hidden when closed and reused for whichever session asks.

#include <QElapsedTimer>
#include <QPushButton>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "polls/ListPolls.h"
#include "polls/model/PollRules.h"
#include "ui/SkinnedDlg.h"

namespace net {
class Client;
}

namespace polls {

// What the Polling Center needs to know of the session rooms.
struct RoomLink {
    // Whether the room of a session is open.
    std::function<bool(const std::string& sessionId)> isOpen;
    // The user's roles in a session, from the own participant record.
    std::function<SessionRoles(const std::string& sessionId)> roles;
};

// The windows the Polling Center's Create, Modify, Take Poll and View
// Results open.
struct PollWindows {
    // -1 when the poll window is hidden, else its mode (0 create, 1 modify).
    std::function<int()> pollWindowMode;
    std::function<void(const std::string& sessionId)> startCreating;
    std::function<void(const std::string& sessionId, const CPollEntry& entry)> startModifying;
    std::function<bool()> ballotVisible;
    std::function<void(const std::string& sessionId, const std::string& owner, int32_t pollId,
                       int32_t version)>
        startTaking;
    std::function<void(const std::string& owner, int32_t othersMayView)> viewResults;
};

class CPollingCenterDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    static constexpr QSize kClientSize{740, 380};
    // The automatic refresh waits this long after the last activity.
    static constexpr qint64 kQuietMs = 20000;
    using Column = PollListModel::Column;
    static constexpr Column kId = PollListModel::kId, kStatus = PollListModel::kStatus,
                            kStart = PollListModel::kStart, kEnd = PollListModel::kEnd,
                            kVotes = PollListModel::kVotes, kRecurring = PollListModel::kRecurring,
                            kQuestions = PollListModel::kQuestions;
    enum Button { kReset, kDelete, kSuspend, kResume, kModify, kCreate, kTake, kViewResults, kButtons };

    CPollingCenterDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                      net::Client& client, QWidget* parent = nullptr);
    ~CPollingCenterDlg() override;

    static void RegisterPictures(ui::Skin& skin);

    void SetRoomLink(RoomLink link) { room_ = std::move(link); }
    void SetPollWindows(PollWindows windows) { windows_ = std::move(windows); }
    void SetUsername(const std::string& username) { username_ = username; }
    // The clock the window reads, and the quiet time before an automatic
    // refresh (tests shrink both).
    void SetClock(std::function<std::time_t()> clock) { clock_ = std::move(clock); }
    void SetQuietPeriod(qint64 ms) { quietMs_ = ms; }

    // The room's POLL button: points the window at the session and asks for
    // its list; the window shows when the list has been read.
    void Open(const std::string& sessionId);
    // A room closed: the window goes if it shows that session.
    void RoomClosed(const std::string& sessionId);
    // The main window's periodic tick.
    void PeriodicTick();
    // Asks for the list again and shows it (server response 1, uploads).
    void Refresh();

    // The download of the list started with the server's clock.
    void SetServerClock(std::time_t serverClock) { serverClock_ = serverClock; }
    // The list download completed or was refused: read the file.
    void ListArrived();
    // A poll response, decoded.
    void HandleResponse(int kind, int32_t errorCode);

    // Logged out: nothing is shown any more.
    void Reset();

    const std::string& SessionId() const { return sessionId_; }
    const std::vector<CPollEntry>& Entries() const { return entries_; }
    CListPolls* List() const { return list_; }
    QPushButton* ButtonAt(Button b) const { return buttons_[b]; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Fill();
    void UpdateButtons();
    void Operate(int32_t operation);
    void Create();
    void Modify();
    void Take();
    void ViewResults();
    // The one selected entry, or null.
    const CPollEntry* SingleSelected() const;
    bool Ask(const char* text);
    // The selected rows' indexes into the entries, in list order.
    std::vector<size_t> SelectedRows() const;
    void Activity() { lastActivity_.restart(); }

    net::Client& client_;
    RoomLink room_;
    PollWindows windows_;
    std::string username_;
    std::string sessionId_;
    std::vector<CPollEntry> entries_;
    std::function<std::time_t()> clock_;
    std::time_t serverClock_ = 0;
    bool automatic_ = false;
    bool shownOnce_ = false;
    QElapsedTimer lastActivity_;
    qint64 quietMs_ = kQuietMs;
    CListPolls* list_ = nullptr;
    QPushButton* buttons_[kButtons] = {};
};

}  // namespace polls
