#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWidget>

#include "ui/ImageToggle.h"
#include "ui/ImageToggleState.h"
#include "ui/Skin.h"

namespace {

using ui::ImageToggleState;
using ui::ToggleFocus;
using Release = ImageToggleState::Release;

const QRect kRect(69, 113, 214, 13);
const QPoint kInside(100, 118);
const QPoint kOutside(10, 10);

TEST(ImageToggleState, ClickInsideFlipsAndHovers) {
    ImageToggleState t(kRect, false);
    EXPECT_TRUE(t.PointerMove(kInside, false));
    EXPECT_EQ(t.State(), 2);
    EXPECT_FALSE(t.PointerMove(kInside + QPoint(1, 0), false));  // hover stays, no repaint
    EXPECT_TRUE(t.LeftDown(kInside));
    EXPECT_EQ(t.State(), 4);
    EXPECT_EQ(t.LeftUp(kInside), Release::Flipped);
    EXPECT_TRUE(t.Value());
    EXPECT_EQ(t.State(), 3);
    t.LeftDown(kInside);
    EXPECT_EQ(t.State(), 5);
    EXPECT_EQ(t.LeftUp(kInside), Release::Flipped);
    EXPECT_FALSE(t.Value());
    EXPECT_EQ(t.State(), 2);
    t.PointerMove(kOutside, false);
    EXPECT_EQ(t.State(), 0);
}

TEST(ImageToggleState, PressInsideReleaseOutsideChangesNothing) {
    ImageToggleState t(kRect, true);
    t.LeftDown(kInside);
    EXPECT_EQ(t.State(), 5);
    t.PointerMove(kOutside, true);
    EXPECT_EQ(t.State(), 3);
    EXPECT_EQ(t.LeftUp(kOutside), Release::Reverted);
    EXPECT_TRUE(t.Value());
    EXPECT_EQ(t.State(), 1);
}

TEST(ImageToggleState, LeaveAndReenterWithButtonHeldShowsPressedAndFlipsOnce) {
    ImageToggleState t(kRect, false);
    t.LeftDown(kInside);
    t.PointerMove(kOutside, true);
    EXPECT_EQ(t.State(), 2);
    t.PointerMove(kInside, true);
    EXPECT_EQ(t.State(), 4);  // pressed look again
    EXPECT_EQ(t.LeftUp(kInside), Release::Flipped);
    EXPECT_TRUE(t.Value());
    EXPECT_EQ(t.LeftUp(kInside), Release::Ignored);  // a stray second release
    EXPECT_TRUE(t.Value());
}

TEST(ImageToggleState, PressElsewhereDraggedOnDoesNotFlip) {
    ImageToggleState t(kRect, false);
    t.PointerMove(kInside, true);  // button held since outside
    EXPECT_EQ(t.State(), 2);
    EXPECT_EQ(t.LeftUp(kInside), Release::Ignored);
    EXPECT_FALSE(t.Value());
    EXPECT_FALSE(t.LeftDown(kOutside));
}

TEST(ImageToggleState, EdgesCountAsInside) {
    ImageToggleState t(kRect, false);
    EXPECT_TRUE(t.Contains(QPoint(69, 113)));
    EXPECT_TRUE(t.Contains(QPoint(69 + 214, 113 + 13)));
    EXPECT_FALSE(t.Contains(QPoint(68, 113)));
    EXPECT_FALSE(t.Contains(QPoint(69, 113 + 14)));
}

TEST(ImageToggleState, TabMovesAmongTheThreeControls) {
    ImageToggleState t(kRect, false);
    EXPECT_EQ(t.Tab(ToggleFocus::Before, false), ToggleFocus::Proxy);
    EXPECT_EQ(t.Tab(ToggleFocus::Before, true), ToggleFocus::None);
    EXPECT_EQ(t.Tab(ToggleFocus::Proxy, false), ToggleFocus::After);
    EXPECT_EQ(t.Tab(ToggleFocus::Proxy, true), ToggleFocus::Before);
    EXPECT_EQ(t.Tab(ToggleFocus::After, true), ToggleFocus::Proxy);
    EXPECT_EQ(t.Tab(ToggleFocus::After, false), ToggleFocus::None);
    EXPECT_TRUE(t.SpaceReleased());
    EXPECT_TRUE(t.Value());
    EXPECT_EQ(t.State(), 1);
    t.SetEnabled(false);
    EXPECT_EQ(t.Tab(ToggleFocus::Before, false), ToggleFocus::None);
    EXPECT_FALSE(t.SpaceReleased());
    EXPECT_TRUE(t.Value());
}

// The widget around the state: real key and mouse events on a window.
class ImageToggleWidget : public ::testing::Test {
  protected:
    void SetUp() override {
        window.setFixedSize(336, 213);
        before = new QLineEdit(&window);
        before->setGeometry(69, 60, 150, 20);
        after = new QLineEdit(&window);
        after->setGeometry(69, 150, 150, 20);
        toggle = ui::CImageToggle::CheckBox(skin, &window, QPoint(69, 113), QSize(214, 13));
        proxy = toggle->MakeFocusProxy();
        toggle->SetFocusControls(before, proxy, after);
        toggle->SetChangeCallback([this](bool value, QWidget* owner) {
            changes.push_back(value);
            owners.push_back(owner);
        });
        window.show();
        QApplication::setActiveWindow(&window);
    }

    static void Key(QWidget* target, QEvent::Type type, int key,
                    Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent event(type, key, mods);
        QApplication::sendEvent(target, &event);
    }
    void Mouse(QEvent::Type type, const QPoint& local, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(local), QPointF(toggle->mapToGlobal(local)),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held,
                          Qt::NoModifier);
        QApplication::sendEvent(toggle, &event);
    }

    ui::Skin skin{1.0};
    QWidget window;
    QLineEdit* before = nullptr;
    QLineEdit* after = nullptr;
    QWidget* proxy = nullptr;
    ui::CImageToggle* toggle = nullptr;
    std::vector<bool> changes;
    std::vector<QWidget*> owners;
};

TEST_F(ImageToggleWidget, TabAndSpaceFollowTheFocusControls) {
    before->setFocus();
    Key(before, QEvent::KeyPress, Qt::Key_Tab);
    EXPECT_TRUE(proxy->hasFocus());
    Key(proxy, QEvent::KeyPress, Qt::Key_Space);
    EXPECT_TRUE(changes.empty());  // the release flips, not the press
    Key(proxy, QEvent::KeyRelease, Qt::Key_Space);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_TRUE(changes[0]);
    EXPECT_EQ(owners[0], &window);
    EXPECT_EQ(toggle->VisualState(), 1);
    EXPECT_TRUE(proxy->hasFocus());
    Key(proxy, QEvent::KeyPress, Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
    Key(after, QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(proxy->hasFocus());
    Key(proxy, QEvent::KeyPress, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(before->hasFocus());
}

TEST_F(ImageToggleWidget, DisabledCheckBoxIgnoresKeysAndPointer) {
    toggle->SetToggleEnabled(false);
    proxy->setFocus();
    Key(proxy, QEvent::KeyRelease, Qt::Key_Space);
    Mouse(QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, QPoint(3, 3), Qt::NoButton);
    EXPECT_TRUE(changes.empty());
    EXPECT_FALSE(toggle->Value());
}

TEST_F(ImageToggleWidget, ClickFlipsAndFocusesTheProxy) {
    before->setFocus();
    Mouse(QEvent::MouseMove, QPoint(3, 3), Qt::NoButton);
    EXPECT_EQ(toggle->VisualState(), 2);
    Mouse(QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton);
    EXPECT_EQ(toggle->VisualState(), 4);
    Mouse(QEvent::MouseMove, QPoint(300, 3), Qt::LeftButton);  // dragged off
    EXPECT_EQ(toggle->VisualState(), 2);
    Mouse(QEvent::MouseMove, QPoint(5, 5), Qt::LeftButton);  // and back
    EXPECT_EQ(toggle->VisualState(), 4);
    Mouse(QEvent::MouseButtonRelease, QPoint(5, 5), Qt::NoButton);
    EXPECT_EQ(changes, std::vector<bool>{true});
    EXPECT_EQ(toggle->VisualState(), 3);
    EXPECT_TRUE(proxy->hasFocus());
}

}  // namespace
