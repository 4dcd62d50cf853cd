#include "admin/NetworkInformationDlg.h"

#include <QHeaderView>
#include <QPainter>

#include "admin/api/AdminRules.h"
#include "ui/Dialogs.h"
#include "ui/ListView.h"
#include "ui/TextConvert.h"

namespace admin {

namespace {

constexpr int kLabelX = 24;
constexpr int kValueX = 140;
constexpr int kFirstRowY = 50;
constexpr int kRowStep = 28;
constexpr int kRowHeight = 22;
constexpr int kLogsY = kFirstRowY + 4 * kRowStep + 8;
constexpr QRect kListRect{kLabelX, kLogsY + 28, 422, 196};
constexpr int kButtonsY = 398;

QString FromUtf8(const std::string& text) {
    QString out;
    ui::Utf8ToText(text, out);
    return out;
}

}  // namespace

const char* const CNetworkInformationDlg::kFieldLabels[4] = {"Zorvic Number", "Zorvic Name",
                                                              "Accounts", "Server Time"};

void CNetworkInformationDlg::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_NETWORKINFO"), kClientSize,
                            QStringLiteral("Network Information"));
}

CNetworkInformationDlg::CNetworkInformationDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                               const net::Timings& timings, Actions actions,
                                               QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), actions_(std::move(actions)), model_(this) {
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_NETWORKINFO"));
    setWindowTitle(QStringLiteral("Network Information"));

    for (int i = 0; i < 4; ++i) {
        fields_[i] = new QLabel(this);
        fields_[i]->setGeometry(kValueX, kFirstRowY + i * kRowStep, kClientSize.width() - kValueX - 24,
                                kRowHeight);
        fields_[i]->setTextFormat(Qt::PlainText);
        fields_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        fields_[i]->setAccessibleName(QString::fromLatin1(kFieldLabels[i]));
    }
    pathLabel_ = new QLabel(QStringLiteral("/"), this);
    pathLabel_->setGeometry(kLabelX + 48, kLogsY, kListRect.width() - 48, kRowHeight);
    pathLabel_->setTextFormat(Qt::PlainText);
    pathLabel_->setAccessibleName(QStringLiteral("Log folder"));

    model_.setColumnCount(3);
    for (int c = 0; c < 3; ++c) {
        model_.setHeaderData(c, Qt::Horizontal, QString::fromLatin1(kColumnTitles[c]));
    }
    list_ = new QTreeView(this);
    list_->setModel(&model_);
    ui::ConfigureListView(*list_);
    list_->setGeometry(kListRect);
    list_->setAccessibleName(QStringLiteral("Logs"));
    list_->header()->setSectionsClickable(false);
    list_->header()->setSectionsMovable(false);
    for (int c = 0; c < 3; ++c) list_->setColumnWidth(c, kColumnWidths[c]);
    connect(list_, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { EntryActivated(index.row()); });

    back_ = new ui::CFixedButton(skin, QStringLiteral("BACKINFO"), this);
    back_->setGeometry(QRect(QPoint(kLabelX, kButtonsY), back_->sizeHint()));
    back_->setAccessibleName(QStringLiteral("Back"));
    back_->setEnabled(false);
    manage_ = new QPushButton(QStringLiteral("Manage Accounts..."), this);
    manage_->setGeometry(214, kButtonsY + 1, 140, 28);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(370, kButtonsY + 1, 76, 28);
    ok_->setDefault(true);

    connect(back_, &QAbstractButton::clicked, this, [this] { Back(); });
    connect(manage_, &QPushButton::clicked, this, [this] { ManageAccounts(); });
    connect(ok_, &QPushButton::clicked, this, &CNetworkInformationDlg::hide);
}

void CNetworkInformationDlg::ShowInformation(const net::NetworkInformation& info) {
    info_ = info;
    Fill();
    if (placed_) {
        ShowInFront(ui::ShowPlacement::Keep());
        return;
    }
    placed_ = true;
    ShowInFront(ui::ShowPlacement::At(CentredTopLeft(ScreenRect(), OuterSize()) + kFirstOffset));
}

void CNetworkInformationDlg::Fill() {
    fields_[0]->setText(QString::fromStdString(FormatZorvicNumber(actions_.number())));
    fields_[1]->setText(FromUtf8(info_.name));
    fields_[2]->setText(QString::fromStdString(net::FormatAccounts(info_.accountCount, info_.onlineCount)));
    fields_[3]->setText(FromUtf8(info_.serverTime));
    pathLabel_->setText(FromUtf8(LogPathLabel(info_.path)));

    model_.removeRows(0, model_.rowCount());
    const QIcon folder(SkinRef().Bitmap(QStringLiteral("IDB_FOLDER")));
    const QIcon file(SkinRef().Bitmap(QStringLiteral("IDB_FILE")));
    for (const net::FolderEntry& entry : info_.entries) {
        auto* name = new QStandardItem(entry.kind == 1 ? folder : file, FromUtf8(entry.name));
        auto* size = new QStandardItem(
            entry.kind == 1 ? QString() : QString::fromStdString(net::FormatEntrySize(entry.size)));
        // The server's time text ends with a line end, which a cell does not show.
        std::string modified = entry.modified;
        if (!modified.empty() && modified.back() == '\n') modified.pop_back();
        auto* when = new QStandardItem(FromUtf8(modified));
        for (QStandardItem* item : {name, size, when}) item->setEditable(false);
        model_.appendRow({name, size, when});
    }
    back_->setEnabled(info_.path != "/");
}

QString CNetworkInformationDlg::FieldText(int field) const {
    return field >= 0 && field < 4 ? fields_[field]->text() : QString();
}

void CNetworkInformationDlg::EntryActivated(int row) {
    if (row < 0 || row >= static_cast<int>(info_.entries.size())) return;
    const net::FolderEntry& entry = info_.entries[static_cast<size_t>(row)];
    switch (ClassifyLogClick(actions_.level(), downloading_, entry.kind, entry.flag != 0)) {
        case LogClick::kNotAdministrator:
            dialogs_.Message(this, QStringLiteral("Error"),
                             QStringLiteral("You must be an administrator to view the nework logs"),
                             ui::MsgIcon::Information);
            return;
        case LogClick::kCancelDownload:
            if (actions_.cancelDownload) actions_.cancelDownload();
            downloading_ = false;
            return;
        case LogClick::kOpenFolder:
            actions_.requestFolder(ChildLogPath(info_.path, entry.name));
            return;
        case LogClick::kLocked:
            return;
        case LogClick::kDownload:
            actions_.downloadLog(info_.path, entry.name);
            return;
    }
}

void CNetworkInformationDlg::Back() {
    actions_.requestFolder(ParentLogPath(info_.path));
}

void CNetworkInformationDlg::ManageAccounts() {
    if (!MayAdminister(actions_.level())) {
        dialogs_.Message(this, QStringLiteral("Error"),
                         QStringLiteral("You must be an administrator in order to manage accounts"),
                         ui::MsgIcon::Information);
        return;
    }
    if (actions_.manageAccounts) actions_.manageAccounts();
}

void CNetworkInformationDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    if (!HasBackground()) return;
    // The words beside the values belong to the window, not to the server.
    QPainter p(this);
    p.setFont(ui::Skin::Font(12, 600));
    p.setPen(ui::Skin::Muted());
    for (int i = 0; i < 4; ++i) {
        const QRect row(kLabelX, kFirstRowY + i * kRowStep, kValueX - kLabelX - 8, kRowHeight);
        p.drawText(row, Qt::AlignVCenter | Qt::AlignLeft, QString::fromLatin1(kFieldLabels[i]));
    }
    p.drawText(QRect(kLabelX, kLogsY, 48, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
               QStringLiteral("Logs"));
    p.setPen(QColor(0xE3, 0xE8, 0xF0));
    p.drawLine(kLabelX, kLogsY - 6, width() - 24, kLogsY - 6);
}

}  // namespace admin
