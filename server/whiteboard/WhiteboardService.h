#pragma once

// The whiteboards of the local network: five pages per account, each a
// 634 x 400 PNG file under the account's folder (notepad/page1.png ..
// page5.png), with an index of the stored pages (size and time) in the
// service's own table. An upload lands beside the page and replaces it by a
// rename only once it is whole and its header says it is a page-sized PNG;
// anything else is discarded and the old page stays. Anyone may download any
// account's pages. Nothing is pushed: viewers see a new page when they ask
// for it again.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "server/core/Service.h"

namespace localnet {

class ClientSession;
class LocalNetwork;

class WhiteboardService : public Service {
  public:
    struct PageInfo {
        qint64 size = 0;
        qint64 modified = 0;  // seconds since 1970
    };

    explicit WhiteboardService(LocalNetwork& network);

    bool Open(QString* error) override;
    bool SeedDemo() override;

    // The largest page upload taken, in bytes.
    qint64 MaxPageBytes() const { return maxPageBytes_; }
    void SetMaxPageBytes(qint64 bytes) { maxPageBytes_ = bytes; }

    // Stores a page directly (the demo pages, tests): checked as an upload is.
    bool PutPage(const QString& number, const QString& owner, int page, const QByteArray& png);
    // The index entry of a stored page.
    std::optional<PageInfo> Page(const QString& number, const QString& owner, int page) const;

    // Where a page lies and where its upload is gathered, relative to the
    // data folder.
    static QString PageFile(const QString& number, const QString& owner, int page);
    static QString IncomingFile(const QString& number, const QString& owner, int page);

  private:
    bool Load(QString* error);
    void RegisterHandlers();
    // Checks the gathered file and moves it over the page; false (the file
    // removed, the page as it was) when it is not a page.
    bool TakeIncoming(const QString& number, const QString& owner, int page,
                      const QString& absolute);
    bool Record(const QString& number, const QString& owner, int page, qint64 size);
    void DropAccount(const QString& number, const QString& owner);
    // The account's name as created, or empty when there is none.
    QString AccountName(const QString& number, const QString& owner) const;

    LocalNetwork& network_;
    qint64 maxPageBytes_ = 1024 * 1024;
    // network -> lower-case owner -> page -> index entry
    std::map<QString, std::map<QString, std::map<int, PageInfo>>> pages_;
};

}  // namespace localnet
