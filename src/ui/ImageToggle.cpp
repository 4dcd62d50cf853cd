#include "ui/ImageToggle.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/Skin.h"

namespace ui {

namespace {

// The toggle's stand-in for the keyboard and for assistive tools: a real
// check box, so that its role, name and checked state are reported, but one
// that paints nothing (the toggle shows the state and the focus) and never
// changes itself (the toggle's key handling flips the value).
class ToggleFocusProxy : public QCheckBox {
  public:
    ToggleFocusProxy(const QString& name, QWidget* parent, std::function<void()> activate)
        : QCheckBox(name, parent), activate_(std::move(activate)) {}

  protected:
    void paintEvent(QPaintEvent*) override {}
    bool hitButton(const QPoint&) const override { return false; }
    // An assistive tool's "toggle" action reaches the toggle itself.
    void nextCheckState() override {
        if (activate_) activate_();
    }

  private:
    std::function<void()> activate_;
};

}  // namespace

CImageToggle::CImageToggle(QWidget* window, QVector<QPixmap> pictures, const QRect& rect)
    : QWidget(window), state_(rect, false), pictures_(std::move(pictures)) {
    setGeometry(rect);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, false);
}

CImageToggle* CImageToggle::CheckBox(const Skin& skin, QWidget* window, const QPoint& pos,
                                     const QSize& area) {
    QVector<QPixmap> pictures;
    for (int i = 0; i < 6; ++i)
        pictures.push_back(skin.Bitmap(QStringLiteral("IDB_CHECK%1").arg(i)));
    const QSize size(qMax(13, area.width()), qMax(13, area.height()));
    return new CImageToggle(window, std::move(pictures), QRect(pos, size));
}

CImageToggle* CImageToggle::TwoImage(const Skin& skin, QWidget* window, const QString& offName,
                                     const QString& onName, const QPoint& pos) {
    QVector<QPixmap> pictures{skin.Bitmap(offName), skin.Bitmap(onName)};
    QSize size = skin.SizeOf(offName).expandedTo(skin.SizeOf(onName));
    if (!size.isValid()) size = QSize(13, 13);
    return new CImageToggle(window, std::move(pictures), QRect(pos, size));
}

void CImageToggle::Watch(QWidget* control) {
    if (control != nullptr) control->installEventFilter(this);
}

void CImageToggle::SetFocusControls(QWidget* before, QWidget* proxy, QWidget* after) {
    for (QWidget* old : {before_.data(), proxy_.data(), after_.data()}) {
        if (old != nullptr) old->removeEventFilter(this);
    }
    before_ = before;
    proxy_ = proxy;
    after_ = after;
    Watch(before);
    Watch(proxy);
    Watch(after);
    SyncProxy();
}

QWidget* CImageToggle::MakeFocusProxy(const QString& name) {
    auto* proxy = new ToggleFocusProxy(name, parentWidget(), [this] {
        if (state_.SpaceReleased()) Changed();
    });
    proxy->setObjectName(QStringLiteral("toggleFocusProxy"));
    proxy->setFocusPolicy(Qt::StrongFocus);
    proxy->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Over the toggle, so that a screen magnifier following the focus looks
    // at the box; it paints nothing there.
    proxy->setGeometry(QRect(pos(), QSize(13, 13)));
    proxy->show();
    proxy_ = proxy;
    SyncProxy();
    return proxy;
}

void CImageToggle::SyncProxy() {
    auto* box = qobject_cast<QCheckBox*>(proxy_.data());
    if (box == nullptr) return;
    box->setChecked(state_.Value());
    // A disabled widget is skipped by Tab: a disabled box leaves the order.
    box->setEnabled(state_.Enabled());
}

void CImageToggle::SetValue(bool value) {
    state_.SetValue(value);
    SyncProxy();
    update();
}

void CImageToggle::SetToggleEnabled(bool enabled) {
    state_.SetEnabled(enabled);
    SyncProxy();
    update();
}

void CImageToggle::Changed() {
    SyncProxy();
    update();
    if (callback_) callback_(state_.Value(), parentWidget());
    emit valueChanged(state_.Value());
}

void CImageToggle::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const int s = state_.State();
    const int index = pictures_.size() == 6 ? s : (state_.Value() ? 1 : 0);
    if (index < pictures_.size() && !pictures_[index].isNull()) {
        if (!state_.Enabled()) p.setOpacity(0.45);
        p.drawPixmap(QPoint(0, 0), pictures_[index]);
        p.setOpacity(1.0);
    }
    if (proxy_ != nullptr && proxy_->hasFocus()) {
        // The proxy is invisible, so the toggle shows where the focus is.
        QSize box = index < pictures_.size() && !pictures_[index].isNull()
                        ? pictures_[index].deviceIndependentSize().toSize()
                        : size();
        box = box.boundedTo(size());
        QPen pen(Skin::Accent(), 1, Qt::DotLine);
        p.setPen(pen);
        p.drawRect(QRect(QPoint(0, 0), box).adjusted(0, 0, -1, -1));
    }
}

void CImageToggle::mouseMoveEvent(QMouseEvent* event) {
    if (!state_.Enabled()) return;
    const bool held = event->buttons() & Qt::LeftButton;
    if (state_.PointerMove(ToWindow(event->position().toPoint()), held)) update();
}

void CImageToggle::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !state_.Enabled()) return;
    if (state_.LeftDown(ToWindow(event->position().toPoint()))) update();
}

void CImageToggle::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !state_.Enabled()) return;
    switch (state_.LeftUp(ToWindow(event->position().toPoint()))) {
        case ImageToggleState::Release::Ignored:
            break;
        case ImageToggleState::Release::Reverted:
            update();
            break;
        case ImageToggleState::Release::Flipped:
            Changed();
            if (proxy_ != nullptr) proxy_->setFocus(Qt::MouseFocusReason);
            break;
    }
}

void CImageToggle::enterEvent(QEnterEvent* event) {
    if (!state_.Enabled()) return;
    const bool held = event->buttons() & Qt::LeftButton;
    if (state_.PointerMove(ToWindow(event->position().toPoint()), held)) update();
}

void CImageToggle::leaveEvent(QEvent*) {
    // Leaving without a button held: outside, idle look. While the button is
    // held the moves outside arrive through the pointer grab instead.
    if (!state_.Enabled() || (QGuiApplication::mouseButtons() & Qt::LeftButton)) return;
    const QPoint outside = state_.Rect().topLeft() - QPoint(2, 2);
    if (state_.PointerMove(outside, false)) update();
}

void CImageToggle::moveEvent(QMoveEvent*) {
    state_.SetRect(geometry());
}
void CImageToggle::resizeEvent(QResizeEvent*) {
    state_.SetRect(geometry());
}

ToggleFocus CImageToggle::RoleOf(QObject* watched) const {
    if (watched == proxy_.data()) return ToggleFocus::Proxy;
    if (watched == before_.data()) return ToggleFocus::Before;
    if (watched == after_.data()) return ToggleFocus::After;
    return ToggleFocus::None;
}

bool CImageToggle::eventFilter(QObject* watched, QEvent* event) {
    const ToggleFocus role = RoleOf(watched);
    if (role == ToggleFocus::None) return QWidget::eventFilter(watched, event);
    if (role == ToggleFocus::Proxy &&
        (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)) {
        update();
        return false;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) return false;
    if (!state_.Enabled()) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    const bool press = event->type() == QEvent::KeyPress;
    if (press && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
        const bool shift = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
        const ToggleFocus target = state_.Tab(role, shift);
        QWidget* next = target == ToggleFocus::Proxy    ? proxy_.data()
                        : target == ToggleFocus::Before ? before_.data()
                        : target == ToggleFocus::After  ? after_.data()
                                                        : nullptr;
        if (next == nullptr) return false;
        next->setFocus(shift ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return true;
    }
    if (role == ToggleFocus::Proxy && key->key() == Qt::Key_Space) {
        // The press is swallowed too, so that a check box proxy does not
        // toggle itself as well.
        if (!press && !key->isAutoRepeat() && state_.SpaceReleased()) Changed();
        return true;
    }
    return false;
}

}  // namespace ui
