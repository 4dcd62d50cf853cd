#pragma once

// The viewing window: any account's whiteboard pages, read-only, turned with
// the same corner as the drawing window's. Its page can be dragged into the
// drawing window, which then shows it as its own page's picture. While it is
// visible, timer 4 reads its page again without bringing it forward.

#include <QImage>
#include <QString>
#include <string>

#include "ui/SkinnedDlg.h"
#include "whiteboard/model/NotepadPage.h"

class QAction;
class QMenu;

namespace net {
class Client;
}

namespace whiteboard {

class CNotepadDrawDlg;
class CPageRequests;

class CNotepadViewDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    CNotepadViewDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                    CPageRequests& requests, QWidget* parent = nullptr);

    // Where a dragged page goes.
    void SetDrawWindow(CNotepadDrawDlg* draw) { draw_ = draw; }

    // Asks for `account`'s page; the window shows itself when it arrives.
    bool OpenView(const std::string& account, int page);
    // The page arrived, or was refused (`path` then names an empty file).
    void PageArrived(const std::string& path);
    // The account asked for does not exist.
    void AccountNotFound();
    // Timer 4.
    void Tick();
    void Reset();

    const std::string& Account() const { return account_; }
    int Page() const { return page_; }
    bool Ready() const { return ready_; }
    bool Dragging() const { return dragging_; }
    const QImage& Background() const { return background_; }
    QImage PageShown() const;

    // The right-click menu: "Export as PNG..." and "Export as PDF...", the
    // page's drawing on its background without the corner and border;
    // offered once the page is there.
    QMenu* ContextMenu() const { return menu_; }
    QAction* ExportPngAction() const { return exportPng_; }
    QAction* ExportPdfAction() const { return exportPdf_; }
    bool CanExport() const;
    QImage ExportedPage() const;
    // Ask where and write; false when cancelled, not possible or failed.
    bool ExportPng();
    bool ExportPdf();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    bool Ask();
    // Whether a cursor at this screen point drops the page on the drawing window.
    bool OverDrawWindow(const QPoint& global) const;

    CPageRequests& requests_;
    CNotepadDrawDlg* draw_ = nullptr;
    std::string account_;
    int page_ = kFirstPage;
    bool ready_ = false;
    // A request of this window is out; a refresh does not bring it forward.
    bool waiting_ = false;
    bool silent_ = false;
    bool dragging_ = false;
    bool placed_ = false;
    QImage background_;
    QMenu* menu_ = nullptr;
    QAction* exportPng_ = nullptr;
    QAction* exportPdf_ = nullptr;
};

}  // namespace whiteboard
