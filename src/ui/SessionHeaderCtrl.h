#pragma once

// The header of a sortable list: one arrow on one column at a time, drawn by
// the header itself, and one direction toggle shared by every column. A click
// on a column that sorts clears the arrow, sets it on that column (up while
// the toggle is ascending, down otherwise), flips the toggle and reports the
// column with the direction it now stands for. What a column sorts by is the
// list's business; the header only knows which columns take part.

#include <QHeaderView>
#include <QSet>

class QTreeView;

namespace ui {

class CSessionHeaderCtrl : public QHeaderView {
    Q_OBJECT

  public:
    explicit CSessionHeaderCtrl(QWidget* parent = nullptr);
    // Puts a new header on `view` (which owns it). A tree view makes its
    // header unclickable while the view itself does not sort, so the header
    // is made clickable again after it is installed.
    static CSessionHeaderCtrl* InstallOn(QTreeView& view);

    // Columns whose click sorts; every column sorts until this is called.
    void SetSortableColumns(const QSet<int>& columns);
    bool IsSortable(int column) const;

    // One arrow: on `column`, up (ascending) or down; the others are cleared.
    void SetArrow(int column, bool up);
    void ClearArrow();
    // -1 without an arrow.
    int ArrowColumn() const { return arrowColumn_; }
    bool ArrowUp() const { return arrowUp_; }

    // The shared direction toggle: whether the next sorting click ascends.
    bool NextAscending() const { return nextAscending_; }
    void SetNextAscending(bool ascending) { nextAscending_ = ascending; }

    // A list's starting look: the arrow on `column`, pointing as given, and
    // the toggle back to ascending.
    void Reset(int column, bool up);

    // What a click on `column` does, as if the user had clicked it.
    void Click(int column);

  signals:
    // Every header click, sorting or not.
    void ColumnClicked(int column);
    // A click on a sorting column, after the arrow moved and the toggle
    // flipped: sort by `column`, ascending or descending.
    void SortRequested(int column, bool ascending);

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    QSize sectionSizeFromContents(int logicalIndex) const override;

  private:
    QSet<int> sortable_;
    bool allSortable_ = true;
    int arrowColumn_ = -1;
    bool arrowUp_ = false;
    bool nextAscending_ = true;
};

}  // namespace ui
