#pragma once

// The main window's rules that need no window: its title, the periodic
// refresh rule, the presence status values, the tray icon's blink and the
// tray option. Kept apart so that they can be checked directly.

#include <cstdint>
#include <string>
#include <string_view>


namespace shell {

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

// Timer 4: the modules' refreshes run on every tick while both
// connections are logged in.
inline bool PeriodicRefreshDue(bool networkLoggedIn, bool fileLoggedIn) {
    return networkLoggedIn && fileLoggedIn;
}

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

}  // namespace shell
