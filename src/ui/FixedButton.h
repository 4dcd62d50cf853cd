#pragma once

// An image button found by its caption: the skin's CAPTION+U (up), +D
// (down), +F (focused) and +X (disabled) pictures, with U standing in for
// any look the skin lacks. A double click counts as a second click, so a
// quick double click on "next page" moves two pages.

#include <QAbstractButton>
#include <QPixmap>

namespace ui {

class Skin;

class CFixedButton : public QAbstractButton {
    Q_OBJECT

  public:
    CFixedButton(const Skin& skin, const QString& caption, QWidget* parent = nullptr);

    // Switches to another picture set (the mailbox button's "MAIL" and
    // "MAILACTIVE"). Returns whether the skin has the caption's U picture.
    bool SetCaption(const QString& caption);
    const QString& Caption() const { return caption_; }

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    const QPixmap& Current() const;

    const Skin& skin_;
    QString caption_;
    QPixmap up_;
    QPixmap down_;
    QPixmap focus_;
    QPixmap disabled_;
    bool marked_ = false;  // a double click pressed the button
};

}  // namespace ui
