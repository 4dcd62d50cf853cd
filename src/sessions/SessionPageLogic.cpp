#include "sessions/SessionPageLogic.h"

#include <cstdio>

#include "net/Protocol.h"
#include "sessions/ListSessionsZorvic.h"

namespace sessions {

int32_t SessionPageCount(int32_t total, int32_t pageSize) {
    if (total <= 0 || pageSize <= 0) return 1;
    return total / pageSize + (total % pageSize != 0 ? 1 : 0);
}

std::string PageText(int32_t pageIndex, int32_t pageCount, int32_t total) {
    char text[96];
    std::snprintf(text, sizeof text, "Page %i of %i; total sessions: %i", pageIndex + 1, pageCount,
                  total);
    return text;
}

int SortKeyOfColumn(int column) {
    switch (column) {
        case CSessionsZorvicModel::kName:
            return 0;
        case CSessionsZorvicModel::kCreated:
            return 1;
        case CSessionsZorvicModel::kBy:
            return 4;
        case CSessionsZorvicModel::kParticipants:
            return 3;
        default:
            return -1;
    }
}

int ManageSortKeyOfColumn(int column) {
    return column >= 0 && column < CSessionsZorvicModel::kColumnCount ? column : -1;
}

std::string ManagePageText(int32_t pageIndex, int32_t pageCount) {
    char text[64];
    std::snprintf(text, sizeof text, "Page %i of %i", pageIndex + 1, pageCount);
    return text;
}

std::unique_ptr<net::MessageBuffer> BuildSessionListRequest(int32_t sortCode, int32_t pageIndex,
                                                            int32_t pageSize, int32_t selector,
                                                            int32_t refreshFlag) {
    net::MessageWriter writer(net::session::kListSessions);
    writer.Int(sortCode).Int(pageIndex).Int(pageSize).Int(selector).Int(refreshFlag);
    return writer.Finish(net::Primary::Session);
}

}  // namespace sessions
