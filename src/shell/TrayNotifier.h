#pragma once

// The program's notifications: the tray icon's message, which Qt shows
// through the desktop's notification service where the tray is hosted by
// one, and as its own balloon beside the icon otherwise. A click on the
// message runs the action of the latest notification.

#include <QMetaObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include "shell/Notifier.h"

namespace shell {

class CTrayIcon;

class CTrayNotifier final : public Notifier {
  public:
    // How long a message stays up where the desktop lets the program choose.
    static constexpr int kShowMilliseconds = 10000;

    explicit CTrayNotifier(CTrayIcon& tray);
    ~CTrayNotifier() override;
    CTrayNotifier(const CTrayNotifier&) = delete;
    CTrayNotifier& operator=(const CTrayNotifier&) = delete;

    void Notify(NotificationKind kind, const QString& title, const QString& body,
                std::function<void()> open) override;

    // A click on the message (the tray icon's messageClicked).
    void Clicked();

  private:
    CTrayIcon& tray_;
    // The icon whose clicks come here (it is made when the tray is added).
    QPointer<QSystemTrayIcon> connectedIcon_;
    QMetaObject::Connection clicked_;
    std::function<void()> latest_;
};

}  // namespace shell
