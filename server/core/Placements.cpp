#include "server/core/Placements.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cstdio>
#include <vector>

#include "server/core/Store.h"

namespace localnet::placements {

namespace {

const std::vector<std::vector<QString>>& Steps() {
    static const std::vector<std::vector<QString>> steps = {
        {"CREATE TABLE placements (staging TEXT NOT NULL PRIMARY KEY, target TEXT NOT NULL)"},
    };
    return steps;
}

bool Note(QSqlDatabase& db, const QString& staging, const QString& target) {
    QSqlQuery q(db);
    q.prepare("INSERT INTO placements (staging, target) VALUES (?, ?)");
    q.addBindValue(staging);
    q.addBindValue(target);
    return q.exec();
}

bool Forget(QSqlDatabase& db, const QString& staging) {
    QSqlQuery q(db);
    q.prepare("DELETE FROM placements WHERE staging = ?");
    q.addBindValue(staging);
    return q.exec();
}

// rename(2) replaces the target in one step; QFile::rename refuses an
// existing target, and removing it first would open a moment with neither.
bool Rename(const QString& from, const QString& to) {
    if (!MakeFolder(QFileInfo(to).absolutePath())) return false;
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace

QString StagingName() {
    return QString(kFolder) + "/" + QUuid::createUuid().toString(QUuid::Id128);
}

bool Recover(Store& store, QString* error) {
    if (!store.PrepareTables("placements", Steps(), error)) return false;
    QSqlDatabase db = store.Database();
    std::vector<std::pair<QString, QString>> owed;
    {
        QSqlQuery q(db);
        if (!q.exec("SELECT staging, target FROM placements")) {
            if (error) *error = "cannot read the pending renames: " + q.lastError().text();
            return false;
        }
        while (q.next()) owed.emplace_back(q.value(0).toString(), q.value(1).toString());
    }
    QSet<QString> kept;
    for (const auto& [staging, target] : owed) {
        const QString from = store.ResolvePath(staging);
        const QString to = store.ResolvePath(target);
        // A staging file that is gone was renamed before the crash: only the
        // note is left. One that cannot be renamed now is kept for the next
        // start rather than losing a committed body.
        if (!from.isEmpty() && QFileInfo::exists(from) && (to.isEmpty() || !Rename(from, to))) {
            kept.insert(staging);
            continue;
        }
        if (!to.isEmpty()) store.FlushLater(to);
        // Captured by name: not every compiler lets a lambda capture a structured binding.
        if (!store.Write([&name = staging](QSqlDatabase& d) { return Forget(d, name); }))
            kept.insert(staging);
    }
    const QString folder = store.ResolvePath(kFolder);
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
        while (it.hasNext()) {
            const QString path = it.next();
            if (!kept.contains(QString(kFolder) + "/" + it.fileName())) QFile::remove(path);
        }
    }
    return true;
}

bool CommitAndPlace(Store& store, const QString& staging, const QString& target,
                    const std::function<bool(QSqlDatabase&)>& work,
                    const std::function<bool(QSqlDatabase&)>& undo) {
    const QString from = store.ResolvePath(staging);
    const QString to = store.ResolvePath(target);
    if (from.isEmpty() || to.isEmpty()) {
        if (!from.isEmpty()) QFile::remove(from);
        return false;
    }
    if (!store.Write([&](QSqlDatabase& db) { return work(db) && Note(db, staging, target); })) {
        QFile::remove(from);
        return false;
    }
    store.ReleaseLater(to);
    if (!Rename(from, to)) {
        // Taken back while the old body is still in place. Should even that
        // fail, the note stays and the next start retries the rename.
        if (store.Write([&](QSqlDatabase& db) { return undo(db) && Forget(db, staging); }))
            QFile::remove(from);
        return false;
    }
    store.FlushLater(to);
    // Left behind, the note only makes the next start look for a staging
    // file that is gone.
    store.Write([&](QSqlDatabase& db) { return Forget(db, staging); });
    return true;
}

}  // namespace localnet::placements
