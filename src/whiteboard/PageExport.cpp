#include "whiteboard/PageExport.h"

#include <QIODevice>
#include <QMenu>

#include "ui/FileExport.h"
#include "whiteboard/NotepadPainter.h"

namespace whiteboard {

QMenu* MakeExportMenu(QWidget* window, QAction*& png, QAction*& pdf,
                      const std::function<void(PageFormat)>& exportAs) {
    auto* menu = new QMenu(window);
    png = menu->addAction(QStringLiteral("Export as PNG..."), window,
                          [exportAs] { exportAs(PageFormat::Png); });
    pdf = menu->addAction(QStringLiteral("Export as PDF..."), window,
                          [exportAs] { exportAs(PageFormat::Pdf); });
    return menu;
}

bool ExportPage(ui::Dialogs& dialogs, QWidget* window, const QImage& page, int pageNumber,
                PageFormat format) {
    if (page.isNull()) return false;
    const bool pdf = format == PageFormat::Pdf;
    const QString title = QStringLiteral("Whiteboard page %1").arg(pageNumber);
    return ui::ExportToChosenFile(
        dialogs, window, pdf ? QStringLiteral("Export as PDF") : QStringLiteral("Export as PNG"),
        ExportName(pageNumber, pdf ? "pdf" : "png"),
        pdf ? QStringLiteral("PDF files (*.pdf);;All files (*)")
            : QStringLiteral("PNG images (*.png);;All files (*)"),
        [&](QIODevice& out) {
            return pdf ? WritePagePdf(page, out, title) : WritePagePng(page, out);
        });
}

}  // namespace whiteboard
