#include "history/SessionHistoryDlg.h"

#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "net/Client.h"
#include "net/Transfers.h"
#include "ui/FixedButton.h"
#include "ui/ListView.h"
#include "ui/ExportText.h"
#include "ui/TextViewerDlg.h"

namespace history {

namespace {

constexpr int kSide = 16;

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

CSessionHistoryDlg::CSessionHistoryDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                       const net::Timings& timings, net::Client& client,
                                       QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client), model_(this) {
    setWindowTitle(QStringLiteral("Session History"));
    SetClientSize(kClientSize);
    const QString background = QStringLiteral("IDB_SESSIONHISTORY");
    SetBackground(background);
    const int top = qMax(skin_.HeaderHeight(background), 8) + 10;

    back_ = new ui::CFixedButton(skin_, QStringLiteral("BACK"), this);
    back_->move(kSide, top);
    back_->setToolTip(QStringLiteral("Back"));
    back_->setAccessibleName(QStringLiteral("Back"));
    const int backHeight = qMax(back_->height(), 24);
    pathText_ = new QLabel(QStringLiteral("/"), this);
    QFont bold = pathText_->font();
    bold.setBold(true);
    pathText_->setFont(bold);
    pathText_->setGeometry(kSide + back_->width() + 12, top,
                           kClientSize.width() - 2 * kSide - back_->width() - 12, backHeight);
    pathText_->setTextInteractionFlags(Qt::NoTextInteraction);

    const int listTop = top + backHeight + 8;
    const int listHeight = kClientSize.height() - listTop - 100;
    list_ = new QTreeView(this);
    ui::ConfigureListView(*list_);
    list_->setModel(&model_);
    for (int c = 0; c < documents::CListDocumentsModel::kColumnCount; ++c)
        list_->header()->resizeSection(c, documents::CListDocumentsModel::kWidths[c]);
    list_->header()->setSectionsClickable(false);
    list_->setAccessibleName(QStringLiteral("Session history"));
    list_->setGeometry(kSide, listTop, kClientSize.width() - 2 * kSide, listHeight);
    model_.SetPictures(QIcon(skin_.Bitmap(QStringLiteral("IDB_FOLDER"))),
                       QIcon(skin_.Bitmap(QStringLiteral("IDB_FILE"))));
    summary_ = new QLabel(this);
    summary_->setGeometry(kSide, listTop + listHeight + 4, kClientSize.width() - 2 * kSide, 20);

    view_ = new QPushButton(QStringLiteral("View File"), this);
    view_->setGeometry(kSide, kClientSize.height() - 72, 120, 28);
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
    connect(view_, &QPushButton::clicked, this, [this] { ViewFileClicked(); });
    connect(list_, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { RowActivated(index.row()); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateButtons(); });
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] { UpdateButtons(); });
    summary_->setText(QString::fromStdString(documents::SummaryText({})));
    UpdateButtons();
}

std::string CSessionHistoryDlg::LocalFile() const {
    return client_.DataPath(kLocalFile);
}

bool CSessionHistoryDlg::RequestHistory(const std::string& sessionId, const std::string& path) {
    if (path.empty()) return false;
    return client_.NetworkServer().Send(BuildGetHistory(sessionId, path));
}

void CSessionHistoryDlg::ShowListing(const CHistoryListing& listing) {
    sessionId_ = listing.sessionId;
    path_ = listing.path;
    model_.SetEntries(listing.entries, false);
    summary_->setText(QString::fromStdString(documents::SummaryText(model_.Entries())));
    pathText_->setText(Text(documents::PathLabel(path_)));
    UpdateButtons();
    ShowInFront(placed_ ? ui::ShowPlacement::Keep() : ui::ShowPlacement::Centred());
    placed_ = true;
}

int CSessionHistoryDlg::SelectedRow() const {
    const QModelIndexList rows = list_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void CSessionHistoryDlg::SelectRow(int row) {
    list_->clearSelection();
    if (row < 0 || row >= model_.rowCount()) return;
    list_->setCurrentIndex(model_.index(row, 0));
    list_->selectionModel()->select(model_.index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
}

void CSessionHistoryDlg::UpdateButtons() {
    back_->setEnabled(path_ != kTop);
    const documents::CDocumentEntry* e = model_.EntryAt(SelectedRow());
    view_->setEnabled(downloading_ || (e != nullptr && e->type == documents::kEntryFile));
}

void CSessionHistoryDlg::RowActivated(int row) {
    const documents::CDocumentEntry* e = model_.EntryAt(row);
    if (e == nullptr) return;
    if (e->type == documents::kEntryFolder) {
        if (e->locked != 0) return;
        RequestHistory(sessionId_, ChildPath(path_, e->name));
        return;
    }
    // A file acts as "View File"; while a download runs that button would
    // cancel it, which a double-click is not meant to do.
    if (e->type == documents::kEntryFile && !downloading_) {
        SelectRow(row);
        ViewFileClicked();
    }
}

void CSessionHistoryDlg::BackClicked() {
    if (path_ == kTop) return;
    RequestHistory(sessionId_, ParentPath(path_));
}

void CSessionHistoryDlg::ViewFileClicked() {
    if (downloading_) {
        net::CancelTransfer(client_.FileServer(), kHistorySlot);
        ShowIdle();
        return;
    }
    const documents::CDocumentEntry* e = model_.EntryAt(SelectedRow());
    if (e == nullptr || e->type != documents::kEntryFile) return;
    // The server's name for the file only travels back in the request; the
    // file always lands in the one local file under the data directory.
    if (!net::CreateTransferDirectories(client_.DataDirectory(), kLocalFolder)) return;
    downloadName_ = e->name;
    net::StartDownload(client_.FileServer(), kHistorySlot, LocalFile(), 0,
                       {sessionId_, path_, e->name});
}

void CSessionHistoryDlg::DownloadStarted() {
    downloading_ = true;
    progress_->setValue(0);
    percent_->setText(QString::asprintf("0%%"));
    view_->setText(QStringLiteral("Cancel"));
    UpdateButtons();
}

void CSessionHistoryDlg::DownloadProgress(int percent) {
    if (!downloading_) return;
    progress_->setValue(percent);
    percent_->setText(QString::asprintf("%i%%", percent));
}

void CSessionHistoryDlg::DownloadCompleted() {
    ShowIdle();
    viewer_ = ui::CTextViewerDlg::Open(skin_, dialogs_, timings_, this,
                                       QString::fromStdString(LocalFile()));
    QString name = ui::SafeFileStem(QString::fromUtf8(downloadName_.c_str()));
    if (!name.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive)) name += QLatin1String(".txt");
    viewer_->EnableSaveAs(name);
}

void CSessionHistoryDlg::DownloadRefused() {
    // Nothing had started: the window stays as it was.
    if (downloading_) ShowIdle();
}

void CSessionHistoryDlg::ConnectionDropped() {
    hide();
    ShowIdle();
}

void CSessionHistoryDlg::ShowIdle() {
    downloading_ = false;
    view_->setText(QStringLiteral("View File"));
    progress_->setValue(0);
    percent_->clear();
    UpdateButtons();
}

}  // namespace history
