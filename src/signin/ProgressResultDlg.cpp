#include "signin/ProgressResultDlg.h"

#include <QPainter>

namespace signin {

CProgressResultDlg::CProgressResultDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                       const net::Timings& timings, const QString& background,
                                       const QString& animation, const QString& pictures,
                                       const QString& banner, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), pictures_(pictures) {
    SetBackground(background);
    const QSize client =
        skin.SizeOf(background).isValid() ? skin.SizeOf(background) : QSize(334, 208);
    banner_ = skin.Bitmap(banner);

    // Read from top to bottom: the animation in the space between the
    // heading and the banner, the result picture in the banner, and the
    // button under the picture at the bottom right, so that nothing sits
    // between what is going on and how it ended.
    animation_ = new ui::CPictureEx(this);
    animation_->Load(skin, animation);
    const QSize frame = animation_->sizeHint();
    const int headerBottom = skin.HeaderHeight(background);
    const int animationTop =
        qMax(headerBottom, headerBottom + (kBannerPos.y() - headerBottom - frame.height()) / 2);
    animation_->setGeometry((client.width() - frame.width()) / 2, animationTop, frame.width(),
                            frame.height());

    // The button's right edge lines up with the result picture's.
    const int pictureWidth = skin.SizeOf(pictures + QLatin1Char('0')).isValid()
                                 ? skin.SizeOf(pictures + QLatin1Char('0')).width()
                                 : client.width() - 24;
    const int right = client.width() - (client.width() - pictureWidth) / 2;
    button_ = new QPushButton(QStringLiteral("Cancel"), this);
    button_->setGeometry(right - kButtonSize.width(), client.height() - kButtonSize.height() - 6,
                         kButtonSize.width(), kButtonSize.height());
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

void CProgressResultDlg::SetButtonText(const QString& text, QKeyCombination key) {
    // The words stay exactly "Cancel" and "OK"; the button's key is set
    // apart, since setting the words drops it.
    button_->setText(text);
    button_->setShortcut(QKeySequence(key));
}

void CProgressResultDlg::SetProgressLook(int picture) {
    SetPicture(picture);
    SetHeading(ProgressHeading());
    animation_->show();
    SetButtonText(QStringLiteral("Cancel"), Qt::ALT | Qt::Key_C);
    inProgress_ = true;
}

void CProgressResultDlg::SetResultLook(int picture) {
    SetPicture(picture);
    StopAnimation();
    animation_->hide();
    SetHeading(ResultHeading(picture));
    inProgress_ = false;
    timerPending_ = false;
    SetButtonText(QStringLiteral("OK"), Qt::ALT | Qt::Key_O);
    // The keyboard user lands on the one thing left to do.
    button_->setFocus(Qt::OtherFocusReason);
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

}  // namespace signin
