#include "whiteboard/NotepadDrawDlg.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTabletEvent>
#include <QTimer>

#include "net/Client.h"
#include "net/Transfers.h"
#include "ui/FixedButton.h"
#include "whiteboard/NotepadPainter.h"
#include "whiteboard/PageExport.h"
#include "whiteboard/PageRequests.h"

namespace whiteboard {

namespace {

// Bytes of "last_accessed" that are read.
constexpr qint64 kLastAccessedMax = 49;

PagePoint ToPage(const QPointF& window) {
    const QPoint p = window.toPoint();
    return PagePoint{p.x() - kPageLeft, p.y() - kPageTop};
}

QCursor EraserCursor() {
    QPixmap ring(24, 24);
    ring.fill(Qt::transparent);
    QPainter p(&ring);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.5));
    p.setBrush(QColor(255, 255, 255, 180));
    p.drawEllipse(QRectF(2, 2, 20, 20));
    p.end();
    return QCursor(ring, 12, 12);
}

}  // namespace

CNotepadDrawDlg::CNotepadDrawDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                 const net::Timings& timings, net::Client& client,
                                 CPageRequests& requests, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client), requests_(requests) {
    setWindowTitle(QStringLiteral("Notepad - Draw"));
    SetFrame(QStringLiteral("IDB_WHITEBOARD"));
    setAttribute(Qt::WA_TabletTracking, false);
    setFocusPolicy(Qt::StrongFocus);

    const int band = kPageTop + kPageHeight + 12;
    pencil_ = new ui::CFixedButton(skin_, QStringLiteral("PENCIL"), this);
    pencil_->move(kPageLeft + 4, band);
    pencil_->setToolTip(QStringLiteral("Pen"));
    pencil_->setAccessibleName(QStringLiteral("Pencil"));
    eraser_ = new ui::CFixedButton(skin_, QStringLiteral("ERASER"), this);
    eraser_->move(kPageLeft + 4 + pencil_->width() + 8, band);
    eraser_->setToolTip(QStringLiteral("Eraser"));
    eraser_->setAccessibleName(QStringLiteral("Eraser"));

    const auto textButton = [this](const QString& text, const QString& tip, int index) {
        auto* b = new QPushButton(text, this);
        constexpr int kWidth = 76, kGap = 8;
        const int right = kPageLeft + kPageWidth - 4;
        b->setGeometry(right - (3 - index) * kWidth - (2 - index) * kGap, kPageTop + kPageHeight + 14,
                       kWidth, 28);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        return b;
    };
    clear_ = textButton(QStringLiteral("Clear"), QStringLiteral("Clears the whiteboard"), 0);
    revert_ =
        textButton(QStringLiteral("Revert"), QStringLiteral("Reverts back to the saved whiteboard"), 1);
    save_ = textButton(QStringLiteral("Save"), QStringLiteral("Saves the whiteboard"), 2);

    connect(pencil_, &QAbstractButton::clicked, this, [this] { SetTool(Tool::Pen); });
    connect(eraser_, &QAbstractButton::clicked, this, [this] { SetTool(Tool::Eraser); });
    connect(clear_, &QPushButton::clicked, this, &CNotepadDrawDlg::Clear);
    connect(revert_, &QPushButton::clicked, this, &CNotepadDrawDlg::Revert);
    connect(save_, &QPushButton::clicked, this, &CNotepadDrawDlg::Save);
    menu_ = MakeExportMenu(this, exportPng_, exportPdf_, [this](PageFormat format) {
        format == PageFormat::Pdf ? ExportPdf() : ExportPng();
    });
    RebuildCanvas();
    UpdateToolButtons();
}

// ---- Opening, pages ----------------------------------------------------------------

void CNotepadDrawDlg::Open() {
    Clear();
    std::optional<std::string> text;
    QFile f(QString::fromStdString(client_.DataPath(kLastAccessedName)));
    if (f.open(QIODevice::ReadOnly)) text = f.read(kLastAccessedMax).toStdString();
    state_ = ViewState::Loading;
    FetchPage(LastAccessedPage(text));
    update();
    ShowInFront(ui::ShowPlacement::At(CentredTopLeft(ScreenRect(), OuterSize()) - QPoint(200, 50)));
}

bool CNotepadDrawDlg::FetchPage(int page) {
    page_ = page;
    return requests_.Ask(kPurposeDraw, client_.Username(), page);
}

bool CNotepadDrawDlg::FetchFrom(const std::string& account, int page) {
    return requests_.Ask(kPurposeDraw, account, page);
}

void CNotepadDrawDlg::PageArrived(const std::string& path) {
    ClearItems();
    background_ = path.empty() ? QImage() : LoadPagePicture(QString::fromStdString(path));
    state_ = ViewState::Ready;
    RebuildCanvas();
    update();
    SetTitleForPage();
}

void CNotepadDrawDlg::SetTitleForPage() {
    setWindowTitle(QString::asprintf("Whiteboard - Draw - Page %i", page_));
}

void CNotepadDrawDlg::TurnTo(int page) {
    ClearItems();
    page_ = page;
    state_ = ViewState::Loading;
    update();
    FetchPage(page);
}

// ---- Buttons ------------------------------------------------------------------------

void CNotepadDrawDlg::ClearItems() {
    items_.Clear();
    stroke_ = Stroke::None;
}

void CNotepadDrawDlg::Clear() {
    ClearItems();
    background_ = QImage();
    RebuildCanvas();
    update();
}

void CNotepadDrawDlg::Revert() {
    Clear();
    state_ = ViewState::Loading;
    update();
    FetchPage(page_);
}

void CNotepadDrawDlg::Save() {
    // Only a shown page is stored: while loading there is nothing to store
    // but a blank, and while saving the file is being sent.
    if (state_ != ViewState::Ready || !ValidPage(page_)) return;
    const std::string name = LocalPageName(page_);
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), name);
    if (path.empty()) return;
    const QString file = QString::fromStdString(path);
    if (!RenderForSave(background_, items_.Items()).save(file, "PNG")) {
        // A half-written file must not go out as the page.
        QFile::remove(file);
        return;
    }
    state_ = ViewState::Saving;
    update();
    if (!net::StartUpload(client_.FileServer(), kUploadSlot, path, {static_cast<int32_t>(page_)})) {
        state_ = ViewState::Ready;
        update();
    }
}

void CNotepadDrawDlg::SaveCompleted() {
    if (state_ == ViewState::Saving) state_ = ViewState::Ready;
    RedrawPage();
}

void CNotepadDrawDlg::SaveRefused() {
    // Back to the same page with the drawing kept; the refusal was shown.
    if (state_ == ViewState::Saving) state_ = ViewState::Ready;
    RedrawPage();
}

void CNotepadDrawDlg::Close() {
    if (ValidPage(page_) &&
        net::CreateTransferDirectories(client_.DataDirectory(), kLocalNotepadFolder)) {
        QFile f(QString::fromStdString(client_.DataPath(kLastAccessedName)));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            f.write(QByteArray::fromStdString(LastAccessedText(page_)));
        }
    }
    Clear();
    hide();
}

void CNotepadDrawDlg::SetTool(Tool tool) {
    tool_ = tool;
    UpdateToolButtons();
    // A click releases its button after this runs: show the tool again
    // once the click is over.
    QTimer::singleShot(0, this, [this] { UpdateToolButtons(); });
    setFocus();
}

void CNotepadDrawDlg::UpdateToolButtons() {
    pencil_->setDown(tool_ == Tool::Pen);
    eraser_->setDown(tool_ == Tool::Eraser);
}

void CNotepadDrawDlg::Undo() {
    if (items_.Undo()) {
        RebuildCanvas();
        RedrawPage();
    }
}

void CNotepadDrawDlg::Redo() {
    if (items_.Redo()) {
        RebuildCanvas();
        RedrawPage();
    }
}

void CNotepadDrawDlg::Apply(const NotepadEvent& event) {
    switch (event.kind) {
        case NotepadEvent::Kind::Ready:
            page_ = kFirstPage;
            state_ = ViewState::Ready;
            SetTitleForPage();
            RedrawPage();
            return;
        case NotepadEvent::Kind::FetchPage:
            FetchPage(event.page);
            return;
        case NotepadEvent::Kind::Ignored:
        case NotepadEvent::Kind::Unusable:
            return;
    }
}

void CNotepadDrawDlg::SetHighlight(bool on) {
    if (highlight_ == on) return;
    highlight_ = on;
    RedrawPage();
}

void CNotepadDrawDlg::RedrawPage() {
    update(QRect(QPoint(11, 10), QPoint(645, 410)).adjusted(0, 0, 1, 1));
}

void CNotepadDrawDlg::Reset() {
    Clear();
    highlight_ = false;
    state_ = ViewState::Loading;
    page_ = kFirstPage;
    setWindowTitle(QStringLiteral("Notepad - Draw"));
}

// ---- Painting ----------------------------------------------------------------------

void CNotepadDrawDlg::RebuildCanvas() {
    if (canvas_.isNull()) canvas_ = QImage(kPageWidth, kPageHeight, QImage::Format_RGB32);
    QPainter p(&canvas_);
    PaintContent(p, background_, items_.Items(), true);
}

QImage CNotepadDrawDlg::PageShown() const {
    QImage shown(kPageWidth, kPageHeight, QImage::Format_RGB32);
    QPainter p(&shown);
    if (state_ == ViewState::Ready) {
        p.drawImage(0, 0, canvas_);
    } else {
        PaintContent(p, background_, items_.Items(), false);
    }
    PaintOverlay(p, state_, highlight_);
    return shown;
}

void CNotepadDrawDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    QPainter p(this);
    p.drawImage(kPageLeft, kPageTop, PageShown());
}

// ---- Exports -----------------------------------------------------------------------

bool CNotepadDrawDlg::CanExport() const {
    // While loading, the window shows no page of its own yet.
    return state_ != ViewState::Loading;
}

QImage CNotepadDrawDlg::ExportedPage() const {
    return RenderForSave(background_, items_.Items());
}

bool CNotepadDrawDlg::ExportPng() {
    return CanExport() && ExportPage(dialogs_, this, ExportedPage(), page_, PageFormat::Png);
}

bool CNotepadDrawDlg::ExportPdf() {
    return CanExport() && ExportPage(dialogs_, this, ExportedPage(), page_, PageFormat::Pdf);
}

void CNotepadDrawDlg::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    // A right click in the middle of a stroke leaves the stroke alone.
    if (stroke_ != Stroke::None) return;
    exportPng_->setEnabled(CanExport());
    exportPdf_->setEnabled(CanExport());
    menu_->popup(event->globalPos());
}

// ---- Mouse and tablet ---------------------------------------------------------------

void CNotepadDrawDlg::AddSegment(PagePoint to) {
    const std::optional<Segment> s = items_.ExtendStroke(to);
    if (!s) return;
    {
        QPainter p(&canvas_);
        PaintSegment(p, items_.Items().back().kind, *s);
    }
    const Rect r = SegmentRepaint(s->from.x + kPageLeft, s->from.y + kPageTop, s->to.x + kPageLeft,
                                  s->to.y + kPageTop);
    update(QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)));
}

void CNotepadDrawDlg::EndStroke() {
    items_.EndStroke();
    stroke_ = Stroke::None;
}

void CNotepadDrawDlg::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || state_ != ViewState::Ready ||
        stroke_ != Stroke::None) {
        CSkinnedDlg::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (!InsidePage(at.x(), at.y())) return;
    const CornerHit hit = HitCorner(at.x(), at.y());
    if (hit != CornerHit::None) {
        if (const std::optional<int> target = TurnTarget(hit, page_)) TurnTo(*target);
        return;
    }
    items_.BeginStroke(tool_, ToPage(event->position()));
    stroke_ = Stroke::Mouse;
    setCursor(tool_ == Tool::Eraser ? EraserCursor() : QCursor(Qt::CrossCursor));
}

void CNotepadDrawDlg::mouseMoveEvent(QMouseEvent* event) {
    if (stroke_ == Stroke::Mouse && (event->buttons() & Qt::LeftButton)) {
        AddSegment(ToPage(event->position()));
    }
}

void CNotepadDrawDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && stroke_ == Stroke::Mouse) {
        EndStroke();
        unsetCursor();
    }
}

void CNotepadDrawDlg::tabletEvent(QTabletEvent* event) {
    event->accept();
    const PagePoint at = ToPage(event->position());
    switch (event->type()) {
        case QEvent::TabletPress:
            if (event->button() != Qt::LeftButton) return;
            // Held upside down, or an eraser pointer: the eraser.
            SetTool(event->pointerType() == QPointingDevice::PointerType::Eraser ? Tool::Eraser
                                                                                  : Tool::Pen);
            if (stroke_ == Stroke::None) {
                items_.BeginStroke(tool_, at);
                stroke_ = Stroke::Tablet;
            }
            update();
            return;
        case QEvent::TabletMove:
            if (!(event->buttons() & Qt::LeftButton)) return;
            if (stroke_ == Stroke::Tablet) {
                AddSegment(at);
            } else {
                const Rect r = SegmentRepaint(at.x + kPageLeft, at.y + kPageTop, at.x + kPageLeft,
                                              at.y + kPageTop);
                update(QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)));
            }
            return;
        case QEvent::TabletRelease:
            if (event->button() == Qt::LeftButton) {
                if (stroke_ == Stroke::Tablet) EndStroke();
            } else if (event->button() == Qt::MiddleButton) {
                Redo();  // the first barrel button
            } else if (event->button() == Qt::RightButton) {
                Undo();  // the second
            }
            return;
        default:
            return;
    }
}

// ---- Keys and closing -------------------------------------------------------------

void CNotepadDrawDlg::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() == Qt::ControlModifier) {
        switch (event->key()) {
            case Qt::Key_Z:
                Undo();
                return;
            case Qt::Key_Y:
                Redo();
                return;
            case Qt::Key_V:
                return;  // taken: nothing is pasted onto a page
            default:
                break;
        }
    }
    CSkinnedDlg::keyPressEvent(event);
}

void CNotepadDrawDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    Close();
}

void CNotepadDrawDlg::reject() {
    Close();
}

}  // namespace whiteboard
