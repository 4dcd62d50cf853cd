#include "shell/TrayIcon.h"

#include <QAction>
#include <QMenu>

#include "ui/Skin.h"

namespace shell {

CTrayIcon::CTrayIcon(const ui::Skin& skin, const net::Timings& timings, QObject* parent)
    : QObject(parent), skin_(skin) {
    // The menu has no parent widget: it belongs to the tray, not to a window.
    menu_ = new QMenu();
    statusAction_ = menu_->addAction(QString::fromStdString(TrayStatusItemText(status_)));
    menu_->addSeparator();
    exitAction_ = menu_->addAction(QStringLiteral("Exit"));
    connect(statusAction_, &QAction::triggered, this,
            [this] { emit StatusChosen(TrayStatusItemTarget(status_)); });
    connect(exitAction_, &QAction::triggered, this, [this] { emit ExitChosen(); });

    blinkTimer_.setInterval(static_cast<int>(timings.blinkInterval.count()));
    connect(&blinkTimer_, &QTimer::timeout, this, &CTrayIcon::BlinkTick);
}

CTrayIcon::~CTrayIcon() {
    Remove();
    delete menu_;
}

bool CTrayIcon::Add(int32_t status) {
    if (added_) return false;
    added_ = true;
    status_ = NormaliseStatus(status);
    statusAction_->setText(QString::fromStdString(TrayStatusItemText(status_)));
    icon_ = new QSystemTrayIcon(this);
    icon_->setToolTip(QStringLiteral("Palindor"));
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, &CTrayIcon::Activate);
    ShowPicture(StatusTrayPicture(status_));
    icon_->show();
    return true;
}

void CTrayIcon::Remove() {
    blinkTimer_.stop();
    if (icon_ != nullptr) icon_->hide();
}

bool CTrayIcon::Available() const {
    if (available_) return available_();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayIcon::SetStatus(int32_t status) {
    status_ = NormaliseStatus(status);
    statusAction_->setText(QString::fromStdString(TrayStatusItemText(status_)));
    ShowPicture(StatusTrayPicture(status_));
}

void CTrayIcon::StartBlink() {
    blink_.Start();
    if (!blinkTimer_.isActive()) blinkTimer_.start();
}

void CTrayIcon::StopBlink(int32_t status) {
    blinkTimer_.stop();
    blink_ = TrayBlink();
    status_ = NormaliseStatus(status);
    ShowPicture(StatusTrayPicture(status_));
}

void CTrayIcon::BlinkTick() {
    const bool hidden = hiddenInTray_ ? hiddenInTray_() : false;
    const TrayBlink::Tick tick = blink_.OnTick(hidden, status_);
    ShowPicture(tick.picture);
    if (!tick.keepRunning) blinkTimer_.stop();
}

void CTrayIcon::Activate(QSystemTrayIcon::ActivationReason reason) {
    // A left click brings the window back (a double click begins with one);
    // the context menu is opened by the tray host itself.
    if (reason == QSystemTrayIcon::Trigger) emit ShowRequested();
}

void CTrayIcon::ShowPicture(TrayPicture picture) {
    picture_ = picture;
    if (icon_ != nullptr) icon_->setIcon(IconFor(picture));
}

QIcon CTrayIcon::IconFor(TrayPicture picture) const {
    switch (picture) {
        case TrayPicture::Away:
            return QIcon(skin_.Bitmap(QStringLiteral("IDI_AWAY")));
        case TrayPicture::Alert:
            return QIcon(skin_.Bitmap(QStringLiteral("IDI_ALERT")));
        case TrayPicture::Online:
            break;
    }
    return QIcon(skin_.Bitmap(QStringLiteral("IDI_ONLINE")));
}

}  // namespace shell
