#pragma once

// The Polling Center's list: the rows of the poll list, drawn from the
// entries themselves, so that a list of tens of thousands of polls costs no
// widget per row. Several rows may be selected.

#include <QAbstractTableModel>
#include <QTreeView>
#include <initializer_list>
#include <vector>

#include "polls/model/PollFiles.h"

namespace polls {

class PollListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kId, kStatus, kStart, kEnd, kVotes, kRecurring, kQuestions, kColumns };

    using QAbstractTableModel::QAbstractTableModel;
    // Shows `entries` (kept by the caller) from now on.
    void SetEntries(const std::vector<CPollEntry>* entries);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const std::vector<CPollEntry>* entries_ = nullptr;
};

class CListPolls : public QTreeView {
    Q_OBJECT
  public:
    explicit CListPolls(QWidget* parent = nullptr);

    PollListModel& Model() { return model_; }
    int RowCount() const { return model_.rowCount(); }
    QString Cell(int row, int column) const;
    // The selected rows, in list order.
    std::vector<int> SelectedRowNumbers() const;
    // Selects exactly these rows.
    void SelectRows(std::initializer_list<int> rows);

  private:
    PollListModel model_;
};

}  // namespace polls
