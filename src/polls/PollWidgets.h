#pragma once

// Small controls the ballot, results and authoring windows share: the
// answer box that records on every key release, the bars of a tally, and the
// mark that tells correct, incorrect and neutral apart.

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

namespace polls {

// An answer box: at most `maxChars` characters and `maxBytes` bytes of
// UTF-8, one line or several. Every key release is announced, which is when
// the ballot records the answer.
class CBallotEditCtrl : public QPlainTextEdit {
    Q_OBJECT
  public:
    CBallotEditCtrl(int maxChars, int maxBytes, bool singleLine, QWidget* parent = nullptr);
    QString Text() const { return toPlainText(); }
    // Replaces the text without announcing anything.
    void SetText(const QString& text);

  signals:
    void keyReleased();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    void Enforce();
    int maxChars_;
    int maxBytes_;
    bool singleLine_;
    bool enforcing_ = false;
};

// A mark: -1 nothing, 0 correct or accepted (a tick), 1 incorrect (a cross);
// 2 is drawn as incorrect as well (the numeric rows' code).
class CMarkWidget : public QWidget {
  public:
    explicit CMarkWidget(QWidget* parent = nullptr);
    void SetMark(int mark);
    int Mark() const { return mark_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int mark_ = -1;
};

// The bars of a tally: each fraction a bar of fraction x 126 pixels, the
// correct one drawn apart.
class CPollBars : public QWidget {
  public:
    explicit CPollBars(QWidget* parent = nullptr);
    void SetBars(const QStringList& labels, const std::vector<float>& fractions, int correct);
    // Heights in pixels, for tests.
    std::vector<int> Heights() const;
    int Correct() const { return correct_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QStringList labels_;
    std::vector<float> fractions_;
    int correct_ = -1;
};

}  // namespace polls
