#include "app/ProgressResultDlg.h"

#include <QPainter>

namespace app {

CProgressResultDlg::CProgressResultDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                       const net::Timings& timings, const QString& background,
                                       const QString& animation, const QString& pictures,
                                       const QString& banner, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), pictures_(pictures) {
    SetBackground(background);
    const int width = skin.SizeOf(background).isValid() ? skin.SizeOf(background).width() : 334;
    banner_ = skin.Bitmap(banner);

    animation_ = new ui::CPictureEx(this);
    animation_->Load(skin, animation);
    const QSize frame = animation_->sizeHint();
    animation_->setGeometry((width - frame.width()) / 2, 48, frame.width(), frame.height());

    button_ = new QPushButton(QStringLiteral("Cancel"), this);
    button_->setGeometry((width - 76) / 2, 98, 76, 28);
    // Enter does nothing in these windows: the button acts only when pressed.
    button_->setAutoDefault(false);
    button_->setDefault(false);
    connect(button_, &QPushButton::clicked, this, &CProgressResultDlg::buttonPressed);
}

void CProgressResultDlg::accept() {}

void CProgressResultDlg::reject() {
    emit buttonPressed();
}

void CProgressResultDlg::SetPicture(int picture) {
    picture_ = picture;
    current_ = skin_.Bitmap(pictures_ + QString::number(picture));
    update();
}

void CProgressResultDlg::SetProgressLook(int picture) {
    SetPicture(picture);
    button_->setText(QStringLiteral("Cancel"));
    inProgress_ = true;
}

void CProgressResultDlg::SetResultLook(int picture) {
    SetPicture(picture);
    StopAnimation();
    inProgress_ = false;
    timerPending_ = false;
    button_->setText(QStringLiteral("OK"));
}

void CProgressResultDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    QPainter p(this);
    if (!banner_.isNull()) p.drawPixmap(kBannerPos, banner_);
    if (!current_.isNull()) {
        const int w = qRound(current_.width() / current_.devicePixelRatio());
        p.drawPixmap(QPoint((width() - w) / 2, kPictureTop), current_);
    }
}

}  // namespace app
