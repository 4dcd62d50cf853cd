#include "shell/TrayNotifier.h"

#include <QGuiApplication>
#include <QIcon>

#include "shell/TrayIcon.h"

namespace shell {

CTrayNotifier::CTrayNotifier(CTrayIcon& tray) : tray_(tray) {}

CTrayNotifier::~CTrayNotifier() {
    QObject::disconnect(clicked_);
}

void CTrayNotifier::Notify(NotificationKind, const QString& title, const QString& body,
                           std::function<void()> open) {
    QSystemTrayIcon* icon = tray_.Icon();
    // Before the first login there is no icon to speak through, and nothing
    // to tell either.
    if (icon == nullptr) return;
    if (connectedIcon_ != icon) {
        QObject::disconnect(clicked_);
        clicked_ = QObject::connect(icon, &QSystemTrayIcon::messageClicked, icon,
                                    [this] { Clicked(); });
        connectedIcon_ = icon;
    }
    latest_ = std::move(open);
    const QIcon picture = QGuiApplication::windowIcon();
    if (picture.isNull())
        icon->showMessage(title, body, QSystemTrayIcon::Information, kShowMilliseconds);
    else
        icon->showMessage(title, body, picture, kShowMilliseconds);
}

void CTrayNotifier::Clicked() {
    // Copied: the action may raise another notification.
    const std::function<void()> open = latest_;
    if (open) open();
}

}  // namespace shell
