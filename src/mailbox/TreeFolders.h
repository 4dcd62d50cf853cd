#pragma once

// The Mailbox window's folder tree: "Inbox", "Outbox" and "Sessions", each
// with its folders in file order, all three expanded.

#include <QTreeWidget>
#include <string>

#include "mailbox/MailboxFormats.h"

namespace mailbox {

class CTreeFolders : public QTreeWidget {
    Q_OBJECT

  public:
    explicit CTreeFolders(QWidget* parent = nullptr);

    // Rebuilds the tree and selects (and scrolls to) the current folder.
    void Rebuild(const FolderList& folders, int32_t currentRoot, const std::string& currentKey);
    // The item of a folder, or null (roots have none).
    QTreeWidgetItem* FolderItem(int32_t root, const std::string& key) const;
    QTreeWidgetItem* RootItem(int32_t root) const;
    // The folder an item stands for: false for a root or no item.
    static bool FolderOf(const QTreeWidgetItem* item, int32_t& root, std::string& key);

  signals:
    void FolderClicked(int32_t root, const QString& key);
    void DeleteRequested(int32_t root, const QString& key);
    void MenuRequested(int32_t root, const QString& key, const QPoint& globalPos);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

}  // namespace mailbox
