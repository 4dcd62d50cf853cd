#pragma once

// The image toggle on a window: a two-image toggle (one picture for off, one
// for on) or the 13 x 13 small check box with a picture per visual state.
// The rules live in ImageToggleState; this widget feeds it the pointer
// events in window coordinates and the keys of its three focus controls
// (the one before, a focus proxy standing in for the toggle, the one after).

#include <QPixmap>
#include <QPointer>
#include <QVector>
#include <QWidget>
#include <functional>

#include "ui/ImageToggleState.h"

namespace ui {

class Skin;

class CImageToggle : public QWidget {
    Q_OBJECT

  public:
    using ChangeCallback = std::function<void(bool value, QWidget* window)>;

    // The small check box (skin pictures IDB_CHECK0..IDB_CHECK5) drawn at
    // `pos`; `area` is its clickable size from there, at least 13 x 13.
    static CImageToggle* CheckBox(const Skin& skin, QWidget* window, const QPoint& pos,
                                  const QSize& area = QSize(13, 13));
    // The two-image toggle, clickable over its pictures' size.
    static CImageToggle* TwoImage(const Skin& skin, QWidget* window, const QString& offName,
                                  const QString& onName, const QPoint& pos);

    // The controls Tab moves between. Any may be null. The proxy receives
    // the focus on behalf of the toggle; MakeFocusProxy gives an invisible
    // check box that assistive tools read as this toggle: named `name` (the
    // words beside the box), checked while the toggle is on, and out of the
    // Tab order while the toggle is disabled.
    void SetFocusControls(QWidget* before, QWidget* proxy, QWidget* after);
    QWidget* MakeFocusProxy(const QString& name = {});

    bool Value() const { return state_.Value(); }
    void SetValue(bool value);
    int VisualState() const { return state_.State(); }
    void SetChangeCallback(ChangeCallback callback) { callback_ = std::move(callback); }

    // A small check box that is not enabled ignores the keyboard and the
    // pointer, and is drawn faded.
    void SetToggleEnabled(bool enabled);
    bool ToggleEnabled() const { return state_.Enabled(); }

  signals:
    void valueChanged(bool value);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    CImageToggle(QWidget* window, QVector<QPixmap> pictures, const QRect& rect);
    QPoint ToWindow(const QPoint& local) const { return local + pos(); }
    void Changed();
    void SyncProxy();
    ToggleFocus RoleOf(QObject* watched) const;
    void Watch(QWidget* control);

    ImageToggleState state_;
    QVector<QPixmap> pictures_;  // 6 for the check box, 2 for the toggle
    ChangeCallback callback_;
    QPointer<QWidget> before_;
    QPointer<QWidget> proxy_;
    QPointer<QWidget> after_;
};

}  // namespace ui
