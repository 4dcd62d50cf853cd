#pragma once

// Shown while a login is under way, and with the login's result when it
// failed. Kept on top of other windows.

#include "signin/ProgressResultDlg.h"

namespace signin {

class CAuthenticatingDlg : public CProgressResultDlg {
    Q_OBJECT

  public:
    enum Result {
        kClosedByServer = 0,  // the server closed the connection
        kUnreachable = 1,     // a server could not be reached
        kInProgress = 2,
        kRefused = 3,  // the server refused the login
    };

    CAuthenticatingDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       QWidget* parent = nullptr);

    // Picture 2, "Cancel", in progress, timer pending.
    void SetInProgress();
    // Ends the attempt with one of the result pictures.
    void ShowResult(int picture) { SetResultLook(picture); }
    // Back to the in-progress look, hidden (a cancelled login).
    void ResetAndHide();

  protected:
    QString ProgressHeading() const override { return QStringLiteral("Authenticating..."); }
    // Every result this window shows is a login that did not go through.
    QString ResultHeading(int) const override { return QStringLiteral("Login Failed"); }
};

}  // namespace signin
