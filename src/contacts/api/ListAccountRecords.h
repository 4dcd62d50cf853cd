#pragma once

// A list of accounts as a table model: one row per record of the account
// list file, the seven columns of the file, sorted by header clicks (the
// direction turns around with every click). It holds the rows themselves, not
// an item per cell, so that tens of thousands of accounts load and sort
// quickly. Header-only and free of widgets, for every window that lists
// accounts.

#include <QAbstractTableModel>
#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

#include "contacts/api/AccountList.h"

namespace contacts {

class CListAccountRecords : public QAbstractTableModel {
  public:
    // Column titles and widths in pixels.
    static constexpr const char* kTitles[kAccountColumnCount] = {
        "Username", "Full Name", "Created", "Last Login", "Online", "Banned", "Type"};
    static constexpr int kWidths[kAccountColumnCount] = {90, 93, 160, 100, 75, 79, 68};

    using QAbstractTableModel::QAbstractTableModel;

    // Replaces the rows and sorts them in the current order.
    void SetRecords(std::vector<AccountRecord> records) {
        beginResetModel();
        records_ = std::move(records);
        rows_.resize(records_.size());
        for (size_t i = 0; i < rows_.size(); ++i) rows_[i] = static_cast<uint32_t>(i);
        keys_.Build(records_);
        SortAccounts(keys_, rows_, order_);
        endResetModel();
    }
    void Clear() { SetRecords({}); }

    // The record shown in a row, or null.
    const AccountRecord* RecordAt(int row) const {
        return row >= 0 && row < static_cast<int>(rows_.size())
                   ? &records_[rows_[static_cast<size_t>(row)]]
                   : nullptr;
    }
    const AccountSortOrder& Order() const { return order_; }

    // A click on a column's header: sorts by it, the direction turned around.
    void HeaderClicked(int column) {
        if (column < 0 || column >= kAccountColumnCount) return;
        order_.HeaderClicked(column);
        Resort();
    }

    void Resort() {
        emit layoutAboutToBeChanged();
        SortAccounts(keys_, rows_, order_);
        emit layoutChanged();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(rows_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kAccountColumnCount;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < kAccountColumnCount)
            return QString::fromLatin1(kTitles[section]);
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const AccountRecord* r = index.isValid() ? RecordAt(index.row()) : nullptr;
        if (r == nullptr || role != Qt::DisplayRole) return {};
        switch (index.column()) {
            case kColumnUsername:
                return Text(r->username);
            case kColumnFullName:
                return Text(r->fullName);
            case kColumnCreated:
                return Text(CreatedText(*r));
            case kColumnLastLogin:
                return Text(LastLoginText(*r));
            case kColumnOnline:
                return QString::fromLatin1(YesNoText(r->online));
            case kColumnBanned:
                return QString::fromLatin1(YesNoText(r->banned));
            case kColumnType:
                return QString::fromLatin1(AccountTypeText(r->type));
            default:
                return {};
        }
    }

  private:
    static QString Text(const std::string& utf8) {
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    }

    // The records as read, and the order they are shown in: sorting moves
    // indices, not records.
    std::vector<AccountRecord> records_;
    std::vector<uint32_t> rows_;
    AccountSortKeys keys_;
    AccountSortOrder order_;
};

}  // namespace contacts
