#pragma once

// The two lists of sessions. The main window's (`CListSessionsZorvic`):
// "Name" (with an open or private icon), "Created", "By" and "Participants",
// rows with participants on light blue. Manage Sessions' (`CListSessions`):
// "Name", "Created", "Type" and "Participants". Both select whole rows and
// carry the sortable header with one arrow, "Created" down at start.

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <QTreeView>
#include <QVector>

namespace ui {
class CSessionHeaderCtrl;
class Skin;
}  // namespace ui

namespace sessions {

// One row as the lists show it.
struct SessionRow {
    QString id;  // exactly 6 characters on the wire
    QString name;
    QString createdText;
    QString creator;
    int participants = 0;
    bool isPrivate = false;
};

class CSessionsZorvicModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    enum Column {
        kName = 0,
        kCreated = 1,
        kBy = 2,
        kType = 2,
        kParticipants = 3,
        kColumnCount = 4
    };
    // The main window's columns, or Manage Sessions' (Type for By, no icons,
    // no colours).
    enum class Layout { Main, Manage };

    CSessionsZorvicModel(const ui::Skin& skin, Layout layout = Layout::Main,
                         QObject* parent = nullptr);

    // Replaces every row (a page arrived).
    void SetRows(QVector<SessionRow> rows);
    const QVector<SessionRow>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    Layout layout_;
    QVector<SessionRow> rows_;
    QIcon open_;
    QIcon private_;
};

// What both lists share: the model, the header and its signals.
class CSessionListView : public QTreeView {
    Q_OBJECT

  public:
    CSessionListView(const ui::Skin& skin, CSessionsZorvicModel::Layout layout,
                     const int (&widths)[4], QWidget* parent);

    CSessionsZorvicModel& Model() { return model_; }
    ui::CSessionHeaderCtrl& Header() { return *header_; }
    // Shows one arrow, on `column`, pointing up (ascending) or down.
    void SetSortArrow(int column, bool up);
    int SortArrowColumn() const;
    bool SortArrowUp() const;
    // The row under the selection; -1 without one.
    int SelectedRow() const;

  signals:
    // A header click asked for this order.
    void SortRequested(int column, bool ascending);
    // A row was double-clicked.
    void RowActivated(int row);

  private:
    CSessionsZorvicModel model_;
    ui::CSessionHeaderCtrl* header_ = nullptr;
};

class CListSessionsZorvic : public CSessionListView {
    Q_OBJECT

  public:
    explicit CListSessionsZorvic(const ui::Skin& skin, QWidget* parent = nullptr);

  signals:
    // The user scrolled, clicked, pressed a key or turned the wheel in the
    // list: the periodic refresh waits for the list to be left alone.
    void Used();
    // A row was double-clicked: ask to join that session.
    void JoinRequested(const QString& sessionId);

  protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
};

class CListSessions : public CSessionListView {
    Q_OBJECT

  public:
    explicit CListSessions(const ui::Skin& skin, QWidget* parent = nullptr);
};

}  // namespace sessions
