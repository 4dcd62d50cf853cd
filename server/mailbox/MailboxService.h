#pragma once

// The mailboxes of the local network. Every account has one, in three roots
// of folders (Inbox, Outbox, Sessions); each folder lists entries that name a
// message by its sender and the sender's own number for it, with a copy of
// what the message list shows. A message lives with its sender: the entry in
// the sender's Outbox stands for the original, and deleting it there deletes
// the message (its body and attachment files too). Inbox "Primary" and
// Outbox "Sent" always exist. Sessions folders are keyed by the session id
// and named after the session.
//
// State is kept in the service's own tables and mirrored in memory; bodies
// and attachments are files under the network's folder.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "server/core/Service.h"

class QSqlDatabase;

namespace net {
class MessageWriter;
}

namespace localnet {

class ClientSession;
class LocalNetwork;

class MailboxService : public Service {
  public:
    static constexpr int kRootCount = 3;
    static constexpr int32_t kNoAttachment = 999999;
    static constexpr int kMaxFoldersPerRoot = 50;
    static constexpr int kMaxFolderName = 16;
    static constexpr qint64 kMaxOperationFile = 4 * 1024 * 1024;

    struct Entry {
        QString sender;  // lower case
        QString senderName;
        int32_t number = 0;
        int32_t attachment = kNoAttachment;
        int32_t unread = 0;
        qint64 sentTime = 0;
        QString subject;
        qint64 position = 0;  // delivery order
    };
    struct Folder {
        QString key;
        QString name;
        std::vector<Entry> entries;
    };
    struct Box {
        std::array<std::vector<Folder>, kRootCount> roots;
        int64_t Unread() const;
        Folder* Find(int root, const QString& key);
        const Folder* Find(int root, const QString& key) const;
    };
    struct Message {
        QString senderName;
        QString subject;
        qint64 sentTime = 0;
        int32_t attachment = kNoAttachment;
        QString attachmentName;
        QString recipients;  // "type name" lines
    };

    // One message to store and hand out.
    struct Delivery {
        QString number;  // the zorvic network
        QString sender;
        QStringList recipients;  // individual accounts
        struct ToSession {
            QString id;  // 6 characters
            QString name;
            QStringList members;
        };
        std::vector<ToSession> sessions;
        QString subject;
        QByteArray body;
        qint64 sentTime = 0;  // 0: now
        QString attachmentName;
        QByteArray attachment;
        bool hasAttachment = false;
    };

    explicit MailboxService(LocalNetwork& network);

    bool Open(QString* error) override;
    bool SeedDemo() override;

    // Stores the message, adds the sender's "Sent" entry and an unread entry
    // in each recipient's "Primary" (session mail: in that session's folder
    // of each member), and tells each recipient who is online. Fails (nothing
    // stored) on an unknown network, sender or recipient. `number` receives
    // the sender's number for the message.
    bool Deliver(const Delivery& delivery, int32_t* number = nullptr, QString* error = nullptr);

    // What the file server's requests do, callable directly. Each returns
    // an empty text on success, else the reason it was refused.
    QString CreateFolder(const QString& number, const QString& owner, int32_t root,
                         const QString& name);
    QString DeleteFolder(const QString& number, const QString& owner, int32_t root,
                         const QString& key);
    // Applies an operation file; false when it could not be read or stored.
    bool ApplyOperation(const QString& number, const QString& owner, const QByteArray& file);

    // Drops the account's mailbox (its folders and entries).
    bool RemoveMailbox(const QString& number, const QString& owner);

    // The two lists as the client downloads them; false for an unknown folder.
    QByteArray FolderList(const QString& number, const QString& owner);
    bool MessageList(const QString& number, const QString& owner, int32_t root,
                     const QString& key, QByteArray& out);
    int64_t UnreadTotal(const QString& number, const QString& owner);

    // Reading a message: only its sender and the accounts holding it may,
    // and only while the sender keeps it. The recipient list ("type key
    // name" lines) is what opens a message, so it also marks the entry read
    // in the folder named.
    bool AttachmentNameOf(const QString& number, const QString& reader, const QString& sender,
                          int32_t n, int32_t attachment, QString& name) const;
    bool RecipientList(const QString& number, const QString& reader, int32_t root,
                       const QString& key, const QString& sender, int32_t n, QByteArray& out);
    const Message* Readable(const QString& number, const QString& reader, const QString& sender,
                            int32_t n) const;

    // Read-only views for tests and diagnostics; null when absent.
    const Box* MailboxOf(const QString& number, const QString& owner) const;
    const Message* FindMessage(const QString& number, const QString& sender, int32_t n) const;
    // Where a message's body and attachment live, relative to the data folder.
    static QString BodyPath(const QString& number, const QString& sender, int32_t n);
    static QString AttachmentPath(const QString& number, const QString& sender, int32_t n);

    // Sending from a client: the recipient list, then the body, then
    // deliver. One pending send per account, replaced by each new list.
    static constexpr qint64 kMaxRecipientFile = 64 * 1024;
    static constexpr int kMaxRecipientLines = 2000;
    static constexpr int kMaxSubject = 100;
    static constexpr qint64 kMaxBody = 400000;
    static constexpr qint64 kMaxAttachment = 10LL * 1024 * 1024;
    // The attachments the sender keeps on the server: how many, how many bytes.
    std::pair<int, qint64> KeptAttachments(const QString& number, const QString& sender) const;
    // Checks a recipient list and keeps it as the account's pending send;
    // returns the recipients that do not exist ("name", "(name)"), empty
    // when all do. `tooLong` when it has more lines than allowed.
    QStringList TakeRecipientList(const QString& number, const QString& owner,
                                  const QByteArray& file);
    // Delivers the account's pending send when it is complete; false (and
    // nothing sent) otherwise. `report` receives the mail report when a
    // session was addressed, `selfToo` whether the sender is a recipient.
    bool DeliverPending(const QString& number, const QString& owner, bool* withReport,
                        bool* selfToo);
    // The account's last mail report (empty when none).
    QByteArray LastReport(const QString& number, const QString& owner) const;

  private:
    struct PendingSend {
        QStringList individuals;
        std::vector<Delivery::ToSession> sessions;
        bool hasAttachment = false;
        QString attachmentName;
        QByteArray attachment;
        bool hasBody = false;
        QString subject;
        QByteArray body;
    };
    static QString OwnerKey(const QString& number, const QString& owner) {
        return number + '/' + owner.toLower();
    }
    void SendOnNetworkConnection(const QString& number, const QString& owner,
                                 net::MessageWriter& w);

    struct NetState {
        std::map<QString, Box> boxes;  // by lower-case owner
        std::map<std::pair<QString, int32_t>, Message> messages;
        std::map<QString, int32_t> nextNumber;  // by lower-case sender
    };

    bool Load(QString* error);
    void RegisterHandlers();
    // The owner's mailbox with its two default folders (in memory only).
    Box WithDefaults(const QString& number, const QString& owner) const;
    bool AccountExists(const QString& number, const QString& name) const;
    // Writes whole boxes (and message changes) in one transaction, then
    // takes them over.
    bool Commit(const QString& number, const std::map<QString, Box>& boxes,
                const std::vector<std::pair<std::pair<QString, int32_t>, Message>>& added,
                const std::vector<std::pair<QString, int32_t>>& removed,
                const std::map<QString, int32_t>& counters);
    void PushNewMail(const QString& number, const QStringList& owners);

    LocalNetwork& network_;
    std::map<QString, PendingSend> pending_;  // by OwnerKey
    std::map<QString, QByteArray> reports_;   // by OwnerKey
    std::map<QString, NetState> nets_;
    qint64 nextPosition_ = 1;
};

// The folder-name rules of a new folder; an empty text when it passes.
QString CheckMailboxFolderName(int32_t root, const QString& name);

}  // namespace localnet
