#include "ui/SkinnedDlg.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "ui/Dialogs.h"

namespace ui {

CSkinnedDlg::CSkinnedDlg(const Skin& skin, Dialogs& dialogs, const net::Timings& timings,
                         QWidget* parent)
    : QDialog(parent), skin_(skin), dialogs_(dialogs), timings_(timings) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    showTimer_.setSingleShot(true);
    connect(&showTimer_, &QTimer::timeout, this, [this] {
        Place(pending_);
        BringToFront();
    });
    ApplyDialogFont();
}

void CSkinnedDlg::SetClientSize(const QSize& size) {
    if (size.isValid()) setFixedSize(size);
}

void CSkinnedDlg::ReportMissing(const QString& name) {
    dialogs_.Message(parentWidget(), QStringLiteral("Error"),
                     QStringLiteral("Failed to load bitmap resource, ") + name, MsgIcon::Error,
                     MsgButtons::Ok);
}

bool CSkinnedDlg::SetBackground(const QString& name) {
    pieces_.clear();
    background_ = skin_.Bitmap(name);
    if (background_.isNull()) {
        ReportMissing(name);
        update();
        return false;
    }
    SetClientSize(skin_.SizeOf(name));
    heading_.clear();
    headingDetail_.clear();
    update();
    return true;
}

void CSkinnedDlg::SetHeading(const QString& heading, const QString& detail) {
    if (background_.isNull()) return;
    if (heading == heading_ && detail == headingDetail_) return;
    heading_ = heading;
    headingDetail_ = detail;
    background_ = skin_.PaintBackground(background_.deviceIndependentSize().toSize(), heading,
                                        detail);
    update();
}

bool CSkinnedDlg::SetFrame(const QString& prefix) {
    const QVector<SkinFramePiece> pieces = skin_.FramePieces(prefix);
    if (pieces.isEmpty()) {
        background_ = QPixmap();
        pieces_.clear();
        ReportMissing(prefix);
        update();
        return false;
    }
    const bool ok = SetFramePieces(pieces);
    SetClientSize(skin_.FrameClientSize(prefix));
    return ok;
}

bool CSkinnedDlg::SetFramePieces(const QVector<SkinFramePiece>& pieces) {
    background_ = QPixmap();
    pieces_.clear();
    bool ok = true;
    for (const SkinFramePiece& piece : pieces) {
        QPixmap picture = skin_.Bitmap(piece.name);
        if (picture.isNull()) {
            ReportMissing(piece.name);
            ok = false;
            continue;
        }
        pieces_.push_back({picture, piece.pos});
    }
    update();
    return ok;
}

void CSkinnedDlg::ApplyDialogFont(const DialogFontSpec& spec) {
    if (!fontApplied_) {
        previousFont_ = font();
        fontApplied_ = true;
    }
    setFont(MakeDialogFont(spec));
    units_ = MeasureDialogFont(font());
}

void CSkinnedDlg::RestoreDialogFont() {
    if (!fontApplied_) return;
    setFont(previousFont_);
    fontApplied_ = false;
}

QPoint CSkinnedDlg::CentredTopLeft(const QRect& screen, const QSize& window) {
    return QPoint(screen.x() + screen.width() / 2 - window.width() / 2,
                  screen.y() + screen.height() / 2 - window.height() / 2);
}

QRect CSkinnedDlg::ScreenRect() const {
    const QScreen* s = screen();
    if (s == nullptr) s = QGuiApplication::primaryScreen();
    return s != nullptr ? s->geometry() : QRect(0, 0, 1024, 768);
}

QSize CSkinnedDlg::OuterSize() const {
    const QSize frame = frameGeometry().size();
    return frame.width() >= width() && frame.height() >= height() ? frame : size();
}

void CSkinnedDlg::Place(const ShowPlacement& placement) {
    switch (placement.kind) {
        case ShowPlacement::Kind::Centre:
            move(CentredTopLeft(ScreenRect(), OuterSize()));
            break;
        case ShowPlacement::Kind::At:
            move(placement.topLeft);
            break;
        case ShowPlacement::Kind::Keep:
            break;
    }
}

void CSkinnedDlg::BringToFront() {
    const QSize before = OuterSize();
    show();
    // The frame is known only once the window is shown; centre it again
    // when the frame changed its outer size.
    if (pending_.kind == ShowPlacement::Kind::Centre && OuterSize() != before) Place(pending_);
    raise();
    activateWindow();
    OnShownInFront();
    emit shownInFront();
}

void CSkinnedDlg::ShowInFront(const ShowPlacement& placement) {
    pending_ = placement;
    showTimer_.start(timings_.showDelay);
}

void CSkinnedDlg::ShowInFrontNow(const ShowPlacement& placement) {
    showTimer_.stop();
    pending_ = placement;
    Place(placement);
    BringToFront();
}

void CSkinnedDlg::setVisible(bool visible) {
    if (!visible) showTimer_.stop();
    QDialog::setVisible(visible);
}

void CSkinnedDlg::OnShownInFront() {
    if (focusWidget() == nullptr || !focusWidget()->isVisible()) focusNextChild();
}

void CSkinnedDlg::paintEvent(QPaintEvent* event) {
    if (background_.isNull() && pieces_.isEmpty()) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter p(this);
    if (!background_.isNull()) p.drawPixmap(QPoint(0, 0), background_);
    for (const Piece& piece : pieces_) p.drawPixmap(piece.pos, piece.picture);
}

}  // namespace ui
