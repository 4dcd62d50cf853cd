#include "signin/CreatingAccountDlg.h"

#include "net/Protocol.h"

namespace signin {

CCreatingAccountDlg::CCreatingAccountDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                         const net::Timings& timings, QWidget* parent)
    : CProgressResultDlg(skin, dialogs, timings, QStringLiteral("IDB_BKGNDCREATINGACCOUNT"),
                         QStringLiteral("GIF_CREATINGACCOUNT"),
                         QStringLiteral("IDB_CREATINGACCOUNT"),
                         QStringLiteral("IDB_CREATINGACCOUNTBANNER"), parent) {
    setWindowTitle(QStringLiteral("Creating Account"));
    SetProgressLook(kInProgressPicture);
    inProgress_ = false;
}

void CCreatingAccountDlg::SetInProgress() {
    SetProgressLook(kInProgressPicture);
    success_ = false;
    cancelled_ = false;
}

int CCreatingAccountDlg::PictureForResponse(int code) {
    using namespace net::account;
    switch (code) {
        case kImproperPassword:
            return 2;
        case kImproperUsername:
            return 3;
        case kUndecodable:
            return 4;
        case kCreated:
            return kCreatedPicture;
        case kUsernameTaken:
            return 6;
        case kNetworkFull:
            return 7;
        case kWrongCreationCode:
            return 8;
        case kUnsupportedNetwork:
            return 9;
        case kCreateFailed:
            return 10;
        case kBannedFromNetwork:
            return 11;
        case kIdentityLimit:
            return 12;
        default:
            return -1;
    }
}

bool CCreatingAccountDlg::ShowResponse(int code) {
    const int picture = PictureForResponse(code);
    if (picture < 0) return false;
    // The response ends the request but not a pending wait: the timer flag
    // stays as it is.
    const bool pending = timerPending_;
    SetResultLook(picture);
    timerPending_ = pending;
    success_ = code == net::account::kCreated;
    return success_;
}

void CCreatingAccountDlg::ShowUnreachable() {
    SetResultLook(kUnreachablePicture);
    success_ = false;
}

void CCreatingAccountDlg::ResetAndHide() {
    StopAnimation();
    SetProgressLook(kInProgressPicture);
    inProgress_ = false;
    timerPending_ = false;
    success_ = false;
    hide();
}

}  // namespace signin
