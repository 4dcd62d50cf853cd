#include "server/whiteboard/WhiteboardService.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <cstdio>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"
#include "server/core/Store.h"
#include "server/core/TransferEngine.h"
#include "whiteboard/model/NotepadFiles.h"
#include "whiteboard/model/NotepadPage.h"

namespace localnet {

namespace {

// The transfer request code of a page, both ways (upload slot 2, download slot 3).
constexpr int32_t kPageRequest = 1;
constexpr int kMaxAccountBytes = 255;

constexpr char kBadPage[] = "The page number must be 1 to 5";
constexpr char kNotAPage[] = "The page is not a 634 x 400 PNG picture";

const std::vector<std::vector<QString>>& TableSteps() {
    static const std::vector<std::vector<QString>> steps = {
        {
            // A stored page; owner in lower case.
            "CREATE TABLE whiteboard_pages ("
            " network TEXT NOT NULL, owner TEXT NOT NULL, page INTEGER NOT NULL,"
            " size BIGINT NOT NULL, modified BIGINT NOT NULL,"
            " PRIMARY KEY (network, owner, page))",
        },
    };
    return steps;
}

// A name as one level of a path: itself when plainly safe, else spelled out.
QString PathName(const QString& lower) {
    bool plain = !lower.isEmpty();
    for (const QChar c : lower) {
        const ushort u = c.unicode();
        if (!((u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' || u == '-')) {
            plain = false;
            break;
        }
    }
    return plain ? lower : "x" + QString::fromLatin1(lower.toUtf8().toHex());
}

QString AccountFolder(const QString& number, const QString& owner) {
    return Store::NetworkFolder(number) + "/accounts/" + PathName(owner.toLower()) + "/notepad";
}

// The first bytes of a file, as many as a PNG's header takes.
QByteArray HeadOf(const QString& absolute) {
    QFile f(absolute);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.read(static_cast<qint64>(whiteboard::kPngHeaderBytes));
}

bool LooksLikePage(const QByteArray& head) {
    return whiteboard::IsPagePng(reinterpret_cast<const uint8_t*>(head.constData()),
                                 static_cast<size_t>(head.size()));
}

std::string TooLargeText(qint64 limit) {
    char text[96];
    std::snprintf(text, sizeof text, "A whiteboard page may be at most %lld bytes",
                  static_cast<long long>(limit));
    return text;
}

}  // namespace

WhiteboardService::WhiteboardService(LocalNetwork& network)
    : network_(network), maxPageBytes_(network.Options().notepadMaxPageBytes) {
    RegisterHandlers();
    QObject::connect(&network_, &LocalNetwork::AccountRemoved, &network_,
                     [this](const QString& number, const QString& username) {
                         DropAccount(number, username);
                     });
}

QString WhiteboardService::PageFile(const QString& number, const QString& owner, int page) {
    return AccountFolder(number, owner) + QString::asprintf("/page%i.png", page);
}

QString WhiteboardService::IncomingFile(const QString& number, const QString& owner, int page) {
    return AccountFolder(number, owner) + QString::asprintf("/incoming-page%i.png", page);
}

bool WhiteboardService::Open(QString* error) {
    if (!network_.GetStore().PrepareTables("whiteboard", TableSteps(), error)) return false;
    return Load(error);
}

bool WhiteboardService::Load(QString* error) {
    pages_.clear();
    QSqlQuery q(network_.GetStore().Database());
    if (!q.exec("SELECT network, owner, page, size, modified FROM whiteboard_pages")) {
        if (error) *error = "cannot read the whiteboard pages: " + q.lastError().text();
        return false;
    }
    while (q.next()) {
        const int page = q.value(2).toInt();
        if (!whiteboard::ValidPage(page)) continue;
        pages_[q.value(0).toString()][q.value(1).toString()][page] =
            PageInfo{q.value(3).toLongLong(), q.value(4).toLongLong()};
    }
    // Uploads cut off by a stop left their gathering files behind.
    for (const auto& [number, owners] : pages_) {
        for (const auto& [owner, pages] : owners) {
            for (int p = whiteboard::kFirstPage; p <= whiteboard::kLastPage; ++p) {
                const QString left = network_.GetStore().ResolvePath(IncomingFile(number, owner, p));
                if (!left.isEmpty()) QFile::remove(left);
            }
        }
    }
    return true;
}

QString WhiteboardService::AccountName(const QString& number, const QString& owner) const {
    Network* n = network_.GetStore().FindNetwork(number);
    const Account* a = n != nullptr ? n->FindAccount(owner) : nullptr;
    return a != nullptr ? a->username : QString();
}

std::optional<WhiteboardService::PageInfo> WhiteboardService::Page(const QString& number,
                                                                   const QString& owner,
                                                                   int page) const {
    const auto n = pages_.find(number);
    if (n == pages_.end()) return std::nullopt;
    const auto o = n->second.find(owner.toLower());
    if (o == n->second.end()) return std::nullopt;
    const auto p = o->second.find(page);
    if (p == o->second.end()) return std::nullopt;
    return p->second;
}

bool WhiteboardService::Record(const QString& number, const QString& owner, int page,
                               qint64 size) {
    const QString key = owner.toLower();
    const PageInfo info{size, QDateTime::currentSecsSinceEpoch()};
    const bool ok = network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery del(db);
        del.prepare("DELETE FROM whiteboard_pages WHERE network = ? AND owner = ? AND page = ?");
        del.addBindValue(number);
        del.addBindValue(key);
        del.addBindValue(page);
        if (!del.exec()) return false;
        QSqlQuery ins(db);
        ins.prepare(
            "INSERT INTO whiteboard_pages (network, owner, page, size, modified)"
            " VALUES (?, ?, ?, ?, ?)");
        ins.addBindValue(number);
        ins.addBindValue(key);
        ins.addBindValue(page);
        ins.addBindValue(info.size);
        ins.addBindValue(info.modified);
        return ins.exec();
    });
    if (!ok) {
        network_.Log("whiteboard page index not written: " + network_.GetStore().LastError());
        return false;
    }
    pages_[number][key][page] = info;
    return true;
}

bool WhiteboardService::TakeIncoming(const QString& number, const QString& owner, int page,
                                     const QString& absolute) {
    const QByteArray head = HeadOf(absolute);
    const qint64 size = QFileInfo(absolute).size();
    const QString target = network_.GetStore().ResolvePath(PageFile(number, owner, page));
    // rename(2) replaces the old page in one step: a reader sees the old
    // file or the new one, never a mix.
    const bool usable = LooksLikePage(head) && size <= maxPageBytes_ && !target.isEmpty();
    if (usable) network_.GetStore().ReleaseLater(target);
    if (!usable ||
        std::rename(QFile::encodeName(absolute).constData(),
                    QFile::encodeName(target).constData()) != 0) {
        QFile::remove(absolute);
        return false;
    }
    // The file is the page; the index only tells its size and time.
    Record(number, owner, page, size);
    return true;
}

bool WhiteboardService::PutPage(const QString& number, const QString& owner, int page,
                                const QByteArray& png) {
    if (!whiteboard::ValidPage(page) || AccountName(number, owner).isEmpty()) return false;
    const QString incoming = IncomingFile(number, owner, page);
    if (!network_.GetStore().WriteFile(incoming, png)) return false;
    return TakeIncoming(number, owner, page, network_.GetStore().ResolvePath(incoming));
}

void WhiteboardService::DropAccount(const QString& number, const QString& owner) {
    const QString key = owner.toLower();
    const bool ok = network_.GetStore().Write([&](QSqlDatabase& db) {
        QSqlQuery q(db);
        q.prepare("DELETE FROM whiteboard_pages WHERE network = ? AND owner = ?");
        q.addBindValue(number);
        q.addBindValue(key);
        return q.exec();
    });
    if (!ok) return;
    auto n = pages_.find(number);
    if (n != pages_.end()) n->second.erase(key);
    const QString folder = network_.GetStore().ResolvePath(AccountFolder(number, owner));
    if (!folder.isEmpty()) QDir(folder).removeRecursively();
}

void WhiteboardService::RegisterHandlers() {
    TransferEngine& transfers = network_.Transfers();
    transfers.RegisterUpload(kPageRequest, [this](ClientSession& s, int32_t size,
                                                  net::MessageReader& f) {
        constexpr int32_t kRefused = net::upload::kRefusedNotepadTooLarge;
        int32_t page = 0;
        if (!f.Int(-1, -1, page) || !whiteboard::ValidPage(page)) {
            return UploadDecision::Refuse(kRefused, kBadPage);
        }
        if (size > maxPageBytes_) return UploadDecision::Refuse(kRefused, TooLargeText(maxPageBytes_));
        if (size < static_cast<int32_t>(whiteboard::kPngHeaderBytes)) {
            return UploadDecision::Refuse(kRefused, kNotAPage);
        }
        const QString number = s.NetworkNumber();
        const QString owner = s.Username();
        UploadDecision d = UploadDecision::Accept(
            IncomingFile(number, owner, page),
            [this, number, owner, page](ClientSession& session, bool stored, const QString& path) {
                if (!stored) return;  // nothing was put in place
                if (TakeIncoming(number, owner, page, path)) return;
                net::MessageWriter w(kRefused);
                w.Str(kNotAPage);
                session.Send(w, net::Primary::Upload);
            });
        d.refuseCode = kRefused;
        d.details = "The page could not be stored";
        return d;
    });

    transfers.RegisterDownload(kPageRequest, [this](ClientSession& s, net::MessageReader& f) {
        std::string account;
        int32_t page = 0, unused = 0;
        if (!f.Str(1, kMaxAccountBytes, account)) return DownloadDecision::AccountNotFound();
        if (!f.Int(-1, -1, page) || !f.Int(-1, -1, unused)) return DownloadDecision::Refuse();
        const QString number = s.NetworkNumber();
        const QString owner = AccountName(
            number, QString::fromUtf8(account.data(), static_cast<qsizetype>(account.size())));
        if (owner.isEmpty()) return DownloadDecision::AccountNotFound();
        // A page never stored is refused; the client shows it blank.
        if (!whiteboard::ValidPage(page) || !Page(number, owner, page)) {
            return DownloadDecision::Refuse();
        }
        return DownloadDecision::ServeFile(PageFile(number, owner, page));
    });
}

bool WhiteboardService::SeedDemo() {
    struct DemoPage {
        const char* owner;
        int page;
        const char* resource;
    };
    static constexpr DemoPage kDemo[] = {
        {"alice", 1, ":/whiteboard/demo/alice-page1.png"},
        {"alice", 2, ":/whiteboard/demo/alice-page2.png"},
        {"bob", 1, ":/whiteboard/demo/bob-page1.png"},
    };
    for (const auto& netPtr : network_.GetStore().Networks()) {
        const QString number = netPtr->number;
        // Only whiteboards nobody has drawn on yet: a restart keeps what
        // users did.
        const auto HasPages = [&](const QString& owner) {
            const auto n = pages_.find(number);
            return n != pages_.end() && n->second.count(owner) != 0 && !n->second.at(owner).empty();
        };
        const bool aliceBlank = !HasPages("alice");
        const bool bobBlank = !HasPages("bob");
        for (const DemoPage& d : kDemo) {
            const QString owner = QString::fromLatin1(d.owner);
            if (!(owner == "alice" ? aliceBlank : bobBlank)) continue;
            if (AccountName(number, owner).isEmpty()) continue;
            QFile f(QString::fromLatin1(d.resource));
            if (!f.open(QIODevice::ReadOnly) || !PutPage(number, owner, d.page, f.readAll())) {
                network_.Log(QString("demo whiteboard page %1 of %2 left out").arg(d.page).arg(owner));
            }
        }
    }
    return true;
}

}  // namespace localnet
