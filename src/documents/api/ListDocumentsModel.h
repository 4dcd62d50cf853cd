#pragma once

// The rows of a folder listing as a table model: "Name" with a folder or a
// file picture, "Size" and "Modified", in the listing's order (never sorted
// here), drawn in red when the folder shown or the entry is locked.
// Header-only and free of widgets, for every window that lists a folder.

#include <QAbstractTableModel>
#include <QBrush>
#include <QColor>
#include <QIcon>
#include <QString>
#include <utility>
#include <vector>

#include "documents/api/DirectoryListing.h"

namespace documents {

class CListDocumentsModel : public QAbstractTableModel {
  public:
    static constexpr int kColumnCount = 3;
    static constexpr const char* kTitles[kColumnCount] = {"Name", "Size", "Modified"};
    static constexpr int kWidths[kColumnCount] = {150, 80, 170};

    using QAbstractTableModel::QAbstractTableModel;

    void SetPictures(QIcon folder, QIcon file) {
        folder_ = std::move(folder);
        file_ = std::move(file);
    }
    // Replaces the rows; `folderLocked` draws every row in red.
    void SetEntries(std::vector<CDocumentEntry> entries, bool folderLocked) {
        beginResetModel();
        entries_ = std::move(entries);
        folderLocked_ = folderLocked;
        endResetModel();
    }
    const std::vector<CDocumentEntry>& Entries() const { return entries_; }
    const CDocumentEntry* EntryAt(int row) const {
        return row >= 0 && row < static_cast<int>(entries_.size())
                   ? &entries_[static_cast<size_t>(row)]
                   : nullptr;
    }
    bool RowLocked(int row) const {
        const CDocumentEntry* e = EntryAt(row);
        return e != nullptr && (folderLocked_ || e->locked != 0);
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(entries_.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : kColumnCount;
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < kColumnCount)
            return QString::fromLatin1(kTitles[section]);
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        const CDocumentEntry* e = index.isValid() ? EntryAt(index.row()) : nullptr;
        if (e == nullptr) return {};
        switch (role) {
            case Qt::DisplayRole:
                switch (index.column()) {
                    case 0:
                        return Text(e->name);
                    case 1:
                        return Text(e->sizeText);
                    case 2:
                        return Text(e->modified);
                    default:
                        return {};
                }
            case Qt::DecorationRole:
                if (index.column() != 0) return {};
                return e->type == kEntryFolder ? folder_ : file_;
            case Qt::ForegroundRole:
                if (RowLocked(index.row())) return QBrush(QColor(255, 0, 0));
                return {};
            default:
                return {};
        }
    }

  private:
    static QString Text(const std::string& utf8) {
        return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    }

    std::vector<CDocumentEntry> entries_;
    bool folderLocked_ = false;
    QIcon folder_;
    QIcon file_;
};

}  // namespace documents
