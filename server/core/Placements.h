#pragma once

// A body file put in place together with the database change that names it.
// The file is first gathered under a staging name; the change then commits in
// one transaction with a note of the rename it still owes, and the rename
// follows. A crash before the commit leaves only a staging file, swept at the
// next start; a crash after it leaves the note, and the next start finishes
// the rename. So a change and its file are there together or not at all: no
// file under a final name that no row knows, no row whose file is missing.

#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace localnet {

class Store;

namespace placements {

// The staging folder, relative to the data folder.
inline constexpr char kFolder[] = "placing";

// Creates the note table if needed, finishes every rename a note owes and
// removes the staging files no note names. Safe to call more than once.
bool Recover(Store& store, QString* error);

// A fresh staging name (relative to the data folder) no other upload uses.
QString StagingName();

// Runs `work` and notes "staging -> target" in one transaction, then renames
// the staging file over the target (both relative to the data folder). When
// the rename fails after the commit, `undo` runs in a transaction of its own
// to take the change back, the staging file goes, and the answer is false;
// memory must change only on true. A failed commit removes the staging file.
bool CommitAndPlace(Store& store, const QString& staging, const QString& target,
                    const std::function<bool(QSqlDatabase&)>& work,
                    const std::function<bool(QSqlDatabase&)>& undo);

}  // namespace placements
}  // namespace localnet
