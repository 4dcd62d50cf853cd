#pragma once

// The sessions pane of the main window: the page of sessions, the paging row
// (previous, page text, next, refresh) and the header's sort. It asks for
// pages on the network server, shows the page that comes back, and on each
// tick of timer 4 asks for the page again once the user has left the list
// alone for a while; that automatic page must not bring the main window
// forward.

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "sessions/ListSessionsZorvic.h"
#include "sessions/SessionModel.h"
#include "sessions/SessionPageLogic.h"

class QLabel;

namespace net {
class Client;
}

namespace shell {
class MainWindowServices;
}

namespace ui {
class CFilterEdit;
class CFixedButton;
class Skin;
}  // namespace ui

namespace sessions {

// One page of sessions as the session directory hands it over.
struct SessionPageView {
    int32_t sortCode = kInitialSortCode;
    int32_t pageIndex = 0;
    int32_t pageSize = kMainPageSize;
    int32_t total = 0;
    std::vector<SessionRow> rows;
};

// The rows of a decoded page as the lists show them.
QVector<SessionRow> RowsOf(const std::vector<SessionSummary>& rows);
// The page as it stands (read under its lock).
SessionPageView ViewOf(SessionListPage& page);

class CSessionPage : public QWidget {
    Q_OBJECT

  public:
    // Fills `pane` (the main window's sessions place).
    CSessionPage(const ui::Skin& skin, net::Client& client, shell::MainWindowServices& main,
                 QWidget* pane);

    // Asks for a page of the main window's list (sort, page size, selector of
    // this window). Returns whether the request was queued.
    bool RequestPage(int32_t pageIndex, int32_t refreshFlag);
    // The page that arrived for the main window's list.
    void DisplayPage(const SessionPageView& page);
    // A page's sort code and index became the list's (also when its rows
    // failed to decode).
    void TakePosition(int32_t sortCode, int32_t pageIndex);
    // Timer 4's work for the list.
    void PeriodicRefresh();
    // The end of a login: sort 3, page 0, the arrow on "Created", no rows,
    // the header's next click ascending, the list just used.
    void ResetForLogin();

    // The user used the list now.
    void NoteListUse();
    void SetListUseTime(int64_t seconds) { lastListUse_ = seconds; }
    // Seconds of a steady clock; tests replace it.
    void SetClock(std::function<int64_t()> clock) { clock_ = std::move(clock); }

    int32_t PageIndex() const { return pageIndex_; }
    int32_t PageCount() const { return pageCount_; }
    int32_t SortCode() const { return sortCode_; }

    CListSessionsZorvic& List() { return *list_; }
    QLabel* PageLabel() const { return pageText_; }
    ui::CFilterEdit* Filter() const { return filter_; }
    ui::CFixedButton* PreviousButton() const { return previous_; }
    ui::CFixedButton* NextButton() const { return next_; }
    ui::CFixedButton* RefreshButton() const { return refresh_; }

  private:
    ui::CFixedButton* AddButton(const ui::Skin& skin, const QString& caption, int id,
                                const QString& tooltip, const QPoint& at);
    void OnSortRequested(int column, bool ascending);
    void UpdatePaging();
    int64_t Now() const { return clock_(); }

    net::Client& client_;
    shell::MainWindowServices& main_;
    CListSessionsZorvic* list_ = nullptr;
    QLabel* pageText_ = nullptr;
    ui::CFilterEdit* filter_ = nullptr;
    ui::CFixedButton* previous_ = nullptr;
    ui::CFixedButton* next_ = nullptr;
    ui::CFixedButton* refresh_ = nullptr;
    std::function<int64_t()> clock_;

    int64_t lastListUse_ = 0;
    // Its sort and page (the header keeps the direction toggle).
    int32_t sortCode_ = kInitialSortCode;
    int32_t pageIndex_ = 0;
    int32_t pageCount_ = 1;
};

}  // namespace sessions
