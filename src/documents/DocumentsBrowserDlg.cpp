#include "documents/DocumentsBrowserDlg.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "net/Client.h"
#include "ui/FilterEdit.h"
#include "ui/FixedButton.h"
#include "ui/ListView.h"

namespace documents {

// ---- The list ------------------------------------------------------------------

CListDocuments::CListDocuments(QWidget* parent) : QTreeView(parent), model_(this) {
    ui::ConfigureListView(*this);
    setModel(&model_);
    for (int c = 0; c < CListDocumentsModel::kColumnCount; ++c) {
        header()->resizeSection(c, CListDocumentsModel::kWidths[c]);
    }
    header()->setSectionsClickable(false);
    setAccessibleName(QStringLiteral("Documents"));
}

int CListDocuments::SelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CListDocuments::SelectRow(int row) {
    clearSelection();
    if (row < 0 || row >= model_.rowCount()) return;
    setCurrentIndex(model_.index(row, 0));
    selectionModel()->select(model_.index(row, 0),
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void CListDocuments::keyPressEvent(QKeyEvent* event) {
    emit touched();
    if (event->key() == Qt::Key_Delete) {
        const int row = SelectedRow();
        if (row >= 0) emit deletePressed(row);
        return;
    }
    QTreeView::keyPressEvent(event);
}

void CListDocuments::mousePressEvent(QMouseEvent* event) {
    emit touched();
    QTreeView::mousePressEvent(event);
}

void CListDocuments::contextMenuEvent(QContextMenuEvent* event) {
    emit touched();
    int row = indexAt(event->pos()).row();
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        row = SelectedRow();
        at = viewport()->mapToGlobal(visualRect(model_.index(row, 0)).center());
    }
    if (row < 0) return;
    SelectRow(row);
    emit menuRequested(row, at);
}

// ---- The window ------------------------------------------------------------------

namespace {

constexpr int kSide = 16;

}  // namespace

CDocumentsBrowserDlg::CDocumentsBrowserDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                           const net::Timings& timings, net::Client& client,
                                           const QString& title, const QString& background,
                                           QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client) {
    setWindowTitle(title);
    SetClientSize(kClientSize);
    SetBackground(background);
    const int top = qMax(skin_.HeaderHeight(background), 8) + 10;

    back_ = new ui::CFixedButton(skin_, QStringLiteral("BACK"), this);
    back_->move(kSide, top);
    back_->setToolTip(QStringLiteral("Back"));
    back_->setAccessibleName(QStringLiteral("Back"));
    const int backHeight = qMax(back_->height(), 24);
    path_ = new QLabel(QStringLiteral("/"), this);
    QFont bold = path_->font();
    bold.setBold(true);
    path_->setFont(bold);
    path_->setGeometry(kSide + back_->width() + 12, top, kClientSize.width() - 2 * kSide -
                                                             back_->width() - 12,
                       backHeight);
    path_->setTextInteractionFlags(Qt::NoTextInteraction);

    const int listTop = top + backHeight + 8;
    const int listHeight = kClientSize.height() - listTop - 100;
    list_ = new CListDocuments(this);
    list_->setGeometry(kSide, listTop, kClientSize.width() - 2 * kSide, listHeight);
    list_->Model().SetPictures(QIcon(skin_.Bitmap(QStringLiteral("IDB_FOLDER"))),
                               QIcon(skin_.Bitmap(QStringLiteral("IDB_FILE"))));
    summary_ = new QLabel(this);
    // The filter shares the line under the list with the summary, at its right.
    constexpr int kFilterWidth = 180;
    summary_->setGeometry(kSide, listTop + listHeight + 4,
                          kClientSize.width() - 2 * kSide - kFilterWidth - 8, 20);
    filter_ = new ui::CFilterEdit(this);
    filter_->setGeometry(kClientSize.width() - kSide - kFilterWidth, listTop + listHeight + 3,
                         kFilterWidth, ui::kFilterHeight - 4);
    filter_->Attach(list_);

    progress_ = new QProgressBar(this);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setGeometry(kSide, kClientSize.height() - 30, kClientSize.width() - 2 * kSide - 56,
                           14);
    percent_ = new QLabel(this);
    percent_->setGeometry(kClientSize.width() - kSide - 48, kClientSize.height() - 34, 48, 22);
    percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    connect(back_, &QAbstractButton::clicked, this, [this] { BackClicked(); });
    connect(list_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { RowActivated(index.row()); });
    Fill(view_);
}

QRect CDocumentsBrowserDlg::BottomButton(int index, int width) const {
    const int y = kClientSize.height() - 72;
    int x = kSide;
    for (int i = 0; i < index; ++i) x += 120 + 8;
    return QRect(x, y, width, 28);
}

void CDocumentsBrowserDlg::Fill(const CDirectoryView& view) {
    // A refresh of the folder keeps the filter; another folder starts
    // unfiltered, or opening the one row the filter left would show nothing.
    if (filter_ != nullptr && view.path != view_.path) filter_->clear();
    view_ = view;
    Model().SetEntries(view_.entries, view_.locked != 0);
    summary_->setText(QString::fromStdString(SummaryText(view_.entries)));
    path_->setText(QString::fromUtf8(PathLabel(view_.path).c_str()));
}

void CDocumentsBrowserDlg::BringUp() {
    ShowInFront(placed_ ? ui::ShowPlacement::Keep() : ui::ShowPlacement::Centred());
    placed_ = true;
}

void CDocumentsBrowserDlg::ShowTransferStarted() {
    progress_->setValue(0);
    percent_->setText(QString::asprintf("0%%"));
}

void CDocumentsBrowserDlg::ShowTransferProgress(int percent) {
    progress_->setValue(percent);
    percent_->setText(QString::asprintf("%i%%", percent));
}

void CDocumentsBrowserDlg::ShowTransferIdle() {
    progress_->setValue(0);
    percent_->clear();
}

void CDocumentsBrowserDlg::Reset() {
    ShowTransferIdle();
    CDirectoryView fresh;
    fresh.target = view_.target;
    Fill(fresh);
}

}  // namespace documents
