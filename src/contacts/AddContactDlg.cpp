#include "contacts/AddContactDlg.h"

#include <QLabel>

#include "ui/Dialogs.h"
#include "ui/TextConvert.h"

namespace contacts {

CAddContactDlg::CAddContactDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                               const net::Timings& timings, Check check, Add add, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), check_(std::move(check)), add_(std::move(add)) {
    SetBackground(QStringLiteral("IDB_ADDCONTACT"));
    setWindowTitle(QStringLiteral("Add New Contact"));
    const int top = qMax(skin.HeaderHeight(QStringLiteral("IDB_ADDCONTACT")), 36);

    auto* label = new QLabel(QStringLiteral("&Username:"), this);
    label->setGeometry(20, top + 14, 76, 22);
    username_ = new QLineEdit(this);
    username_->setGeometry(100, top + 12, 180, 24);
    username_->setAccessibleName(QStringLiteral("Username"));
    label->setBuddy(username_);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(132, top + 52, 72, 28);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(208, top + 52, 72, 28);
    ok_->setAutoDefault(true);
    cancel_->setAutoDefault(true);
    ok_->setDefault(true);
    setTabOrder(username_, ok_);
    setTabOrder(ok_, cancel_);

    connect(ok_, &QPushButton::clicked, this, &CAddContactDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CAddContactDlg::reject);
}

void CAddContactDlg::Open() {
    username_->clear();
    ShowInFront(ui::ShowPlacement::Centred());
}

void CAddContactDlg::OnShownInFront() {
    ok_->setDefault(true);
    username_->setFocus();
}

void CAddContactDlg::accept() {
    const QString typed = username_->text();
    if (check_) {
        if (const auto problem = check_(typed)) {
            dialogs_.Message(this, QStringLiteral("Error"), QString::fromStdString(*problem),
                             ui::MsgIcon::Error);
            return;
        }
    }
    hide();
    if (add_) add_(ui::TextToUtf8(typed));
}

}  // namespace contacts
