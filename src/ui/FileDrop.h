#pragma once

// Files dragged onto a window from the desktop: the addresses a drag
// carries sorted into local files, local folders and the rest, so that the
// windows that take files treat them alike.

#include <QStringList>

class QMimeData;

namespace ui {

struct DroppedFiles {
    QStringList files;    // local files, in the order dropped
    QStringList folders;  // local folders
    QStringList others;   // addresses that are not local, or name nothing
};

// Whether the drag carries addresses at all; the window takes such a drag
// and sorts out at the drop what it can use.
bool CarriesAddresses(const QMimeData* data);
// Whether at least one address is a local path (a web link is not).
bool CarriesLocalFiles(const QMimeData* data);
DroppedFiles ReadDroppedFiles(const QMimeData* data);

}  // namespace ui
