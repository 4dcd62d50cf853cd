#include "mailbox/TreeFolders.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

namespace mailbox {

namespace {

constexpr int kRootRole = Qt::UserRole;
constexpr int kKeyRole = Qt::UserRole + 1;
constexpr int kIsFolderRole = Qt::UserRole + 2;

const char* const kRootTexts[kRootCount] = {"Inbox", "Outbox", "Sessions"};

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CTreeFolders::CTreeFolders(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAccessibleName(QStringLiteral("Folders"));
    // The roots are always open; collapsing them would hide the folders.
    setItemsExpandable(false);
    setRootIsDecorated(false);
    setIndentation(16);
}

void CTreeFolders::Rebuild(const FolderList& folders, int32_t currentRoot,
                           const std::string& currentKey) {
    clear();
    QTreeWidgetItem* current = nullptr;
    for (int32_t root = 0; root < kRootCount; ++root) {
        auto* rootItem = new QTreeWidgetItem(this, {QString::fromLatin1(kRootTexts[root])});
        rootItem->setData(0, kRootRole, root);
        rootItem->setData(0, kIsFolderRole, false);
        for (const CMailboxFolder& f : folders.roots[static_cast<size_t>(root)]) {
            auto* item = new QTreeWidgetItem(rootItem, {FromUtf8(f.DisplayText())});
            item->setData(0, kRootRole, root);
            item->setData(0, kKeyRole, FromUtf8(f.Key()));
            item->setData(0, kIsFolderRole, true);
            if (current == nullptr && root == currentRoot && f.Key() == currentKey) current = item;
        }
        rootItem->setExpanded(true);
    }
    if (current != nullptr) {
        setCurrentItem(current);
        scrollToItem(current);
    }
}

QTreeWidgetItem* CTreeFolders::RootItem(int32_t root) const {
    if (root < 0 || root >= topLevelItemCount()) return nullptr;
    return topLevelItem(root);
}

QTreeWidgetItem* CTreeFolders::FolderItem(int32_t root, const std::string& key) const {
    QTreeWidgetItem* rootItem = RootItem(root);
    if (rootItem == nullptr) return nullptr;
    const QString k = FromUtf8(key);
    for (int i = 0; i < rootItem->childCount(); ++i) {
        if (rootItem->child(i)->data(0, kKeyRole).toString() == k) return rootItem->child(i);
    }
    return nullptr;
}

bool CTreeFolders::FolderOf(const QTreeWidgetItem* item, int32_t& root, std::string& key) {
    if (item == nullptr || !item->data(0, kIsFolderRole).toBool()) return false;
    root = item->data(0, kRootRole).toInt();
    key = item->data(0, kKeyRole).toString().toStdString();
    return true;
}

void CTreeFolders::mousePressEvent(QMouseEvent* event) {
    QTreeWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton) return;
    int32_t root = 0;
    std::string key;
    if (FolderOf(itemAt(event->position().toPoint()), root, key)) {
        emit FolderClicked(root, QString::fromStdString(key));
    }
}

void CTreeFolders::keyPressEvent(QKeyEvent* event) {
    int32_t root = 0;
    std::string key;
    const bool onFolder = FolderOf(currentItem(), root, key);
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        event->accept();
        if (onFolder) emit DeleteRequested(root, QString::fromStdString(key));
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space) &&
        onFolder) {
        // The keyboard's click: open the folder under the cursor.
        event->accept();
        emit FolderClicked(root, QString::fromStdString(key));
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void CTreeFolders::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = event->reason() == QContextMenuEvent::Mouse ? itemAt(event->pos())
                                                                        : currentItem();
    int32_t root = 0;
    std::string key;
    if (!FolderOf(item, root, key)) return;
    setCurrentItem(item);
    emit MenuRequested(root, QString::fromStdString(key), event->globalPos());
}

}  // namespace mailbox
