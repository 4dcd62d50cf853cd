#include "sessions/SessionPage.h"

#include <QLabel>
#include <chrono>

#include "net/Client.h"
#include "shell/MainWindowServices.h"
#include "ui/FilterEdit.h"
#include "ui/FixedButton.h"
#include "ui/SessionHeaderCtrl.h"
#include "ui/Skin.h"

namespace sessions {

namespace {

// Control identifiers, as the other tools know them.
constexpr int kIdSessions = 1085;
constexpr int kIdPageText = 1103;
constexpr int kIdPrevious = 1102;
constexpr int kIdNext = 1091;
constexpr int kIdRefresh = 1100;

// The layout within the pane: the list, wide enough for the four columns and
// a scroll bar, then the paging row under it.
const QRect kListRect(0, 0, 406, 212);
constexpr int kPagingTop = 220;

bool LoggedIn(net::Connection& connection) {
    return connection.State() == net::kStateLoggedIn;
}

}  // namespace

QVector<SessionRow> RowsOf(const std::vector<SessionSummary>& rows) {
    QVector<SessionRow> out;
    out.reserve(static_cast<qsizetype>(rows.size()));
    for (const SessionSummary& r : rows) {
        SessionRow row;
        row.id = QString::fromUtf8(r.id.data(), qsizetype(r.id.size()));
        row.name = QString::fromUtf8(r.name.data(), qsizetype(r.name.size()));
        row.createdText =
            QString::fromLatin1(r.createdText.data(), qsizetype(r.createdText.size()));
        row.creator = QString::fromUtf8(r.creator.data(), qsizetype(r.creator.size()));
        row.participants = r.participants;
        row.isPrivate = r.isPrivate == 1;
        out.push_back(std::move(row));
    }
    return out;
}

SessionPageView ViewOf(SessionListPage& page) {
    std::lock_guard<std::mutex> hold(page.lock);
    SessionPageView view;
    view.sortCode = page.sortCode;
    view.pageIndex = page.pageIndex;
    view.pageSize = page.pageSize;
    view.total = page.total;
    const QVector<SessionRow> rows = RowsOf(page.rows);
    view.rows.assign(rows.begin(), rows.end());
    return view;
}

CSessionPage::CSessionPage(const ui::Skin& skin, net::Client& client,
                           shell::MainWindowServices& main, QWidget* pane)
    : QWidget(pane), client_(client), main_(main) {
    setGeometry(QRect(QPoint(0, 0), pane->size()));
    clock_ = [] {
        return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
    };

    list_ = new CListSessionsZorvic(skin, this);
    list_->setObjectName(QString::number(kIdSessions));
    list_->setGeometry(kListRect);
    connect(list_, &CListSessionsZorvic::Used, this, &CSessionPage::NoteListUse);
    connect(list_, &CSessionListView::SortRequested, this, &CSessionPage::OnSortRequested);
    pane->setFocusProxy(list_);

    previous_ = AddButton(skin, QStringLiteral("LEFT"), kIdPrevious,
                          QStringLiteral("Previous Page"), QPoint(0, kPagingTop));
    next_ = AddButton(skin, QStringLiteral("RIGHT"), kIdNext, QStringLiteral("Next Page"),
                      QPoint(30, kPagingTop));
    pageText_ = new QLabel(this);
    pageText_->setObjectName(QString::number(kIdPageText));
    pageText_->setFont(ui::Skin::Font(11));
    pageText_->setStyleSheet(QStringLiteral("color: %1;").arg(ui::Skin::Muted().name()));
    pageText_->setGeometry(66, kPagingTop, 196, 26);
    // The filter narrows the page shown; other pages stay on the server.
    filter_ = new ui::CFilterEdit(this);
    filter_->setFont(ui::Skin::Font(11));
    filter_->setGeometry(266, kPagingTop + 1, kListRect.right() + 1 - 26 - 6 - 266,
                         ui::kFilterHeight);
    filter_->Attach(list_);
    refresh_ = AddButton(skin, QStringLiteral("REFRESH"), kIdRefresh, QStringLiteral("Refresh"),
                         QPoint(kListRect.right() + 1 - 26, kPagingTop));

    connect(previous_, &QAbstractButton::clicked, this, [this] {
        if (pageIndex_ - 1 >= 0) RequestPage(pageIndex_ - 1, 0);
    });
    connect(next_, &QAbstractButton::clicked, this, [this] {
        if (pageIndex_ + 1 < pageCount_) RequestPage(pageIndex_ + 1, 0);
    });
    connect(refresh_, &QAbstractButton::clicked, this, [this] {
        // The user's own request: its page may come forward.
        main_.SetSkipNextShow(false);
        RequestPage(pageIndex_, 0);
    });

    pageText_->setText(QString::fromStdString(PageText(0, 1, 0)));
    UpdatePaging();
    lastListUse_ = Now();
}

ui::CFixedButton* CSessionPage::AddButton(const ui::Skin& skin, const QString& caption, int id,
                                          const QString& tooltip, const QPoint& at) {
    auto* button = new ui::CFixedButton(skin, caption, this);
    button->setObjectName(QString::number(id));
    button->setToolTip(tooltip);
    button->move(at);
    return button;
}

bool CSessionPage::RequestPage(int32_t pageIndex, int32_t refreshFlag) {
    return client_.NetworkServer().Send(BuildSessionListRequest(sortCode_, pageIndex, kMainPageSize,
                                                                kMainListSelector, refreshFlag));
}

void CSessionPage::DisplayPage(const SessionPageView& page) {
    sortCode_ = page.sortCode;
    pageIndex_ = page.pageIndex;
    pageCount_ = SessionPageCount(page.total, page.pageSize);
    list_->Model().SetRows(QVector<SessionRow>(page.rows.begin(), page.rows.end()));
    pageText_->setText(QString::fromStdString(PageText(pageIndex_, pageCount_, page.total)));
    UpdatePaging();
}

void CSessionPage::TakePosition(int32_t sortCode, int32_t pageIndex) {
    sortCode_ = sortCode;
    pageIndex_ = pageIndex;
}

void CSessionPage::ResetForLogin() {
    sortCode_ = kInitialSortCode;
    pageIndex_ = 0;
    pageCount_ = 1;
    list_->Header().Reset(CSessionsZorvicModel::kCreated, false);
    list_->Model().SetRows({});
    pageText_->setText(QString::fromStdString(PageText(0, 1, 0)));
    UpdatePaging();
    lastListUse_ = Now();
}

void CSessionPage::UpdatePaging() {
    previous_->setEnabled(CanGoToPreviousPage(pageIndex_));
    next_->setEnabled(CanGoToNextPage(pageIndex_, pageCount_));
}

void CSessionPage::OnSortRequested(int column, bool ascending) {
    const int key = SortKeyOfColumn(column);
    if (key < 0) return;
    sortCode_ = 2 * key + (ascending ? 0 : 1);
    RequestPage(pageIndex_, 0);
}

void CSessionPage::NoteListUse() {
    lastListUse_ = Now();
}

void CSessionPage::PeriodicRefresh() {
    if (!LoggedIn(client_.NetworkServer())) return;
    if (SessionPageRefreshDue(Now(), lastListUse_) && RequestPage(pageIndex_, 1)) {
        // The page that comes back must not bring the window forward.
        main_.SetSkipNextShow(true);
    }
}

}  // namespace sessions
