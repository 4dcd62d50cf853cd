#pragma once

// The document stores of the local network. Every account has one: files at
// its root and folders one level down, each folder holding files; a folder
// may be locked with a password (kept as a salted hash). The index (names,
// sizes, modification times, locks) lives in the service's own tables and is
// mirrored in memory; the files themselves lie under the network's folder,
// at names made only of checked parts. Only the owner changes a store;
// anyone may view it and download from it (a locked folder asks for its
// password). Nothing is pushed: viewers see changes when they read again.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "net/MessageBuffer.h"
#include "server/core/Service.h"

namespace localnet {

class ClientSession;
class LocalNetwork;

class DocumentsService : public Service {
  public:
    struct Limits {
        qint64 maxFileBytes = 25LL * 1024 * 1024;
        int maxFiles = 200;
        qint64 maxSpaceBytes = 100LL * 1024 * 1024;
    };
    struct File {
        QString name;
        qint64 size = 0;
        qint64 modified = 0;  // seconds since 1970
    };
    struct Folder {
        QString name;
        bool locked = false;
        QByteArray salt;
        QByteArray hash;  // hex SHA-256 of salt + password
        qint64 modified = 0;
        std::map<QString, File> files;
    };
    struct DocStore {
        std::map<QString, File> files;      // the root's
        std::map<QString, Folder> folders;  // by name
        int FileCount() const;
        qint64 UsedBytes() const;
    };

    // What a request's answer is: a listing, or a refusal with its reason.
    struct Answer {
        bool ok = false;
        std::string reason;
        static Answer Ok() { return {true, {}}; }
        static Answer No(std::string why) { return {false, std::move(why)}; }
    };

    explicit DocumentsService(LocalNetwork& network);

    bool Open(QString* error) override;
    bool SeedDemo() override;

    const Limits& GetLimits() const { return limits_; }
    void SetLimits(const Limits& limits) { limits_ = limits; }

    // The operations of the file server, callable directly: `who` is the
    // account asking, `owner` the store's.
    Answer CreateFolder(const QString& number, const QString& who, const QString& owner,
                        const QString& name);
    Answer LockFolder(const QString& number, const QString& who, const QString& owner,
                      const QString& name, const QString& password);
    Answer UnlockFolder(const QString& number, const QString& who, const QString& owner,
                        const QString& name);
    Answer RenameFolder(const QString& number, const QString& who, const QString& owner,
                        const QString& name, const QString& newName);
    Answer DeleteFolder(const QString& number, const QString& who, const QString& owner,
                        const QString& name);
    Answer MoveFile(const QString& number, const QString& who, const QString& owner,
                    const QString& path, const QString& name, const QString& destination);
    Answer RenameFile(const QString& number, const QString& who, const QString& owner,
                      const QString& path, const QString& name, const QString& newName);
    Answer DeleteFile(const QString& number, const QString& who, const QString& owner,
                      const QString& path, const QString& name);
    // Whether `who` may see the folder at `path` of `owner`'s store.
    Answer CanView(const QString& number, const QString& who, const QString& owner,
                   const QString& path, const QString& password) const;
    // Stores a file directly (the demo data, tests); replaces one of the same name.
    bool PutFile(const QString& number, const QString& owner, const QString& path,
                 const QString& name, const QByteArray& bytes);

    // The listing message of a folder (response 7), its entries cut where
    // the message is full.
    std::unique_ptr<net::MessageBuffer> Listing(const QString& number, const QString& owner,
                                                const QString& path, int32_t target) const;

    const DocStore* StoreOf(const QString& number, const QString& owner) const;
    // Where a file lies, relative to the data folder.
    static QString FilePath(const QString& number, const QString& owner, const QString& path,
                            const QString& name);
    // The client's rules for a name: 1..50 bytes of letters, digits, '.',
    // '~', '-' and '_', starting with a letter or digit.
    static bool ValidName(const QString& name);
    // "Tue Mar  4 09:15:02 2025\n" in local time.
    static std::string ModifiedText(qint64 seconds);

  private:
    bool Load(QString* error);
    void RegisterHandlers();
    void HandleFolderRequest(ClientSession& s, net::MessageReader& f);
    void HandleFileRequest(ClientSession& s, net::MessageReader& f);
    // The account's name as created, or empty when there is none.
    QString AccountName(const QString& number, const QString& owner) const;
    DocStore& Writable(const QString& number, const QString& owner);
    const Folder* FindFolder(const QString& number, const QString& owner,
                             const QString& name) const;
    // The files of `path` ("/" or a folder); null for a missing folder.
    std::map<QString, File>* FilesOf(DocStore& store, const QString& path);
    bool SaveFolder(const QString& number, const QString& owner, const Folder& folder);
    bool SaveFile(const QString& number, const QString& owner, const QString& folder,
                  const File& file);
    void SendAnswer(ClientSession& s, int32_t refusalCode, const Answer& answer,
                    const QString& owner, const QString& listPath);

    LocalNetwork& network_;
    Limits limits_;
    // network -> lower-case owner -> store
    std::map<QString, std::map<QString, DocStore>> stores_;
};

}  // namespace localnet
