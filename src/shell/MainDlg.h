#pragma once

// The main window, the user's home once logged in: the user's status, the
// buttons that open the other tools, and two places that the contacts and
// sessions modules fill with their lists. It owns the tray icon and the
// periodic refresh (timer 4). Created hidden at start-up as a top-level
// window of its own; shown at the end of a login and hidden when the
// connection drops. It includes no module: modules reach it through
// MainWindowServices.

#include <QHash>
#include <QPointer>
#include <QTimer>
#include <array>
#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "shell/MainWindowLogic.h"
#include "shell/MainWindowServices.h"
#include "ui/SkinnedDlg.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;

namespace net {
class Client;
}

namespace ui {
class CFixedButton;
}

namespace shell {

class CAboutDlg;
class CTrayIcon;
class Settings;

class CzorvicDlg : public ui::CSkinnedDlg, public MainWindowServices {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{654, 349};

    // The pictures of the main window, its tool buttons, the About box and
    // the tray icon.
    static void RegisterPictures(ui::Skin& skin);

    CzorvicDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
               net::Client& client, const Settings& settings);
    ~CzorvicDlg() override;

    // Where the window goes: x = screen width / 2 - 327, y = screen height / 2 - 190.
    static QPoint Placement(const QRect& screen);
    // "Connected to %s - Palindor" with the number as 123.4567.
    static QString TitleFor(const std::string& number);

    // Showing the main window: while the skip-next-show flag is set only
    // clears it; otherwise places the window, sets its title, brings it to
    // the front after the show delay, and adds the tray icon once per run.
    void ShowMainWindow();
    // Both logins were answered: show the window whatever an automatic
    // refresh asked for. The opening requests go out from the client.
    void EndOfLogin();
    // A left click on the tray icon: the user asked for the window, so it
    // comes back even if an automatic refresh is pending.
    void RestoreFromTray();
    // A logged-in connection dropped: hidden, out of the tray, no blink.
    void ConnectionDropped();
    // Closing the window, its close box and "Exit": the tray icon goes and
    // the program ends; nothing is sent to the servers.
    void ExitProgram();

    bool SkipNextShow() const { return skipNextShow_; }
    bool HiddenInTray() const { return hiddenInTray_; }

    // Status: 1 online, 2 away. SetStatus also has it sent (while logged
    // in); the session window sets it without sending.
    void SetStatus(int32_t status) override;
    void SetStatusWithoutSending(int32_t status);

    // Timer 5: blink the tray icon while the window is hidden in the tray.
    void StartTrayBlink() override;

    // Timer 4's work, also callable directly: every registered refresh, in
    // order, while both connections are logged in.
    void PeriodicRefresh();
    void AddPeriodicRefresh(std::function<void()> refresh);

    ui::CFixedButton* ToolButton(Tool tool) const;

    // Where the help document is looked for (beside the program).
    void SetGuidePath(const QString& path) { guidePath_ = path; }
    const QString& GuidePath() const { return guidePath_; }
    // Whether minimising hides the window in the tray; read from the
    // settings each time.
    void SetTrayOption(std::function<bool()> option) { trayOption_ = std::move(option); }

    void ShowAbout();
    // Whether a right click at `pos` (client pixels) opens the About menu:
    // in the heading band and on the background, not on lists or controls.
    bool AboutMenuAt(const QPoint& pos) const;
    // Runs the About menu (tests replace the modal run); returns the action
    // chosen or null.
    using MenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;
    void SetMenuRunner(MenuRunner runner) { menuRunner_ = std::move(runner); }

    CTrayIcon& Tray() { return *tray_; }
    CAboutDlg& AboutBox() { return *about_; }
    QComboBox* StatusChoice() const { return statusChoice_; }
    QLabel* AboutLink() const { return aboutLink_; }
    QRect StatusPictureRect() const;
    QTimer& RefreshTimer() { return refreshTimer_; }

    // --- MainWindowServices ---
    QWidget* Pane(MainPane pane) override;
    void SetToolAction(Tool tool, std::function<void()> action) override;
    void SetStatusSender(std::function<void(int32_t status)> send) override;
    int32_t Status() const override { return status_; }
    void SetSkipNextShow(bool skip) override { skipNextShow_ = skip; }
    void SetMailUnread(bool unread) override;
    bool MailUnread() const override { return mailUnread_; }
    void AddContextMenuItem(const std::string& text, std::function<void()> action) override {
        menuItems_.emplace_back(QString::fromStdString(text), std::move(action));
    }

  signals:
    // Closing the main window ends the program.
    void quitRequested();

  public slots:
    void reject() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void OnShownInFront() override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

  private:
    void BuildControls();
    void ArrangeTabOrder();
    void ApplyStatus(int32_t status);
    void OpenHelp();
    void SendNetworkInformation();

    net::Client& client_;
    std::array<QWidget*, 2> panes_{};
    QComboBox* statusChoice_ = nullptr;
    QLabel* aboutLink_ = nullptr;
    QHash<int, ui::CFixedButton*> tools_;
    QHash<int, std::function<void()>> actions_;
    CTrayIcon* tray_ = nullptr;
    CAboutDlg* about_ = nullptr;

    std::vector<std::function<void()>> periodicRefresh_;
    std::function<void(int32_t)> statusSender_;
    std::function<bool()> trayOption_;
    MenuRunner menuRunner_;
    std::vector<std::pair<QString, std::function<void()>>> menuItems_;
    std::vector<QPointer<QWidget>> tabOrder_;
    QString guidePath_;

    int32_t status_ = kStatusOnline;
    bool hiddenInTray_ = false;
    bool skipNextShow_ = false;
    bool mailUnread_ = false;

    QTimer refreshTimer_;
};


}  // namespace shell
