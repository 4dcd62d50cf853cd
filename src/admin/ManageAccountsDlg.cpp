#include "admin/ManageAccountsDlg.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>
#include <fstream>
#include <iterator>

#include "net/Transfers.h"
#include "ui/Dialogs.h"
#include "ui/ListView.h"

namespace admin {

namespace {

constexpr int kButtonWidth = 100;
constexpr int kButtonGap = 13;
constexpr int kButtonsY = 326;

}  // namespace

void CManageAccountsDlg::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_MANAGEACCOUNTS"), kClientSize,
                            QStringLiteral("Manage Accounts"));
}

CManageAccountsDlg::CManageAccountsDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                       const net::Timings& timings, Actions actions,
                                       QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), actions_(std::move(actions)), model_(this) {
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_MANAGEACCOUNTS"));
    setWindowTitle(QStringLiteral("Manage Accounts"));

    view_ = new QTreeView(this);
    view_->setModel(&model_);
    ui::ConfigureListView(*view_);
    // Actions apply to every selected account.
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setGeometry(kListRect);
    view_->setAccessibleName(QStringLiteral("Accounts"));
    QHeaderView* header = view_->header();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSectionsMovable(false);
    for (int c = 0; c < contacts::kAccountColumnCount; ++c) {
        view_->setColumnWidth(c, contacts::CListAccountRecords::kWidths[c]);
    }
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
        model_.HeaderClicked(column);
        ShowOrder();
    });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateButtons(); });
    // Sorting moves rows under a selection that stays with its accounts.
    connect(&model_, &QAbstractItemModel::modelReset, this, [this] { UpdateButtons(); });

    const int width = kActionCount * kButtonWidth + (kActionCount - 1) * kButtonGap;
    int x = (kClientSize.width() - width) / 2;
    for (int action = 0; action < kActionCount; ++action) {
        auto* button = new QPushButton(QString::fromLatin1(ActionButtonText(action)), this);
        button->setGeometry(x, kButtonsY, kButtonWidth, 28);
        button->setEnabled(false);
        x += kButtonWidth + kButtonGap;
        buttons_[static_cast<size_t>(action)] = button;
        connect(button, &QPushButton::clicked, this, [this, action] { Apply(action); });
    }
    ShowOrder();
}

void CManageAccountsDlg::ShowOrder() {
    // The arrow points up for an ascending list; Qt's styles draw the
    // descending indicator that way.
    view_->header()->setSortIndicator(
        model_.Order().column, model_.Order().ascending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool CManageAccountsDlg::LoadAndShow(const std::string& path) {
    std::vector<contacts::AccountRecord> records;
    if (!contacts::ReadAccountList(path, records)) {
        dialogs_.Message(isVisible() ? this : parentWidget(), QStringLiteral("Error"),
                         QStringLiteral("Failed to open account list file with read access"),
                         ui::MsgIcon::Information);
        return false;
    }
    model_.SetRecords(std::move(records));
    UpdateButtons();
    if (placed_) {
        ShowInFront(ui::ShowPlacement::Keep());
    } else {
        placed_ = true;
        ShowInFront(ui::ShowPlacement::Centred());
    }
    return true;
}

std::vector<int> CManageAccountsDlg::SelectedRows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : view_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CManageAccountsDlg::SelectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    for (int row : rows) {
        if (row < 0 || row >= model_.rowCount()) continue;
        selection.select(model_.index(row, 0),
                         model_.index(row, contacts::kAccountColumnCount - 1));
    }
    view_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

std::vector<std::string> CManageAccountsDlg::SelectedUsernames() const {
    std::vector<std::string> names;
    for (int row : SelectedRows()) {
        if (const contacts::AccountRecord* r = model_.RecordAt(row)) names.push_back(r->username);
    }
    return names;
}

void CManageAccountsDlg::UpdateButtons() {
    std::vector<AccountState> selection;
    for (int row : SelectedRows()) {
        const contacts::AccountRecord* r = model_.RecordAt(row);
        if (r == nullptr) continue;
        selection.push_back({r->type, r->online != 0, r->banned != 0});
    }
    const auto enabled = EnabledActions(actions_.level(), selection);
    for (size_t a = 0; a < enabled.size(); ++a) buttons_[a]->setEnabled(enabled[a]);
}

bool CManageAccountsDlg::Apply(int action) {
    if (action < 0 || action >= kActionCount) return false;
    if (dialogs_.Message(this, QStringLiteral("Caution"),
                         QString::fromLatin1(ActionQuestion(action)), ui::MsgIcon::Warning,
                         ui::MsgButtons::YesNo) != ui::MsgAnswer::Yes)
        return false;
    const std::vector<std::string> names = SelectedUsernames();
    if (names.empty()) return false;
    const std::string dataDir = actions_.dataDirectory();
    if (!net::CreateTransferDirectories(dataDir, kActionFolders[std::size(kActionFolders) - 1]))
        return false;
    const std::string path = net::PrepareTransferFile(dataDir, kActionFile);
    if (path.empty()) return false;
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        const std::string text = ActionFileText(names);
        if (!file || !file.write(text.data(), static_cast<std::streamsize>(text.size()))) return false;
    }
    return actions_.upload(path, action);
}

}  // namespace admin
