#pragma once

// The main window's page of sessions: "Name" (with an open or private icon),
// "Created", "By" and "Participants", full-row selection, one sort arrow in
// the header. Rows with participants stand out on a light blue background.

#include <QAbstractTableModel>
#include <QIcon>
#include <QString>
#include <QTreeView>
#include <QVector>

namespace ui {
class Skin;
}

namespace sessions {

// One row as the list shows it.
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
    enum Column { kName = 0, kCreated = 1, kBy = 2, kParticipants = 3, kColumnCount = 4 };

    CSessionsZorvicModel(const ui::Skin& skin, QObject* parent = nullptr);

    // Replaces every row (a page arrived).
    void SetRows(QVector<SessionRow> rows);
    const QVector<SessionRow>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    QVector<SessionRow> rows_;
    QIcon open_;
    QIcon private_;
};

class CListSessionsZorvic : public QTreeView {
    Q_OBJECT

  public:
    explicit CListSessionsZorvic(const ui::Skin& skin, QWidget* parent = nullptr);

    CSessionsZorvicModel& Model() { return model_; }
    // Shows one arrow, on `column`, pointing up (ascending) or down.
    void SetSortArrow(int column, bool up);
    int SortArrowColumn() const;
    bool SortArrowUp() const;

  signals:
    // The user scrolled, clicked, pressed a key or turned the wheel in the
    // list: the periodic refresh waits for the list to be left alone.
    void Used();
    // A header was clicked (the session directory sorts by it).
    void HeaderClicked(int column);
    // A row was double-clicked: ask to join that session.
    void JoinRequested(const QString& sessionId);

  protected:
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    CSessionsZorvicModel model_;
};

}  // namespace sessions
