#pragma once

// The filter field of the long lists: as the user types, rows whose visible
// texts do not contain what was typed (ignoring case) are hidden. Nothing is
// asked of the server; the rows stay in their model with their own row
// numbers, so selection, double clicks and context menus keep pointing at
// the row the user sees. The filter stays applied when the list is refilled
// or sorted.

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QTreeView>

class QAbstractItemModel;
class QModelIndex;


namespace ui {

// The field's height in the fixed layouts.
inline constexpr int kFilterHeight = 24;

// True when any shown column of the row holds `needle` in its display text,
// ignoring case. An empty needle matches every row.
bool RowContains(const QAbstractItemModel& model, int row, const QString& needle,
                 const QTreeView* view = nullptr);

class CFilterEdit : public QLineEdit {
    Q_OBJECT

  public:
    explicit CFilterEdit(QWidget* parent = nullptr);

    // The list this field narrows; one list per field.
    void Attach(QTreeView* view);
    QTreeView* View() const { return view_; }

    // Applies the current text to every row again.
    void Apply();
    // Rows the filter lets through.
    int ShownRows() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ApplyRows(int first, int last);
    void DropHiddenSelection();

    QPointer<QTreeView> view_;
    QString needle_;
};

}  // namespace ui
