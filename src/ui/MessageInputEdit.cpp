#include "ui/MessageInputEdit.h"

#include <QKeyEvent>
#include <QMimeData>

namespace ui {

void CMessageInputEdit::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & Qt::ShiftModifier)) {
        emit sendRequested();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

bool CMessageInputEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source->hasText();
}

void CMessageInputEdit::insertFromMimeData(const QMimeData* source) {
    if (source->hasText()) insertPlainText(source->text());
}

}  // namespace ui
