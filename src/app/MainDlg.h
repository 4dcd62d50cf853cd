#pragma once

// The main window, the user's home once logged in. Created hidden at
// start-up with the network selection window as its parent; shown at the end
// of a login and hidden when the connection drops. It carries timer 2, the
// pause before an account creation request goes out.

#include <QTimer>
#include <string>

#include "ui/SkinnedDlg.h"

namespace app {

class CzorvicDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{654, 349};

    CzorvicDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
               QWidget* parent = nullptr);

    // Where the window goes: x = screen width / 2 - 327, y = screen height / 2 - 190.
    static QPoint Placement(const QRect& screen);
    // "Connected to %s - Palindor" with the number as 123.4567.
    static QString TitleFor(const std::string& number);

    // Places the window, sets its title and brings it to the front after
    // the show delay; while the skip-next-show flag is set it only clears it.
    void ShowMainWindow(const std::string& number);
    // Both logins were answered: show the window whatever an automatic
    // refresh asked for.
    void EndOfLogin(const std::string& number);

    void SetSkipNextShow(bool skip) { skipNextShow_ = skip; }
    bool SkipNextShow() const { return skipNextShow_; }

    // Timer 2: the pause before an account creation request goes out.
    QTimer& CreationTimer() { return creationTimer_; }

  signals:
    // Closing the main window ends the program.
    void quitRequested();

  public slots:
    void reject() override;

  private:
    bool skipNextShow_ = false;
    QTimer creationTimer_;
};

}  // namespace app
