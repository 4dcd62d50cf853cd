#include "contacts/FindContactDlg.h"

#include <QHeaderView>

#include "ui/Dialogs.h"
#include "ui/FilterEdit.h"
#include "ui/ListView.h"

namespace contacts {

CFindContactDlg::CFindContactDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                 const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), model_(this) {
    SetFrame(QStringLiteral("IDB_FINDCONTACT"));
    setWindowTitle(QStringLiteral("Find a Contact"));

    view_ = new QTreeView(this);
    view_->setModel(&model_);
    ui::ConfigureListView(*view_);
    view_->setGeometry(kListRect);
    view_->setAccessibleName(QStringLiteral("Accounts"));
    QHeaderView* header = view_->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSectionsMovable(false);
    for (int c = 0; c < kAccountColumnCount; ++c) {
        view_->setColumnWidth(c, CListAccountRecords::kWidths[c]);
    }
    // The header shows the order; the model does the sorting, turning the
    // direction around with every click whatever the column.
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
        model_.HeaderClicked(column);
        ShowOrder();
    });
    connect(view_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { RowActivated(index.row()); });
    // Under the list, in the frame's free band.
    filter_ = new ui::CFilterEdit(this);
    filter_->setGeometry(kListRect.left(), kListRect.bottom() + 9, 240, ui::kFilterHeight);
    filter_->Attach(view_);
    ShowOrder();
}

void CFindContactDlg::ShowOrder() {
    // The arrow points up for an ascending list, as the list's users know
    // it; Qt's styles draw the descending indicator that way.
    view_->header()->setSortIndicator(
        model_.Order().column, model_.Order().ascending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool CFindContactDlg::LoadAndShow(const std::string& path) {
    std::vector<AccountRecord> records;
    if (!ReadAccountList(path, records)) {
        dialogs_.Message(parentWidget(), QStringLiteral("Error"),
                         QStringLiteral("Failed to open account list file with read access"),
                         ui::MsgIcon::Information);
        return false;
    }
    model_.SetRecords(std::move(records));
    if (placed_) {
        ShowInFront(ui::ShowPlacement::Keep());
    } else {
        // The first showing sits right of and below the centre, clear of the
        // main window's contacts.
        placed_ = true;
        ShowInFront(
            ui::ShowPlacement::At(CentredTopLeft(ScreenRect(), OuterSize()) + QPoint(165, 100)));
    }
    return true;
}

void CFindContactDlg::RowActivated(int row) {
    const AccountRecord* record = model_.RecordAt(row);
    if (record == nullptr || !pick_) return;
    if (pick_(record->username)) hide();
}

}  // namespace contacts
