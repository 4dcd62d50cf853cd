#pragma once

// The main window's rules that need no window: its title, the session page
// text and paging, the periodic refresh decision, the presence status values
// and the tray icon's blink. Kept apart so that they can be checked directly.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/MessageBuffer.h"

namespace app {

// The user's own presence as the main window keeps it and sends it.
enum PresenceStatus : int32_t {
    kStatusOnline = 1,
    kStatusAway = 2,
};

// Anything but away counts as online: the status choice has only two items.
inline PresenceStatus NormaliseStatus(int32_t status) {
    return status == kStatusAway ? kStatusAway : kStatusOnline;
}
// The status choice lists "Online" then "Away".
inline int StatusChoiceIndex(int32_t status) {
    return NormaliseStatus(status) == kStatusAway;
}
inline PresenceStatus StatusFromChoiceIndex(int index) {
    return index == 1 ? kStatusAway : kStatusOnline;
}
// The tray menu offers the other status: "I am away" while online.
std::string TrayStatusItemText(int32_t status);
PresenceStatus TrayStatusItemTarget(int32_t status);

// "Connected to %s - Palindor" with the number dotted after its third
// character: 1234567 becomes 123.4567.
std::string MainWindowTitle(std::string_view number);

// The main window's session pages: 20 sessions a page, sorted by creation
// time, newest first, until the user picks another column.
inline constexpr int32_t kMainPageSize = 20;
inline constexpr int32_t kMainListSelector = 0;
inline constexpr int32_t kInitialSortCode = 3;

// total / pageSize rounded up; 1 when there are no sessions (or the size is
// not usable, so that the text never divides by zero).
int32_t SessionPageCount(int32_t total, int32_t pageSize);
// "Page %i of %i; total sessions: %i" with the 1-based page number.
std::string PageText(int32_t pageIndex, int32_t pageCount, int32_t total);
inline bool CanGoToPreviousPage(int32_t pageIndex) {
    return pageIndex + 1 > 1;
}
inline bool CanGoToNextPage(int32_t pageIndex, int32_t pageCount) {
    return pageIndex + 1 < pageCount;
}

// Timer 4. The session page is requested again only while the user leaves
// the list alone; the other windows refresh themselves on every tick while
// logged in.
inline constexpr int64_t kListIdleSeconds = 10;
struct RefreshDecision {
    bool refreshSessionPage = false;  // and set the skip-next-show flag
    bool refreshOthers = false;       // whiteboard viewer, documents, polls
};
RefreshDecision DecideRefresh(bool networkLoggedIn, bool fileLoggedIn, int64_t nowSeconds,
                              int64_t lastListUseSeconds);

// The tray icon's pictures.
enum class TrayPicture { Online, Away, Alert };
TrayPicture StatusTrayPicture(int32_t status);

// The blink of the tray icon: while the window is hidden in the tray the icon
// alternates between the alert picture and the status picture; once the
// window is back the status picture returns and the blink ends.
class TrayBlink {
  public:
    struct Tick {
        TrayPicture picture = TrayPicture::Online;
        bool keepRunning = false;
    };

    void Start() { running_ = true; }
    bool Running() const { return running_; }
    bool Flag() const { return flag_; }
    // One timer tick.
    Tick OnTick(bool hiddenInTray, int32_t status);

  private:
    bool running_ = false;
    bool flag_ = false;
};

// The status message: "set my status" with 1 or 2 (network-server connection).
std::unique_ptr<net::MessageBuffer> BuildStatusMessage(int32_t status);
// "list sessions": sort code, page index, page size, list selector, refresh
// flag (1 only for the periodic refresh and after a change to a session).
std::unique_ptr<net::MessageBuffer> BuildSessionListRequest(int32_t sortCode, int32_t pageIndex,
                                                            int32_t pageSize, int32_t selector,
                                                            int32_t refreshFlag);

// The tray option of settings.dat (offset 26 of the 27-byte file); off when
// the file is missing or is not a settings file.
bool ReadTrayOption(const std::string& settingsPath);

}  // namespace app
