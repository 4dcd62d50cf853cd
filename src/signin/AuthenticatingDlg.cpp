#include "signin/AuthenticatingDlg.h"

namespace signin {

CAuthenticatingDlg::CAuthenticatingDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                       const net::Timings& timings, QWidget* parent)
    : CProgressResultDlg(skin, dialogs, timings, QStringLiteral("IDB_BKGNDAUTHENTICATING"),
                         QStringLiteral("GIF_AUTHENTICATING"), QStringLiteral("IDB_AUTHENTICATING"),
                         QStringLiteral("IDB_AUTHENTICATINGBANNER"), parent) {
    setWindowTitle(QStringLiteral("Authenticating..."));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    SetProgressLook(kInProgress);
    inProgress_ = false;
}

void CAuthenticatingDlg::SetInProgress() {
    SetProgressLook(kInProgress);
    timerPending_ = true;
}

void CAuthenticatingDlg::ResetAndHide() {
    StopAnimation();
    SetProgressLook(kInProgress);
    timerPending_ = false;
    inProgress_ = false;
    hide();
}

}  // namespace signin
