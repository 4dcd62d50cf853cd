#pragma once

// The main window, the user's home once logged in: the contacts, the user's
// status, one page of the network's sessions and the buttons that open the
// other tools. It owns the tray icon, the periodic refresh (timer 4) and the
// notices that the other tools send it. Created hidden at start-up with the
// network selection window as its parent; shown at the end of a login and
// hidden when the connection drops. It also carries timer 2, the pause
// before an account creation request goes out.

#include <QHash>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/ListSessionsZorvic.h"
#include "app/MainWindowLogic.h"
#include "ui/SkinnedDlg.h"

class QComboBox;
class QLabel;

namespace net {
class Client;
}

namespace ui {
class CFixedButton;
}

namespace app {

class CAboutDlg;
class CListContacts;
class CTrayIcon;

// One page of sessions as the session directory hands it to the main window.
struct SessionPageView {
    int32_t sortCode = kInitialSortCode;
    int32_t pageIndex = 0;
    int32_t pageSize = kMainPageSize;
    int32_t total = 0;
    std::vector<SessionRow> rows;
};

class CzorvicDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{654, 349};

    // The notices the other tools send the main window; each is handled by
    // the tool that registers for it.
    enum class Notice {
        UploadFinished,         // reset the documents window, "Upload Complete", refresh
        WhiteboardRedraw,       // repaint the drawing area of the whiteboard
        WhiteboardPageLoaded,   // the drawing window takes its new page
        WhiteboardViewLoaded,   // the viewing window takes its new page
        ModifySessionArrived,   // the modify-session window takes its data
        SessionDirectoryRedraw  // the session directory redisplays its list
    };

    CzorvicDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
               net::Client& client, QWidget* parent = nullptr);
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
    // Closing the window, its close box and "Exit": the tray icon goes and
    // the program ends; nothing is sent to the servers.
    void ExitProgram();

    void SetSkipNextShow(bool skip) { skipNextShow_ = skip; }
    bool SkipNextShow() const { return skipNextShow_; }
    bool HiddenInTray() const { return hiddenInTray_; }

    // Status: 1 online, 2 away. SetStatus sends it to the network server;
    // the session window sets it without sending.
    void SetStatus(int32_t status);
    void SetStatusWithoutSending(int32_t status);
    int32_t Status() const { return status_; }

    // Timer 5: blink the tray icon while the window is hidden in the tray.
    void StartTrayBlink();

    // The page of sessions that arrived for the main window's list.
    void DisplaySessionPage(const SessionPageView& page);
    int32_t PageIndex() const { return pageIndex_; }
    int32_t PageCount() const { return pageCount_; }
    int32_t SortCode() const { return sortCode_; }
    // Asks for a page of the main window's list (sort, page size, selector
    // of this window). Returns whether the request was queued.
    bool RequestSessionPage(int32_t pageIndex, int32_t refreshFlag);

    // Timer 4's work, also callable directly.
    void PeriodicRefresh();
    // What the other tools refresh on each tick while logged in.
    void AddPeriodicRefresh(std::function<void()> refresh);
    // The user used the sessions list now.
    void NoteListUse();
    void SetListUseTime(int64_t seconds) { lastListUse_ = seconds; }
    // Seconds of a steady clock; tests replace it.
    void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }

    // The tools' notices and who handles them.
    void SetNoticeHandler(Notice notice, std::function<void()> handler);
    void Notify(Notice notice);

    // What a button does, set by the tool it opens. A button whose tool is
    // not there is disabled.
    void SetButtonAction(const QString& caption, std::function<void()> action);
    ui::CFixedButton* Button(const QString& caption) const { return buttons_.value(caption); }

    // Where the help document is looked for (beside the program).
    void SetGuidePath(const QString& path) { guidePath_ = path; }
    const QString& GuidePath() const { return guidePath_; }
    // Whether minimising hides the window in the tray; read from the
    // settings each time (settings.dat until the settings window exists).
    void SetTrayOption(std::function<bool()> option) { trayOption_ = std::move(option); }

    void ShowAbout();

    CTrayIcon& Tray() { return *tray_; }
    CAboutDlg& AboutBox() { return *about_; }
    CListSessionsZorvic& SessionsList() { return *sessions_; }
    CListContacts& ContactsList() { return *contacts_; }
    QComboBox* StatusChoice() const { return statusChoice_; }
    QLabel* PageLabel() const { return pageText_; }
    QRect StatusPictureRect() const;
    QTimer& RefreshTimer() { return refreshTimer_; }

    // Timer 2: the pause before an account creation request goes out.
    QTimer& CreationTimer() { return creationTimer_; }

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

  private:
    void BuildControls();
    void AddButton(const QString& caption, int id, const QString& tooltip, const QPoint& at);
    void ApplyStatus(int32_t status);
    void OnHeaderClicked(int column);
    void OpenHelp();
    void SendNetworkInformation();
    void UpdatePaging();
    int64_t Now() const;

    net::Client& client_;
    CListSessionsZorvic* sessions_ = nullptr;
    CListContacts* contacts_ = nullptr;
    QComboBox* statusChoice_ = nullptr;
    QLabel* pageText_ = nullptr;
    QLabel* aboutLink_ = nullptr;
    QHash<QString, ui::CFixedButton*> buttons_;
    QHash<QString, std::function<void()>> actions_;
    CTrayIcon* tray_ = nullptr;
    CAboutDlg* about_ = nullptr;

    std::vector<std::function<void()>> periodicRefresh_;
    QHash<int, std::function<void()>> notices_;
    std::function<bool()> trayOption_;
    std::function<int64_t()> clock_;
    QString guidePath_;

    int32_t status_ = kStatusOnline;
    bool hiddenInTray_ = false;
    bool skipNextShow_ = false;
    int64_t lastListUse_ = 0;
    // The main window's list: its sort, page and the header's shared
    // direction toggle (the first click sorts ascending).
    int32_t sortCode_ = kInitialSortCode;
    int32_t pageIndex_ = 0;
    int32_t pageCount_ = 1;
    bool nextSortAscending_ = true;

    QTimer refreshTimer_;
    QTimer creationTimer_;
};

}  // namespace app
