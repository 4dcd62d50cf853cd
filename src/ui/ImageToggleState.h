#pragma once

// The pointer, button and keyboard rules of an image toggle, kept apart from
// any widget so that they can be checked directly. The owning widget feeds it
// events in window coordinates and repaints when told to.

#include <QPoint>
#include <QRect>

namespace ui {

// Which of the toggle's three focus controls an event concerns.
enum class ToggleFocus { None, Before, Proxy, After };

class ImageToggleState {
  public:
    ImageToggleState() = default;
    ImageToggleState(const QRect& rect, bool value) : rect_(rect), value_(value) {
        state_ = Idle();
    }

    // Visual states: 0/1 idle off/on, 2/3 pointer over off/on, 4/5 pressed off/on.
    int State() const { return state_; }
    bool Value() const { return value_; }
    const QRect& Rect() const { return rect_; }
    bool Enabled() const { return enabled_; }

    void SetRect(const QRect& rect) { rect_ = rect; }
    // Sets the value without a callback; the look becomes the idle one.
    void SetValue(bool value) {
        value_ = value;
        state_ = Idle();
    }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

    // Edges count as inside.
    bool Contains(const QPoint& p) const {
        return p.x() >= rect_.left() && p.x() <= rect_.left() + rect_.width() &&
               p.y() >= rect_.top() && p.y() <= rect_.top() + rect_.height();
    }

    // Each returns true when the rectangle must be repainted.
    bool PointerMove(const QPoint& p, bool leftHeld);
    bool LeftDown(const QPoint& p);

    enum class Release { Ignored, Reverted, Flipped };
    // On Flipped the owner calls the change callback and focuses the proxy.
    Release LeftUp(const QPoint& p);

    // Tab or Shift+Tab pressed while `from` has the focus: the control that
    // takes the focus, or None when the key is left to the window.
    ToggleFocus Tab(ToggleFocus from, bool shift) const;

    // The space bar released while the focus proxy has the focus. Returns
    // true when the value flipped (the owner repaints and calls back).
    bool SpaceReleased();

  private:
    int Idle() const { return value_ ? 1 : 0; }
    int Hover() const { return value_ ? 3 : 2; }
    int Pressed() const { return value_ ? 5 : 4; }

    QRect rect_;
    bool value_ = false;
    int state_ = 0;
    bool enabled_ = true;
};

}  // namespace ui
