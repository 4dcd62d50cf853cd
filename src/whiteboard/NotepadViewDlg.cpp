#include "whiteboard/NotepadViewDlg.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include "whiteboard/NotepadDrawDlg.h"
#include "whiteboard/NotepadPainter.h"
#include "whiteboard/PageExport.h"
#include "whiteboard/PageRequests.h"

namespace whiteboard {

namespace {

Rect ToRect(const QRect& r) {
    return Rect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

}  // namespace

CNotepadViewDlg::CNotepadViewDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                 const net::Timings& timings, CPageRequests& requests,
                                 QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), requests_(requests) {
    setWindowTitle(QStringLiteral("Whiteboard - View"));
    SetFrame(QStringLiteral("IDB_WHITEBOARD"));
    menu_ = MakeExportMenu(this, exportPng_, exportPdf_, [this](PageFormat format) {
        format == PageFormat::Pdf ? ExportPdf() : ExportPng();
    });
}

bool CNotepadViewDlg::OpenView(const std::string& account, int page) {
    // A name that cannot be asked for (one that is no folder name) leaves
    // the account shown as it was: its page still turns and refreshes.
    const std::string shownAccount = account_;
    const int shownPage = page_;
    const bool shownSilent = silent_;
    account_ = account;
    page_ = page;
    silent_ = false;
    if (Ask()) return true;
    account_ = shownAccount;
    page_ = shownPage;
    silent_ = shownSilent;
    return false;
}

bool CNotepadViewDlg::Ask() {
    if (!requests_.Ask(kPurposeView, account_, page_)) return false;
    waiting_ = true;
    return true;
}

void CNotepadViewDlg::PageArrived(const std::string& path) {
    const bool silent = silent_;
    silent_ = false;
    waiting_ = false;
    background_ = path.empty() ? QImage() : LoadPagePicture(QString::fromStdString(path));
    ready_ = true;
    setWindowTitle(QString::asprintf("Whiteboard - View [%s] Page %i", account_.c_str(), page_));
    if (!isVisible() && !silent) {
        ShowInFront(placed_ ? ui::ShowPlacement::Keep()
                            : ui::ShowPlacement::At(CentredTopLeft(ScreenRect(), OuterSize()) +
                                                    QPoint(200, 50)));
        placed_ = true;
    }
    update();
}

void CNotepadViewDlg::AccountNotFound() {
    // The refusal was shown; a window already up shows an empty page rather
    // than "Loading..." for good.
    waiting_ = false;
    silent_ = false;
    if (!isVisible()) return;
    background_ = QImage();
    ready_ = true;
    update();
}

void CNotepadViewDlg::Tick() {
    if (!isVisible() || !ready_ || waiting_ || account_.empty()) return;
    silent_ = true;
    if (!Ask()) silent_ = false;
}

void CNotepadViewDlg::Reset() {
    account_.clear();
    page_ = kFirstPage;
    ready_ = false;
    waiting_ = false;
    silent_ = false;
    dragging_ = false;
    background_ = QImage();
    setWindowTitle(QStringLiteral("Whiteboard - View"));
    if (draw_ != nullptr) draw_->SetHighlight(false);
}

QImage CNotepadViewDlg::PageShown() const {
    QImage shown(kPageWidth, kPageHeight, QImage::Format_RGB32);
    QPainter p(&shown);
    PaintContent(p, background_, {}, ready_);
    PaintOverlay(p, ready_ ? ViewState::Ready : ViewState::Loading, false);
    return shown;
}

bool CNotepadViewDlg::CanExport() const {
    return ready_ && !dragging_;
}

QImage CNotepadViewDlg::ExportedPage() const {
    QImage page(kPageWidth, kPageHeight, QImage::Format_RGB32);
    QPainter p(&page);
    PaintContent(p, background_, {}, true);
    p.end();
    return page;
}

bool CNotepadViewDlg::ExportPng() {
    return CanExport() && ExportPage(dialogs_, this, ExportedPage(), page_, PageFormat::Png);
}

bool CNotepadViewDlg::ExportPdf() {
    return CanExport() && ExportPage(dialogs_, this, ExportedPage(), page_, PageFormat::Pdf);
}

void CNotepadViewDlg::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    // Not while a page is being dragged out of the window.
    if (dragging_) return;
    exportPng_->setEnabled(CanExport());
    exportPdf_->setEnabled(CanExport());
    menu_->popup(event->globalPos());
}

void CNotepadViewDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    QPainter p(this);
    p.drawImage(kPageLeft, kPageTop, PageShown());
}

bool CNotepadViewDlg::OverDrawWindow(const QPoint& global) const {
    if (draw_ == nullptr) return false;
    return InDropArea(draw_->isVisible(), ToRect(draw_->frameGeometry()), ToRect(frameGeometry()),
                      global.x(), global.y());
}

void CNotepadViewDlg::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (event->button() != Qt::LeftButton || !InsidePage(at.x(), at.y())) {
        CSkinnedDlg::mousePressEvent(event);
        return;
    }
    const CornerHit hit = HitCorner(at.x(), at.y());
    if (hit != CornerHit::None) {
        if (!ready_) return;
        if (const std::optional<int> target = TurnTarget(hit, page_)) {
            page_ = *target;
            ready_ = false;
            silent_ = false;
            update();
            Ask();
        }
        return;
    }
    // Held down on the page: the page is being dragged (the press grabs the
    // mouse until release).
    dragging_ = true;
    setCursor(Qt::DragCopyCursor);
}

void CNotepadViewDlg::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || draw_ == nullptr) return;
    draw_->SetHighlight(OverDrawWindow(event->globalPosition().toPoint()));
}

void CNotepadViewDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    unsetCursor();
    if (draw_ == nullptr) return;
    const bool drop = OverDrawWindow(event->globalPosition().toPoint());
    draw_->SetHighlight(false);
    if (drop) draw_->FetchFrom(account_, page_);
}

}  // namespace whiteboard
