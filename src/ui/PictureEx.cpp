#include "ui/PictureEx.h"

#include <QPainter>

namespace ui {

namespace {
// A frame without a usable delay still waits, so the animation can never
// spin the window thread.
constexpr int kDefaultDelayMs = 100;
}  // namespace

CPictureEx::CPictureEx(QWidget* parent) : QWidget(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CPictureEx::Advance);
}

bool CPictureEx::Load(const QVector<AnimationFrame>& frames) {
    Stop();
    frames_ = frames;
    current_ = 0;
    if (frames_.isEmpty()) {
        update();
        return false;
    }
    setFixedSize(frames_.front().picture.deviceIndependentSize().toSize());
    update();
    return true;
}

bool CPictureEx::Load(const Skin& skin, const QString& name) {
    return Load(skin.Animation(name));
}

void CPictureEx::UnLoad() {
    Stop();
    frames_.clear();
    current_ = 0;
    update();
}

int CPictureEx::DelayOf(int index) const {
    const int delay = frames_[index].delayMs;
    return delay > 0 ? delay : kDefaultDelayMs;
}

void CPictureEx::Start() {
    current_ = 0;
    update();
    emit frameChanged(current_);
    if (frames_.size() > 1) timer_.start(DelayOf(current_));
}

void CPictureEx::Stop() {
    timer_.stop();
}

void CPictureEx::Advance() {
    if (frames_.isEmpty()) return;
    current_ = (current_ + 1) % static_cast<int>(frames_.size());
    update();
    emit frameChanged(current_);
    timer_.start(DelayOf(current_));
}

QSize CPictureEx::sizeHint() const {
    if (frames_.isEmpty()) return QSize(0, 0);
    return frames_.front().picture.deviceIndependentSize().toSize();
}

void CPictureEx::paintEvent(QPaintEvent*) {
    if (frames_.isEmpty()) return;
    QPainter p(this);
    p.drawPixmap(QPoint(0, 0), frames_[current_].picture);
}

}  // namespace ui
