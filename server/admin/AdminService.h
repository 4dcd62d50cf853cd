#pragma once

// Network administration on the network server: the network's facts and
// the folders of its logs (request 3, answered by 16, or 17 for what the
// user may not see), and the logs the server writes itself: one file a day
// under logs/YYYY/MM/DD.log and logs/security/security.log.

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <string>

#include "server/core/Service.h"

namespace localnet {

class ClientSession;
class LocalNetwork;

class AdminService : public QObject, public Service {
  public:
    // The longest folder path a request may carry.
    static constexpr int kMaxPathBytes = 200;

    explicit AdminService(LocalNetwork& network);

    // Adds dave (banned, never logged in) and erin (admin) to every network;
    // 45 days of logs follow when a network's logs are first looked at.
    bool SeedDemo() override;
    static constexpr int kDemoLogDays = 45;

    // The logs folder of a network, relative to the data folder.
    static QString LogsFolder(const QString& number);
    // The day's log file of a network, relative to the data folder.
    static QString DayLogPath(const QString& number, const QDateTime& when);

    // Whether a user of `level` (0 root, 1 admin, 2 regular) may list the
    // folder `path` ("/" or names joined by "/"): the path's form only, not
    // whether the folder exists.
    static bool MayList(int level, const std::string& path);

    // The largest action file accepted.
    static constexpr int kMaxActionFile = 1 << 20;

    // Appends a line to the network's log of the day, and to the security
    // log when `security` is set.
    void Note(const QString& number, const QString& line, bool security = false);

  private:
    void OnLoginChecked(ClientSession* session, const QString& number, const QString& username,
                        const QString& password, bool accepted);
    void OnLoggedIn(ClientSession* session);
    void OnEnded(ClientSession* session);
    void Answer(ClientSession& session, const std::string& number, const std::string& path);
    bool SeedLogs(const QString& number, const QDateTime& now);
    // Writes the demo's logs of the network once, if the demo was seeded.
    void EnsureDemoLogs(const QString& number);
    void Append(const QString& relative, const QString& line);
    // Applies an action (0 promote .. 5 undo ban) of `actor` to each listed
    // account it may act on; the others are skipped. Every one is logged.
    void ApplyAction(const QString& number, const QString& actor, int32_t action,
                     const QByteArray& list);
    // Tells every connection of the account that it ends, and closes them.
    void DisconnectAccount(const QString& number, const QString& username);
    bool Online(const QString& number, const QString& username) const;

    LocalNetwork& network_;
    bool demoLogs_ = false;
    QSet<QString> demoLogsDone_;
};

}  // namespace localnet
