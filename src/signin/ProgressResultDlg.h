#pragma once

// The shape the authenticating and creating-account windows share: an
// animation while a request is under way, then a result picture drawn
// centred at y 138 over a banner at (0, 133), and one button that reads
// "Cancel" while the request is in progress and "OK" once it has ended. The
// heading band names the request while it runs and the outcome once it has
// ended, when the animation also goes, so that an ended request never reads
// like one still under way.

#include <QPushButton>

#include "ui/PictureEx.h"
#include "ui/SkinnedDlg.h"

namespace signin {

class CProgressResultDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QPoint kBannerPos{0, 133};
    static constexpr int kPictureTop = 138;
    static constexpr QSize kButtonSize{76, 26};

    int Picture() const { return picture_; }
    bool InProgress() const { return inProgress_; }
    bool TimerPending() const { return timerPending_; }
    void SetTimerPending(bool pending) { timerPending_ = pending; }

    QPushButton* Button() const { return button_; }
    ui::CPictureEx* Animation() const { return animation_; }
    bool Animating() const { return animation_->IsPlaying(); }
    void StartAnimation() { animation_->Start(); }
    void StopAnimation() { animation_->Stop(); }

  signals:
    // The button, Escape or the close box; the application decides.
    void buttonPressed();

  public slots:
    void accept() override;
    void reject() override;

  protected:
    CProgressResultDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       const QString& background, const QString& animation, const QString& pictures,
                       const QString& banner, QWidget* parent);

    // The in-progress look: `picture`, the running heading, button "Cancel",
    // in-progress flag set.
    void SetProgressLook(int picture);
    // A result: its picture, button "OK", the animation stopped, the
    // in-progress and timer-pending flags cleared.
    void SetResultLook(int picture);
    void SetPicture(int picture);
    void paintEvent(QPaintEvent* event) override;
    // The heading while the request runs, and after it ended with `picture`.
    virtual QString ProgressHeading() const = 0;
    virtual QString ResultHeading(int picture) const = 0;

    bool inProgress_ = false;
    bool timerPending_ = false;

  private:
    void SetButtonText(const QString& text, QKeyCombination key);

    QString pictures_;
    QPixmap banner_;
    QPixmap current_;
    int picture_ = 0;
    QPushButton* button_ = nullptr;
    ui::CPictureEx* animation_ = nullptr;
};

}  // namespace signin
