#pragma once

// The main window's contacts: one column headed "Contacts" that fills the
// list, full-row selection, each
// row a username with its 16 x 16 presence picture (offline, online, away,
// muted) and the text style of its presence.

#include <QAbstractListModel>
#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QString>
#include <QTreeView>
#include <QVector>
#include <array>

namespace ui {
class Skin;
}

namespace contacts {

struct ContactRow {
    QString username;
    bool muted = false;
    int status = 0;  // 0 offline, 1 online, 2 away
};

// Offline and muted rows: grey, dark enough to read on the list's white.
inline constexpr QRgb kGreyText = 0x646464;

// The picture of a row: 3 for a muted contact whatever its presence,
// otherwise the presence itself (an unknown presence shows as offline).
int ContactPicture(const ContactRow& row);
// "%s is online", "%s is away, currently ignored", "%s is <unknown status>"...
QString ContactTooltip(const ContactRow& row);

class CContactsModel : public QAbstractListModel {
    Q_OBJECT

  public:
    CContactsModel(const ui::Skin& skin, QObject* parent = nullptr);

    void SetRows(QVector<ContactRow> rows);
    const QVector<ContactRow>& Rows() const { return rows_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    QVector<ContactRow> rows_;
    std::array<QPixmap, 4> pictures_;
    QFont bold_;
    QFont normal_;
    QFont italic_;
};

class CListContacts : public QTreeView {
    Q_OBJECT

  public:
    explicit CListContacts(const ui::Skin& skin, QWidget* parent = nullptr);
    CContactsModel& Model() { return model_; }

    // The selected row, or -1.
    int SelectedRow() const;

  signals:
    // The right button or the menu key over a selected row.
    void menuRequested(int row, const QPoint& globalPos);
    // The Delete key with a row selected.
    void deleteRequested(int row);
    // A click left no row selected.
    void clickedAway();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    CContactsModel model_;
};

}  // namespace contacts
