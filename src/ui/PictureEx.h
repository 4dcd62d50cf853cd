#pragma once

// An animated picture: frames played in turn, each for its own delay, on a
// timer of the window's thread.

#include <QTimer>
#include <QVector>
#include <QWidget>

#include "ui/Skin.h"

namespace ui {

class CPictureEx : public QWidget {
    Q_OBJECT

  public:
    explicit CPictureEx(QWidget* parent = nullptr);

    // Takes the frames and sizes the widget to the first one. Returns false
    // (and shows nothing) when there are no frames.
    bool Load(const QVector<AnimationFrame>& frames);
    bool Load(const Skin& skin, const QString& name);
    void UnLoad();

    // Starts playing from the first frame; Stop keeps the current frame shown.
    void Start();
    void Stop();
    bool IsPlaying() const { return timer_.isActive(); }
    int CurrentFrame() const { return current_; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }

    QSize sizeHint() const override;

  signals:
    void frameChanged(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Advance();
    int DelayOf(int index) const;

    QVector<AnimationFrame> frames_;
    int current_ = 0;
    QTimer timer_;
};

}  // namespace ui
