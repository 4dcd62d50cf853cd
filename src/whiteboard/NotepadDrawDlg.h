#pragma once

// The drawing window: one of the own account's five whiteboard pages, drawn
// on with pen and eraser by mouse or tablet, turned with the corner, undone
// and redone, cleared, reverted and saved back to the server as a PNG.

#include <QImage>
#include <QString>
#include <cstdint>
#include <string>

#include "ui/SkinnedDlg.h"
#include "whiteboard/model/NotepadFiles.h"
#include "whiteboard/model/NotepadPage.h"

class QAction;
class QMenu;
class QPushButton;

namespace net {
class Client;
}
namespace ui {
class CFixedButton;
}

namespace whiteboard {

class CPageRequests;

class CNotepadDrawDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr int kUploadSlot = 2;

    CNotepadDrawDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                    net::Client& client, CPageRequests& requests, QWidget* parent = nullptr);

    // The main window's whiteboard command.
    void Open();
    // Makes `page` current and asks for the own account's copy of it.
    bool FetchPage(int page);
    // Asks for another account's page to show here; the own page number
    // stays, so a Save stores the picture as that page.
    bool FetchFrom(const std::string& account, int page);
    // The page asked for arrived (or was refused, leaving `path` empty).
    void PageArrived(const std::string& path);

    void Clear();
    void Revert();
    void Save();
    void Close();
    void SetTool(Tool tool);
    void Undo();
    void Redo();

    // The page's upload ended.
    void SaveCompleted();
    void SaveRefused();
    // A MsgNotepad response.
    void Apply(const NotepadEvent& event);
    // Set while a viewed page is dragged over the window.
    void SetHighlight(bool on);
    // Repaints the page area (11, 10)-(645, 410).
    void RedrawPage();
    // The connection ended: the window is hidden; back to the start.
    void Reset();

    int Page() const { return page_; }
    ViewState State() const { return state_; }
    Tool CurrentTool() const { return tool_; }
    bool Highlighted() const { return highlight_; }
    const CNotepadItems& Items() const { return items_; }
    const QImage& Background() const { return background_; }
    // The page as it is shown, corner, words and border included.
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

    ui::CFixedButton* PencilButton() const { return pencil_; }
    ui::CFixedButton* EraserButton() const { return eraser_; }
    QPushButton* ClearButton() const { return clear_; }
    QPushButton* RevertButton() const { return revert_; }
    QPushButton* SaveButton() const { return save_; }

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void tabletEvent(QTabletEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    enum class Stroke { None, Mouse, Tablet };

    void ClearItems();
    void TurnTo(int page);
    void RebuildCanvas();
    void AddSegment(PagePoint to);
    void EndStroke();
    void UpdateToolButtons();
    void SetTitleForPage();

    net::Client& client_;
    CPageRequests& requests_;
    int page_ = kFirstPage;
    ViewState state_ = ViewState::Loading;
    Tool tool_ = Tool::Pen;
    bool highlight_ = false;
    CNotepadItems items_;
    Stroke stroke_ = Stroke::None;
    QImage background_;
    // The page's content (ground, picture, strokes) kept drawn, so that a
    // new segment costs one line and a repaint one copy.
    QImage canvas_;

    ui::CFixedButton* pencil_ = nullptr;
    ui::CFixedButton* eraser_ = nullptr;
    QPushButton* clear_ = nullptr;
    QPushButton* revert_ = nullptr;
    QPushButton* save_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* exportPng_ = nullptr;
    QAction* exportPdf_ = nullptr;
};

}  // namespace whiteboard
