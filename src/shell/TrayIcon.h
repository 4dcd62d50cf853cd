#pragma once

// The program's tray icon: added once per run (it then stays through later
// logins until the program ends), tip "Palindor", the picture of the user's
// status, a menu with the other status, a separator and "Exit", and the blink
// that tells a user whose window is hidden in the tray that a message came.

#include <QIcon>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

#include "shell/MainWindowLogic.h"
#include "net/Timings.h"

class QAction;
class QMenu;

namespace ui {
class Skin;
}

namespace shell {

class CTrayIcon : public QObject {
    Q_OBJECT

  public:
    CTrayIcon(const ui::Skin& skin, const net::Timings& timings, QObject* parent = nullptr);
    ~CTrayIcon() override;

    // Adds the icon with the picture of `status`. Only the first call of the
    // run adds it; later calls return false and change nothing.
    bool Add(int32_t status);
    bool Added() const { return added_; }
    // Takes the icon off the tray (the end of the program).
    void Remove();

    // Whether a tray exists to hide the window into. Where none does, the
    // window must not disappear with no way back.
    bool Available() const;
    void SetAvailability(std::function<bool()> available) { available_ = std::move(available); }

    // The picture and the menu's status item follow the status.
    void SetStatus(int32_t status);
    int32_t Status() const { return status_; }

    // Timer 5: blinks while `hiddenInTray` says the window is in the tray.
    void SetHiddenInTrayQuery(std::function<bool()> hiddenInTray) {
        hiddenInTray_ = std::move(hiddenInTray);
    }
    void StartBlink();
    // Ends a blink at once and shows the picture of `status`.
    void StopBlink(int32_t status);
    bool Blinking() const { return blinkTimer_.isActive(); }
    void BlinkTick();

    // What the tray host reports; QSystemTrayIcon's activations arrive here.
    void Activate(QSystemTrayIcon::ActivationReason reason);

    QMenu* Menu() const { return menu_; }
    QAction* StatusAction() const { return statusAction_; }
    QAction* ExitAction() const { return exitAction_; }
    TrayPicture Picture() const { return picture_; }
    QSystemTrayIcon* Icon() const { return icon_; }

  signals:
    // A left click: bring the main window back.
    void ShowRequested();
    // "I am away" / "I am online" from the menu.
    void StatusChosen(int32_t status);
    void ExitChosen();

  private:
    void ShowPicture(TrayPicture picture);
    QIcon IconFor(TrayPicture picture) const;

    const ui::Skin& skin_;
    QMenu* menu_ = nullptr;
    QAction* statusAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;  // made on the first Add
    QTimer blinkTimer_;
    TrayBlink blink_;
    std::function<bool()> available_;
    std::function<bool()> hiddenInTray_;
    int32_t status_ = kStatusOnline;
    TrayPicture picture_ = TrayPicture::Online;
    bool added_ = false;
};

}  // namespace shell
