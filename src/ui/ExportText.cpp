#include "ui/ExportText.h"

#include <QSaveFile>

#include "ui/Dialogs.h"

namespace ui {

bool WriteExportFile(Dialogs& dialogs, QWidget* parent, const QString& path,
                     const QByteArray& bytes) {
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) ok = file.write(bytes) == bytes.size();
    if (ok) ok = file.commit();
    if (!ok) {
        const QString reason = file.errorString();
        file.cancelWriting();
        dialogs.Message(parent, QStringLiteral("Export"),
                        QStringLiteral("Unable to save '%1': %2").arg(path, reason),
                        MsgIcon::Error, MsgButtons::Ok);
    }
    return ok;
}

bool ExportText(Dialogs& dialogs, QWidget* parent, const QString& caption,
                const QString& suggestedName, const QByteArray& bytes) {
    const QString path = dialogs.SaveFileName(parent, caption, suggestedName,
                                              QStringLiteral("Text files (*.txt);;All files (*)"));
    if (path.isEmpty()) return false;
    return WriteExportFile(dialogs, parent, path, bytes);
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
