#include "server/sessions/SessionTable.h"

#include <QDateTime>
#include <algorithm>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"

namespace localnet {

void StoredSession::Keys() {
    nameKey = name.toLower();
    creatorKey = creator.toLower();
    idBytes = id.toStdString();
    nameBytes = nameKey.toStdString();
    nameUtf8 = name.toStdString();
    creatorUtf8 = creator.toStdString();
    creatorBytes = creatorKey.toStdString();
}

int32_t RowsPerMessage() {
    constexpr int32_t kFixed = net::kFirstField + 6 * 4;
    constexpr int32_t kRow =
        (4 + kSessionIdLength) + (4 + kMaxSessionName) + (4 + kMaxAccountName) + 8 * 4;
    return (net::kMaxMessageLength - kFixed) / kRow;
}

bool SessionBefore(int32_t sortCode, const StoredSession& a, const StoredSession& b) {
    const bool descending = (sortCode & 1) != 0;
    int c = 0;
    switch (sortCode / 2) {
        case 0:
            c = a.nameBytes.compare(b.nameBytes);
            break;
        case 1:
            c = a.created < b.created ? -1 : (a.created > b.created ? 1 : 0);
            break;
        case 2:
            c = int(a.isPrivate) - int(b.isPrivate);
            break;
        case 3: {
            const size_t x = a.participants.size();
            const size_t y = b.participants.size();
            c = x < y ? -1 : (x > y ? 1 : 0);
            break;
        }
        default:
            c = a.creatorBytes.compare(b.creatorBytes);
            break;
    }
    if (c != 0) return descending ? c > 0 : c < 0;
    return a.idBytes < b.idBytes;
}

StoredSession* SessionTable::Find(const QString& id) {
    const auto it = sessions_.find(id);
    return it == sessions_.end() ? nullptr : it->second.get();
}

const StoredSession* SessionTable::Find(const QString& id) const {
    const auto it = sessions_.find(id);
    return it == sessions_.end() ? nullptr : it->second.get();
}

StoredSession* SessionTable::FindByName(const QString& name) {
    const QString key = name.toLower();
    for (auto& [id, s] : sessions_) {
        if (s->nameKey == key) return s.get();
    }
    return nullptr;
}

StoredSession& SessionTable::Add(StoredSession session) {
    session.Keys();
    auto owned = std::make_unique<StoredSession>(std::move(session));
    StoredSession& added = *owned;
    sessions_[added.id] = std::move(owned);
    orders_.clear();
    return added;
}

void SessionTable::Remove(const QString& id) {
    sessions_.erase(id);
    orders_.clear();
}

const std::vector<const StoredSession*>& SessionTable::Order(int32_t sortCode) {
    auto it = orders_.find(sortCode);
    if (it != orders_.end()) return it->second;
    std::vector<const StoredSession*> order;
    order.reserve(sessions_.size());
    for (const auto& [id, s] : sessions_) order.push_back(s.get());
    std::sort(order.begin(), order.end(),
              [sortCode](const StoredSession* a, const StoredSession* b) {
                  return SessionBefore(sortCode, *a, *b);
              });
    return orders_.emplace(sortCode, std::move(order)).first->second;
}

ListPage SessionTable::Page(int32_t sortCode, int32_t pageIndex, int32_t pageSize) {
    ListPage page;
    page.sortCode = std::clamp(sortCode, 0, 9);
    page.pageSize = std::clamp(pageSize, 1, std::min(kMaxPageSize, RowsPerMessage()));
    const auto& order = Order(page.sortCode);
    const int32_t total = static_cast<int32_t>(std::min<size_t>(order.size(), kMaxListedSessions));
    page.total = total;
    const int32_t pages = total == 0 ? 1 : (total + page.pageSize - 1) / page.pageSize;
    page.pageIndex = std::clamp(pageIndex, 0, std::min(pages - 1, kMaxPageIndex));
    const int64_t first = int64_t(page.pageIndex) * page.pageSize;
    const int64_t last = std::min<int64_t>(first + page.pageSize, total);
    for (int64_t i = first; i < last; ++i) page.rows.push_back(order[static_cast<size_t>(i)]);
    return page;
}

std::unique_ptr<net::MessageBuffer> BuildListPageMessage(const ListPage& page, int32_t selector) {
    net::MessageWriter w(net::session::kListPage);
    w.Int(page.sortCode).Int(selector).Int(page.pageIndex).Int(page.pageSize).Int(page.total);
    w.Int(static_cast<int32_t>(page.rows.size()));
    for (const StoredSession* s : page.rows) {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(s->created).toLocalTime();
        const QDate d = t.date();
        const QTime tm = t.time();
        w.Str(s->idBytes).Str(s->nameUtf8).Str(s->creatorUtf8);
        w.Int(d.year() - 1900).Int(d.month() - 1).Int(d.day());
        w.Int(tm.hour()).Int(tm.minute()).Int(tm.second());
        w.Int(static_cast<int32_t>(s->participants.size())).Int(s->isPrivate ? 1 : 0);
    }
    return w.Finish(net::Primary::Session, net::Secondary::Response);
}

}  // namespace localnet
