#pragma once

// The main window's page of sessions without a window: its page size, sort,
// page text and paging, when timer 4 asks for it again, and the list request.

#include <cstdint>
#include <memory>
#include <string>

#include "net/MessageBuffer.h"

namespace sessions {

// 20 sessions a page, sorted by creation time, newest first, until the user
// picks another column.
inline constexpr int32_t kMainPageSize = 20;
inline constexpr int32_t kMainListSelector = 0;
inline constexpr int32_t kInitialSortCode = 3;

// total / pageSize rounded up; 1 when there are no sessions (or the size is
// not usable, so that the text never divides by zero).
int32_t SessionPageCount(int32_t total, int32_t pageSize);
// "Page %i of %i; total sessions: %i" with the 1-based page number.
std::string PageText(int32_t pageIndex, int32_t pageCount, int32_t total);
inline bool CanGoToPreviousPage(int32_t pageIndex) {
    return pageIndex + 1 > 1;
}
inline bool CanGoToNextPage(int32_t pageIndex, int32_t pageCount) {
    return pageIndex + 1 < pageCount;
}

// Timer 4 asks for the page again only while the user leaves the list alone.
inline constexpr int64_t kListIdleSeconds = 10;
inline bool SessionPageRefreshDue(int64_t nowSeconds, int64_t lastListUseSeconds) {
    return nowSeconds - lastListUseSeconds >= kListIdleSeconds;
}

// The sort code of a header click: 2 * key, + 1 for descending. The keys of
// the main window's columns are name 0, creation time 1, participants 3,
// creator 4; -1 for a column that does not sort.
int SortKeyOfColumn(int column);
// The same for Manage Sessions: name 0, creation time 1, type 2,
// participants 3.
int ManageSortKeyOfColumn(int column);
// "Page %i of %i" under the Manage Sessions list.
std::string ManagePageText(int32_t pageIndex, int32_t pageCount);

// "list sessions": sort code, page index, page size, list selector, refresh
// flag (1 only for the periodic refresh and after a change to a session).
std::unique_ptr<net::MessageBuffer> BuildSessionListRequest(int32_t sortCode, int32_t pageIndex,
                                                            int32_t pageSize, int32_t selector,
                                                            int32_t refreshFlag);

}  // namespace sessions
