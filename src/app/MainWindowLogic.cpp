#include "app/MainWindowLogic.h"

#include <cstdio>
#include <fstream>

namespace app {

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

int32_t SessionPageCount(int32_t total, int32_t pageSize) {
    if (total <= 0 || pageSize <= 0) return 1;
    return total / pageSize + (total % pageSize != 0 ? 1 : 0);
}

std::string PageText(int32_t pageIndex, int32_t pageCount, int32_t total) {
    char text[96];
    std::snprintf(text, sizeof text, "Page %i of %i; total sessions: %i", pageIndex + 1, pageCount,
                  total);
    return text;
}

RefreshDecision DecideRefresh(bool networkLoggedIn, bool fileLoggedIn, int64_t nowSeconds,
                              int64_t lastListUseSeconds) {
    RefreshDecision decision;
    if (!networkLoggedIn || !fileLoggedIn) return decision;
    decision.refreshOthers = true;
    decision.refreshSessionPage = nowSeconds - lastListUseSeconds >= kListIdleSeconds;
    return decision;
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

std::unique_ptr<net::MessageBuffer> BuildStatusMessage(int32_t status) {
    net::MessageWriter writer(net::contact::kSetStatus);
    writer.Int(NormaliseStatus(status));
    return writer.Finish(net::Primary::Contact);
}

std::unique_ptr<net::MessageBuffer> BuildSessionListRequest(int32_t sortCode, int32_t pageIndex,
                                                            int32_t pageSize, int32_t selector,
                                                            int32_t refreshFlag) {
    net::MessageWriter writer(net::session::kListSessions);
    writer.Int(sortCode).Int(pageIndex).Int(pageSize).Int(selector).Int(refreshFlag);
    return writer.Finish(net::Primary::Session);
}

bool ReadTrayOption(const std::string& settingsPath) {
    constexpr std::streamsize kSettingsSize = 27;
    constexpr std::streamsize kTrayOffset = 26;
    std::ifstream in(settingsPath, std::ios::binary);
    if (!in) return false;
    char bytes[kSettingsSize + 1];
    in.read(bytes, sizeof bytes);
    if (in.gcount() != kSettingsSize) return false;
    return bytes[kTrayOffset] != 0;
}

}  // namespace app
