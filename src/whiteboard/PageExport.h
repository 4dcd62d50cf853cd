#pragma once

// The page exports both whiteboard windows offer in their context menu.

#include <QImage>
#include <functional>

class QAction;
class QMenu;
class QWidget;

namespace ui {
class Dialogs;
}

namespace whiteboard {

enum class PageFormat { Png, Pdf };

// The window's menu with its two entries, which call `exportAs`.
QMenu* MakeExportMenu(QWidget* window, QAction*& png, QAction*& pdf,
                      const std::function<void(PageFormat)>& exportAs);

// Asks where (proposing "whiteboard-page-N.png" or ".pdf") and writes
// `page` there; false when cancelled or failed (the failure is said).
bool ExportPage(ui::Dialogs& dialogs, QWidget* window, const QImage& page, int pageNumber,
                PageFormat format);

}  // namespace whiteboard
