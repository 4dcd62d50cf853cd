#pragma once

// Saving what a window shows to a file the user names: the name is asked
// through the Dialogs service and the file is written whole or not at all
// (a temporary file renamed over the target), so a failed export never
// leaves half a file behind. A failure is told to the user.

#include <QByteArray>
#include <QString>

class QWidget;

namespace ui {

class Dialogs;

// Writes `bytes` to `path` atomically. On failure shows "Unable to save
// '<path>': <reason>" under the title "Export" and returns false.
bool WriteExportFile(Dialogs& dialogs, QWidget* parent, const QString& path,
                     const QByteArray& bytes);

// Asks for the file (`suggestedName` preset, text files offered first) and
// writes `bytes` there. False when the user cancelled or the write failed.
bool ExportText(Dialogs& dialogs, QWidget* parent, const QString& caption,
                const QString& suggestedName, const QByteArray& bytes);

// A name made from `text` that is safe as a file name's stem: separators
// and control characters become '_', and it is never empty or a dot name.
QString SafeFileStem(const QString& text);

}  // namespace ui
