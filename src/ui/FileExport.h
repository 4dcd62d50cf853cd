#pragma once

// Writing a file the user asked for from a window's context menu: the save
// chooser through the Dialogs seam, then the bytes written to a temporary
// name and renamed over the target, so that a failed write never leaves a
// half-written file where the user expects a whole one. A refused or failed
// write is said in a box titled "Export".

#include <QString>
#include <functional>

class QIODevice;
class QWidget;

namespace ui {

class Dialogs;

// Writes through `write` into `path` atomically. `write` returns false when
// it could not produce the content. On any failure a box names the file and
// the reason; returns whether the file is now in place.
bool WriteExportFile(Dialogs& dialogs, QWidget* parent, const QString& path,
                     const std::function<bool(QIODevice& out)>& write);

// The whole export: asks where (caption, proposed name, filter), then
// writes. Returns false when the user cancelled or the write failed.
bool ExportToChosenFile(Dialogs& dialogs, QWidget* parent, const QString& caption,
                        const QString& proposedName, const QString& filter,
                        const std::function<bool(QIODevice& out)>& write);

}  // namespace ui
