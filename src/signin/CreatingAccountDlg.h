#pragma once

// Shows the progress and then the outcome of an account creation request.

#include "signin/ProgressResultDlg.h"

namespace signin {

class CCreatingAccountDlg : public CProgressResultDlg {
    Q_OBJECT

  public:
    static constexpr int kInProgressPicture = 0;
    static constexpr int kUnreachablePicture = 1;
    static constexpr int kCreatedPicture = 5;

    CCreatingAccountDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                        QWidget* parent = nullptr);

    // Picture 0, "Cancel", in progress, success cleared.
    void SetInProgress();
    // The picture for an account response code 0..10; -1 for other codes.
    static int PictureForResponse(int code);
    // Shows the response's picture, "OK" with the focus on it. Returns
    // whether the account was created.
    bool ShowResponse(int code);
    // The user cancelled while the request was out (the connection is being
    // stopped): a response that still arrives only changes this window.
    void SetCancelled(bool cancelled) { cancelled_ = cancelled; }
    bool Cancelled() const { return cancelled_; }
    // The network server could not be reached.
    void ShowUnreachable();
    // Back to the in-progress look, hidden (a cancelled creation).
    void ResetAndHide();

    bool Succeeded() const { return success_; }

  protected:
    QString ProgressHeading() const override { return QStringLiteral("Creating Account"); }
    QString ResultHeading(int picture) const override {
        return picture == kCreatedPicture ? QStringLiteral("Account Created")
                                          : QStringLiteral("Account Not Created");
    }

  private:
    bool success_ = false;
    bool cancelled_ = false;
};

}  // namespace signin
