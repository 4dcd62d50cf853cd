#include "mailbox/MailboxSmallDlgs.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "mailbox/MailboxFormats.h"
#include "ui/Dialogs.h"

namespace mailbox {

namespace {

QLabel* Caption(const QString& text, QWidget* buddy, const QRect& at, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(at);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

// ---- New Mailbox Folder ------------------------------------------------------

CMailboxFolderCreateDlg::CMailboxFolderCreateDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                                 const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("New Mailbox Folder"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_MAILBOXFOLDERCREATE"));
    const int top = qMax(skin_.HeaderHeight(QStringLiteral("IDB_MAILBOXFOLDERCREATE")), 8) + 10;

    types_ = new QListWidget(this);
    types_->addItems({QStringLiteral("Inbox"), QStringLiteral("Outbox")});
    types_->setGeometry(100, top, 184, 48);
    types_->setAccessibleName(QStringLiteral("Folder type"));
    Caption(QStringLiteral("Folder &type:"), types_, QRect(16, top, 80, 22), this);

    name_ = new QLineEdit(this);
    name_->setMaxLength(static_cast<int>(kMaxFolderNameTyped));
    name_->setGeometry(100, top + 62, 184, 24);
    name_->setAccessibleName(QStringLiteral("Folder name"));
    Caption(QStringLiteral("Folder &name:"), name_, QRect(16, top + 62, 80, 24), this);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(kClientSize.width() - 16 - 80 - 8 - 80, kClientSize.height() - 40, 80, 26);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(kClientSize.width() - 16 - 80, kClientSize.height() - 40, 80, 26);
    connect(ok_, &QPushButton::clicked, this, &CMailboxFolderCreateDlg::Confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(name_, &QLineEdit::returnPressed, this, &CMailboxFolderCreateDlg::Confirm);
    setTabOrder(types_, name_);
    setTabOrder(name_, ok_);
    setTabOrder(ok_, cancel_);
    types_->setCurrentRow(0);
}

void CMailboxFolderCreateDlg::Open() {
    name_->clear();
    if (placed_) {
        ShowInFront(ui::ShowPlacement::Keep());
    } else {
        placed_ = true;
        ShowInFront(ui::ShowPlacement::Centred());
    }
}

void CMailboxFolderCreateDlg::OnShownInFront() {
    name_->setFocus(Qt::OtherFocusReason);
}

void CMailboxFolderCreateDlg::Confirm() {
    const int type = types_->currentItem() != nullptr && types_->currentItem()->isSelected()
                         ? types_->currentRow()
                         : -1;
    const std::string name = name_->text().toStdString();
    const std::string error = CheckNewFolder(type, name);
    if (!error.empty()) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromStdString(error),
                         ui::MsgIcon::Information);
        return;
    }
    if (create_) create_(type == 0 ? kRootInbox : kRootOutbox, name);
    hide();
}

// ---- Select Folder ---------------------------------------------------------------

CMailboxSelectFolderDlg::CMailboxSelectFolderDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                                 const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("Select Folder"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_MAILBOXSELECTFOLDER"));
    const int top = qMax(skin_.HeaderHeight(QStringLiteral("IDB_MAILBOXSELECTFOLDER")), 8) + 10;
    list_ = new QListWidget(this);
    list_->setGeometry(16, top, kClientSize.width() - 32, kClientSize.height() - top - 56);
    list_->setAccessibleName(QStringLiteral("Folders"));
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(kClientSize.width() - 16 - 80 - 8 - 80, kClientSize.height() - 40, 80, 26);
    ok_->setDefault(true);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(kClientSize.width() - 16 - 80, kClientSize.height() - 40, 80, 26);
    connect(ok_, &QPushButton::clicked, this, &CMailboxSelectFolderDlg::Confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemDoubleClicked, this, &CMailboxSelectFolderDlg::Confirm);
    setTabOrder(list_, ok_);
    setTabOrder(ok_, cancel_);
}

void CMailboxSelectFolderDlg::Open(const QStringList& keys) {
    list_->clear();
    list_->addItems(keys);
    if (list_->count() > 0) list_->setCurrentRow(0);
    ShowInFront(ui::ShowPlacement::Centred());
}

void CMailboxSelectFolderDlg::Confirm() {
    QListWidgetItem* item = list_->currentItem();
    // Nothing chosen (an empty root): there is nowhere to move to.
    if (item == nullptr) {
        hide();
        return;
    }
    const QString key = item->text();
    if (chosen_) chosen_(key);
    hide();
}

// ---- Mailbox Alert -----------------------------------------------------------------

CMailboxAlertDlg::CMailboxAlertDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                   const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("Mailbox Alert"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_MAILALERT"));
    const int top = qMax(skin_.HeaderHeight(QStringLiteral("IDB_MAILALERT")), 8);
    auto* picture = new QLabel(this);
    picture->setPixmap(skin_.Bitmap(QStringLiteral("MAILACTIVEU")));
    picture->setGeometry(24, top + 14, 36, 36);
    auto* words = new QLabel(QStringLiteral("You have new mail."), this);
    QFont f = words->font();
    f.setPixelSize(15);
    f.setBold(true);
    words->setFont(f);
    words->setGeometry(76, top + 14, kClientSize.width() - 92, 36);
    goButton_ = new QPushButton(QStringLiteral("Go to Mailbox"), this);
    goButton_->setGeometry(kClientSize.width() - 16 - 80 - 8 - 110, kClientSize.height() - 40, 110,
                           26);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(kClientSize.width() - 16 - 80, kClientSize.height() - 40, 80, 26);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(goButton_, &QPushButton::clicked, this, [this] {
        hide();
        if (go_) go_();
    });
    setTabOrder(goButton_, ok_);
}

}  // namespace mailbox
