#include "sessions/ManageSessionsDlg.h"

#include <QItemSelectionModel>

#include "net/Client.h"
#include "sessions/MsgSession.h"
#include "sessions/SessionModel.h"
#include "ui/Dialogs.h"
#include "ui/FixedButton.h"
#include "ui/SessionHeaderCtrl.h"
#include "ui/TextConvert.h"

namespace sessions {

CManageSessionsDlg::CManageSessionsDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                       const net::Timings& timings, net::Client& client,
                                       QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client) {
    const QString background = QStringLiteral("IDB_BKGNDMANAGESESSIONS");
    SetBackground(background);
    SetHeading(QStringLiteral("Manage Sessions"));
    setWindowTitle(QStringLiteral("Manage Sessions"));
    const int top = skin.HeaderHeight(background) + 10;

    list_ = new CListSessions(skin, this);
    list_->setGeometry(14, top, 384, 226);
    const int pagingTop = top + 226 + 8;
    previous_ = new ui::CFixedButton(skin, QStringLiteral("MANAGELEFT"), this);
    previous_->setToolTip(QStringLiteral("Previous Page"));
    previous_->move(14, pagingTop);
    next_ = new ui::CFixedButton(skin, QStringLiteral("MANAGERIGHT"), this);
    next_->setToolTip(QStringLiteral("Next Page"));
    next_->move(44, pagingTop);
    pageText_ = new QLabel(QStringLiteral("updating..."), this);
    pageText_->setGeometry(80, pagingTop, 200, 26);
    pageText_->setStyleSheet(QStringLiteral("color: %1;").arg(ui::Skin::Muted().name()));

    const int buttonsTop = pagingTop + 36;
    refresh_ = new QPushButton(QStringLiteral("Refresh View"), this);
    refresh_->setGeometry(14, buttonsTop, 96, 28);
    create_ = new QPushButton(QStringLiteral("Create Session..."), this);
    create_->setGeometry(114, buttonsTop, 120, 28);
    modify_ = new QPushButton(QStringLiteral("Modify"), this);
    modify_->setGeometry(250, buttonsTop, 72, 28);
    delete_ = new QPushButton(QStringLiteral("Delete"), this);
    delete_->setGeometry(326, buttonsTop, 72, 28);
    for (QPushButton* b : {refresh_, create_, modify_, delete_}) b->setAutoDefault(false);
    modify_->setEnabled(false);
    delete_->setEnabled(false);
    previous_->setEnabled(false);
    next_->setEnabled(false);

    connect(previous_, &QAbstractButton::clicked, this, [this] {
        if (pageIndex_ - 1 >= 0) RequestPage(pageIndex_ - 1, 0);
    });
    connect(next_, &QAbstractButton::clicked, this, [this] {
        if (pageIndex_ + 1 < pageCount_) RequestPage(pageIndex_ + 1, 0);
    });
    connect(refresh_, &QPushButton::clicked, this, [this] { RequestPage(pageIndex_, 0); });
    connect(create_, &QPushButton::clicked, this,
            [this] { client_.NetworkServer().Send(BuildAskToCreate()); });
    connect(modify_, &QPushButton::clicked, this, &CManageSessionsDlg::Modify);
    connect(delete_, &QPushButton::clicked, this, &CManageSessionsDlg::Delete);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CManageSessionsDlg::OnSelection);
    connect(&list_->Model(), &QAbstractItemModel::modelReset, this,
            &CManageSessionsDlg::OnSelection);
    connect(list_, &CSessionListView::SortRequested, this, [this](int column, bool ascending) {
        const int key = ManageSortKeyOfColumn(column);
        if (key < 0) return;
        sortCode_ = 2 * key + (ascending ? 0 : 1);
        RequestPage(pageIndex_, 0);
    });
    connect(list_, &CSessionListView::RowActivated, this, [this](int row) {
        if (!picker_) return;
        const SessionRow& r = list_->Model().Rows()[row];
        if (picker_(ui::TextToUtf8(r.name), ui::TextToUtf8(r.id))) hide();
    });
}

bool CManageSessionsDlg::RequestPage(int32_t pageIndex, int32_t refreshFlag) {
    modify_->setEnabled(false);
    delete_->setEnabled(false);
    return client_.NetworkServer().Send(BuildSessionListRequest(
        sortCode_, pageIndex, kManagePageSize, kManageListSelector, refreshFlag));
}

void CManageSessionsDlg::TakePosition(int32_t sortCode, int32_t pageIndex) {
    sortCode_ = sortCode;
    pageIndex_ = pageIndex;
}

void CManageSessionsDlg::DisplayPage(const SessionPageView& page) {
    sortCode_ = page.sortCode;
    pageIndex_ = page.pageIndex;
    pageCount_ = SessionPageCount(page.total, page.pageSize);
    list_->Model().SetRows(QVector<SessionRow>(page.rows.begin(), page.rows.end()));
    pageText_->setText(QString::fromStdString(ManagePageText(pageIndex_, pageCount_)));
    previous_->setEnabled(CanGoToPreviousPage(pageIndex_));
    next_->setEnabled(CanGoToNextPage(pageIndex_, pageCount_));
}

void CManageSessionsDlg::BringUp() {
    if (isVisible() && !ShowPending()) {
        raise();
        activateWindow();
        return;
    }
    ShowInFront(placed_ ? ui::ShowPlacement::Keep() : ui::ShowPlacement::Centred());
    placed_ = true;
}

void CManageSessionsDlg::ResetForLogin() {
    sortCode_ = kInitialSortCode;
    pageIndex_ = 0;
    pageCount_ = 1;
    list_->Header().Reset(CSessionsZorvicModel::kCreated, false);
    list_->Model().SetRows({});
    pageText_->setText(QStringLiteral("updating..."));
    previous_->setEnabled(false);
    next_->setEnabled(false);
}

void CManageSessionsDlg::OnSelection() {
    const bool selected = list_->SelectedRow() >= 0;
    modify_->setEnabled(selected);
    delete_->setEnabled(selected);
}

bool CManageSessionsDlg::Selected(SessionRow& row) const {
    const int index = list_->SelectedRow();
    if (index < 0) return false;
    row = list_->Model().Rows()[index];
    return true;
}

bool CManageSessionsDlg::MayChangeSelected(const SessionRow& row, const char* refusal) {
    if (MayChange(client_.Administrator(), client_.Username(), ui::TextToUtf8(row.creator)))
        return true;
    dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(refusal),
                     ui::MsgIcon::Error);
    return false;
}

void CManageSessionsDlg::Modify() {
    SessionRow row;
    if (!Selected(row)) return;
    if (!MayChangeSelected(
            row, "You must either be an administrator or the creator of the session to modify it"))
        return;
    client_.NetworkServer().Send(BuildGetSessionForModify(ui::TextToUtf8(row.id)));
}

void CManageSessionsDlg::Delete() {
    SessionRow row;
    if (!Selected(row)) return;
    if (dialogs_.Message(this, QStringLiteral("Warning"),
                         QStringLiteral("Are you sure you wish to delete the selected session?"),
                         ui::MsgIcon::Warning, ui::MsgButtons::YesNo) != ui::MsgAnswer::Yes)
        return;
    if (!MayChangeSelected(
            row, "You must either be an administrator or the creator of the session to delete it"))
        return;
    client_.NetworkServer().Send(BuildDeleteSession(ui::TextToUtf8(row.id)));
}

}  // namespace sessions
