#pragma once

// The Mailbox window's message list: "From", "Subject" and "Date", whole
// rows selected, several at once; a paper clip on messages with an
// attachment, unread ones in bold. The header carries one arrow and one
// direction toggle shared by the three columns.

#include <QAbstractTableModel>
#include <QFont>
#include <QIcon>
#include <QTreeView>
#include <vector>

#include "mailbox/MailboxFormats.h"

namespace ui {
class CSessionHeaderCtrl;
class Skin;
}  // namespace ui

namespace mailbox {

class CMessageListModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column { kFrom = 0, kSubject = 1, kDate = 2, kColumnCount = 3 };

    CMessageListModel(const ui::Skin& skin, QObject* parent = nullptr);

    // Shows `messages` (kept by the caller, unchanged until the next call).
    void SetMessages(const std::vector<CMailboxMessage>* messages);
    // Runs `change` on the rows inside one reset, so the view never reads
    // rows that are being replaced.
    template <class Change>
    void Replace(Change&& change, const std::vector<CMailboxMessage>* messages) {
        beginResetModel();
        change();
        messages_ = messages;
        endResetModel();
    }
    // One row's look changed (it was read).
    void RowChanged(int row);
    const CMailboxMessage* At(int row) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const std::vector<CMailboxMessage>* messages_ = nullptr;
    QIcon clip_;
    QFont bold_;
};

class CListMessage : public QTreeView {
    Q_OBJECT

  public:
    explicit CListMessage(const ui::Skin& skin, QWidget* parent = nullptr);

    CMessageListModel& Model() { return model_; }
    ui::CSessionHeaderCtrl& Header() { return *header_; }
    // The selected rows in display order.
    std::vector<int> SelectedRows() const;

  signals:
    // A click or a key release in the list: the buttons follow the selection.
    void SelectionTouched();
    void OpenRequested(int row);
    void DeletePressed();
    void MenuRequested(const QPoint& globalPos);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    CMessageListModel model_;
    ui::CSessionHeaderCtrl* header_ = nullptr;
};

}  // namespace mailbox
