#include "ui/FixedButton.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/Skin.h"

namespace ui {

CFixedButton::CFixedButton(const Skin& skin, const QString& caption, QWidget* parent)
    : QAbstractButton(parent), skin_(skin) {
    setFocusPolicy(Qt::StrongFocus);
    SetCaption(caption);
}

bool CFixedButton::SetCaption(const QString& caption) {
    caption_ = caption;
    setText(caption);
    up_ = skin_.Bitmap(caption + 'U');
    down_ = skin_.Bitmap(caption + 'D');
    focus_ = skin_.Bitmap(caption + 'F');
    disabled_ = skin_.Bitmap(caption + 'X');
    if (!up_.isNull()) setFixedSize(skin_.SizeOf(caption + 'U'));
    update();
    return !up_.isNull();
}

QSize CFixedButton::sizeHint() const {
    if (!up_.isNull()) return up_.deviceIndependentSize().toSize();
    return QSize(qMax(40, fontMetrics().horizontalAdvance(caption_) + 16), 24);
}

const QPixmap& CFixedButton::Current() const {
    if (!isEnabled() && !disabled_.isNull()) return disabled_;
    if (isEnabled() && isDown() && !down_.isNull()) return down_;
    if (isEnabled() && hasFocus() && !isDown() && !focus_.isNull()) return focus_;
    return up_;
}

void CFixedButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QPixmap& picture = Current();
    if (!picture.isNull()) {
        p.drawPixmap(QPoint(0, 0), picture);
        return;
    }
    // No pictures for this caption: still a usable, labelled button.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(isEnabled() ? Skin::Accent() : Skin::Muted());
    p.setBrush(isDown() ? Skin::Body().darker(108) : Skin::Body());
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
    p.setPen(isEnabled() ? Skin::Ink() : Skin::Muted());
    p.drawText(rect(), Qt::AlignCenter, caption_);
}

void CFixedButton::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mouseDoubleClickEvent(event);
        return;
    }
    marked_ = true;
    setDown(true);
    event->accept();
}

void CFixedButton::mouseReleaseEvent(QMouseEvent* event) {
    if (marked_ && event->button() == Qt::LeftButton) {
        marked_ = false;
        setDown(false);
        event->accept();
        emit clicked(isChecked());
        return;
    }
    QAbstractButton::mouseReleaseEvent(event);
}

}  // namespace ui
