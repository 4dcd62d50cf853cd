#pragma once

// The input field of a conversation or a room: Enter sends (Shift+Enter
// breaks the line), and whatever is pasted or dropped arrives as plain text,
// never as markup. Each user sets its own length limit on top.

#include <QTextEdit>

namespace ui {

class CMessageInputEdit : public QTextEdit {
    Q_OBJECT
  public:
    using QTextEdit::QTextEdit;

  signals:
    void sendRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

}  // namespace ui
