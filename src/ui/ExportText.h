#pragma once

// Saving text a window shows to a file the user names, through the one
// export writer (ui/FileExport.h): whole or not at all, failures told.

#include <QByteArray>
#include <QString>

class QWidget;

namespace ui {

class Dialogs;

// Asks for the file (`suggestedName` preset, text files offered first) and
// writes `bytes` there. False when the user cancelled or the write failed.
bool ExportText(Dialogs& dialogs, QWidget* parent, const QString& caption,
                const QString& suggestedName, const QByteArray& bytes);

// A name made from `text` that is safe as a file name's stem: separators
// and control characters become '_', and it is never empty or a dot name.
QString SafeFileStem(const QString& text);

}  // namespace ui
