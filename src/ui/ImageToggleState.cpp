#include "ui/ImageToggleState.h"

namespace ui {

bool ImageToggleState::PointerMove(const QPoint& p, bool leftHeld) {
    if (!Contains(p)) {
        if (leftHeld) {
            if (state_ == 4 || state_ == 5) state_ = Hover();
        } else {
            state_ = Idle();
        }
        return true;
    }
    if (leftHeld) {
        state_ = (state_ == 0 || state_ == 1) ? Hover() : Pressed();
        return true;
    }
    if (state_ == 2 || state_ == 3) return false;
    state_ = Hover();
    return true;
}

bool ImageToggleState::LeftDown(const QPoint& p) {
    if (!Contains(p)) return false;
    if (state_ != 4 && state_ != 5) state_ = Pressed();
    return true;
}

ImageToggleState::Release ImageToggleState::LeftUp(const QPoint& p) {
    if (Contains(p)) {
        // A hover look means the press began elsewhere.
        if (state_ == 2 || state_ == 3) return Release::Ignored;
        value_ = !value_;
        state_ = Hover();
        return Release::Flipped;
    }
    if (state_ == 0 || state_ == 1) return Release::Ignored;
    state_ = Idle();
    return Release::Reverted;
}

ToggleFocus ImageToggleState::Tab(ToggleFocus from, bool shift) const {
    if (!enabled_) return ToggleFocus::None;
    switch (from) {
        case ToggleFocus::Before:
            return shift ? ToggleFocus::None : ToggleFocus::Proxy;
        case ToggleFocus::Proxy:
            return shift ? ToggleFocus::Before : ToggleFocus::After;
        case ToggleFocus::After:
            return shift ? ToggleFocus::Proxy : ToggleFocus::None;
        case ToggleFocus::None:
            return ToggleFocus::None;
    }
    return ToggleFocus::None;
}

bool ImageToggleState::SpaceReleased() {
    if (!enabled_) return false;
    value_ = !value_;
    state_ = Idle();
    return true;
}

}  // namespace ui
