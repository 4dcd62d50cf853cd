#include "shell/MainWindowLogic.h"

#include <cstdio>

namespace shell {

std::string TrayStatusItemText(int32_t status) {
    return NormaliseStatus(status) == kStatusOnline ? "I am away" : "I am online";
}

PresenceStatus TrayStatusItemTarget(int32_t status) {
    return NormaliseStatus(status) == kStatusOnline ? kStatusAway : kStatusOnline;
}

std::string MainWindowTitle(std::string_view number) {
    std::string dotted(number);
    // A number too short to carry the dot is shown as it is.
    if (dotted.size() > 3) dotted.insert(3, 1, '.');
    char text[128];
    std::snprintf(text, sizeof text, "Connected to %s - Palindor", dotted.c_str());
    return text;
}

TrayPicture StatusTrayPicture(int32_t status) {
    return NormaliseStatus(status) == kStatusAway ? TrayPicture::Away : TrayPicture::Online;
}

TrayBlink::Tick TrayBlink::OnTick(bool hiddenInTray, int32_t status) {
    Tick tick;
    flag_ = !flag_;
    if (!hiddenInTray) {
        flag_ = false;
        running_ = false;
        tick.picture = StatusTrayPicture(status);
        tick.keepRunning = false;
        return tick;
    }
    tick.picture = flag_ ? TrayPicture::Alert : StatusTrayPicture(status);
    tick.keepRunning = running_ = true;
    return tick;
}

}  // namespace shell
