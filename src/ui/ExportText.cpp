#include "ui/ExportText.h"

#include <QIODevice>

#include "ui/FileExport.h"

namespace ui {

bool ExportText(Dialogs& dialogs, QWidget* parent, const QString& caption,
                const QString& suggestedName, const QByteArray& bytes) {
    return ExportToChosenFile(dialogs, parent, caption, suggestedName,
                              QStringLiteral("Text files (*.txt);;All files (*)"),
                              [&bytes](QIODevice& out) { return out.write(bytes) == bytes.size(); });
}

QString SafeFileStem(const QString& text) {
    QString stem;
    stem.reserve(text.size());
    for (const QChar c : text) {
        const bool bad = c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control;
        stem += bad ? QLatin1Char('_') : c;
    }
    stem = stem.trimmed();
    if (stem.isEmpty() || stem == QLatin1String(".") || stem == QLatin1String("..")) {
        stem = QStringLiteral("export");
    }
    return stem;
}

}  // namespace ui
