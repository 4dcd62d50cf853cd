#include "ui/FileDrop.h"

#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace ui {

bool CarriesAddresses(const QMimeData* data) {
    return data != nullptr && data->hasUrls();
}

bool CarriesLocalFiles(const QMimeData* data) {
    if (!CarriesAddresses(data)) return false;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) return true;
    }
    return false;
}

DroppedFiles ReadDroppedFiles(const QMimeData* data) {
    DroppedFiles out;
    if (data == nullptr) return out;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) {
            out.others << url.toDisplayString();
            continue;
        }
        const QString path = url.toLocalFile();
        const QFileInfo info(path);
        if (info.isDir()) {
            out.folders << path;
        } else if (info.isFile()) {
            out.files << path;
        } else {
            // Gone since the drag began, or a device or socket: not a file
            // to send.
            out.others << path;
        }
    }
    return out;
}

}  // namespace ui
