#include "polls/ListPolls.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>

#include "ui/ListView.h"

namespace polls {

namespace {

constexpr const char* kColumnTitles[] = {"id", "Status", "Start", "End", "Votes", "Recurring",
                                         "Questions"};
constexpr int kColumnWidths[] = {90, 70, 140, 140, 70, 130, 70};

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

void PollListModel::SetEntries(const std::vector<CPollEntry>* entries) {
    beginResetModel();
    entries_ = entries;
    endResetModel();
}

int PollListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !entries_ ? 0 : int(entries_->size());
}

int PollListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant PollListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !entries_ || !index.isValid() || index.row() < 0 ||
        size_t(index.row()) >= entries_->size())
        return {};
    const CPollEntry& e = (*entries_)[size_t(index.row())];
    switch (index.column()) {
        case kId: return FromUtf8(e.idText);
        case kStatus: return FromUtf8(e.statusText);
        case kStart: return FromUtf8(e.startText);
        case kEnd: return FromUtf8(e.endText);
        case kVotes: return FromUtf8(e.votesText);
        case kRecurring: return FromUtf8(e.recurrenceText);
        case kQuestions: return FromUtf8(e.questionsText);
        default: return {};
    }
}

QVariant PollListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= kColumns)
        return {};
    return QString::fromLatin1(kColumnTitles[section]);
}

CListPolls::CListPolls(QWidget* parent) : QTreeView(parent), model_(this) {
    ui::ConfigureListView(*this);
    // Several polls may be acted on at once.
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setModel(&model_);
    for (int c = 0; c < PollListModel::kColumns; ++c) setColumnWidth(c, kColumnWidths[c]);
}

QString CListPolls::Cell(int row, int column) const {
    return model_.data(model_.index(row, column), Qt::DisplayRole).toString();
}

std::vector<int> CListPolls::SelectedRowNumbers() const {
    std::vector<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CListPolls::SelectRows(std::initializer_list<int> rows) {
    QItemSelection selection;
    for (int r : rows)
        selection.select(model_.index(r, 0), model_.index(r, PollListModel::kColumns - 1));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

}  // namespace polls
