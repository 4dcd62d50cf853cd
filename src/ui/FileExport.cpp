#include "ui/FileExport.h"

#include <QFileInfo>
#include <QSaveFile>

#include "ui/Dialogs.h"

namespace ui {

namespace {

void ShowFailure(Dialogs& dialogs, QWidget* parent, const QString& path, const QString& reason) {
    const QString text = QStringLiteral("Could not write \"%1\": %2")
                             .arg(QFileInfo(path).fileName(),
                                  reason.isEmpty() ? QStringLiteral("Unknown error") : reason);
    dialogs.Message(parent, QStringLiteral("Export"), text, MsgIcon::Error);
}

}  // namespace

bool WriteExportFile(Dialogs& dialogs, QWidget* parent, const QString& path,
                     const std::function<bool(QIODevice& out)>& write) {
    if (QFileInfo(path).isDir()) {
        ShowFailure(dialogs, parent, path, QStringLiteral("Is a folder"));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        ShowFailure(dialogs, parent, path, file.errorString());
        return false;
    }
    if (!write(file)) {
        // The writer's own failure: the error string says more when the
        // device refused the bytes.
        const QString reason = file.error() != QFileDevice::NoError
                                   ? file.errorString()
                                   : QStringLiteral("The content could not be written");
        file.cancelWriting();
        ShowFailure(dialogs, parent, path, reason);
        return false;
    }
    if (!file.commit()) {
        ShowFailure(dialogs, parent, path, file.errorString());
        return false;
    }
    return true;
}

bool ExportToChosenFile(Dialogs& dialogs, QWidget* parent, const QString& caption,
                        const QString& proposedName, const QString& filter,
                        const std::function<bool(QIODevice& out)>& write) {
    const QString path = dialogs.SaveFileName(parent, caption, proposedName, filter);
    if (path.isEmpty()) return false;
    return WriteExportFile(dialogs, parent, path, write);
}

}  // namespace ui
