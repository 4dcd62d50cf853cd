#include "account/AccountChangeDlgs.h"

#include <QLabel>

#include "account/MsgAccount.h"
#include "ui/Dialogs.h"
#include "ui/TextConvert.h"

namespace account {

namespace {

void PlaceButtons(QDialog* window, QPushButton* ok, QPushButton* cancel, int y) {
    const int right = window->width() - 16;
    cancel->setGeometry(right - 80, y, 80, 28);
    ok->setGeometry(right - 80 - 8 - 80, y, 80, 28);
    ok->setAutoDefault(true);
    cancel->setAutoDefault(true);
    ok->setDefault(true);
}

}  // namespace

// --- Change name ---

CAccountChangeFullNameDlg::CAccountChangeFullNameDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                                     const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_BKGNDACCOUNTCHANGEFULLNAME"));
    setWindowTitle(QStringLiteral("Change Name"));

    auto* label = new QLabel(QStringLiteral("&Full name:"), this);
    label->setGeometry(16, 44, 256, 18);
    // Not limited: a name that is too long must reach the check and its message.
    name_ = new QLineEdit(this);
    name_->setGeometry(16, 64, 256, 24);
    label->setBuddy(name_);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceButtons(this, ok_, cancel_, 98);
    setTabOrder(name_, ok_);
    setTabOrder(ok_, cancel_);
    connect(ok_, &QPushButton::clicked, this, &CAccountChangeFullNameDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CAccountChangeFullNameDlg::reject);
}

void CAccountChangeFullNameDlg::Open(const QString& fullName) {
    name_->setText(fullName);
    name_->selectAll();
    name_->setFocus();
    ShowInFront();
}

void CAccountChangeFullNameDlg::accept() {
    const QString name = name_->text();
    const QString problem = CheckFullName(name);
    if (!problem.isEmpty()) {
        dialogs_.Message(this, QStringLiteral("Error"), problem, ui::MsgIcon::Error);
        return;
    }
    hide();
    emit nameChosen(ui::TextToUtf8(name));
}

// --- Change password ---

CAccountChangePasswordDlg::CAccountChangePasswordDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                                     const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_BKGNDACCOUNTCHANGEPASSWORD"));
    setWindowTitle(QStringLiteral("Change Password"));

    const char* labels[] = {"&Old password:", "&New password:", "New password &again:"};
    QLineEdit** fields[] = {&old_, &new_, &again_};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromLatin1(labels[i]), this);
        label->setGeometry(20, 54 + i * 34, 140, 24);
        auto* field = new QLineEdit(this);
        field->setGeometry(164, 54 + i * 34, 173, 24);
        field->setMaxLength(kFieldLimit);
        field->setEchoMode(QLineEdit::Password);
        label->setBuddy(field);
        *fields[i] = field;
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceButtons(this, ok_, cancel_, 158);
    setTabOrder(old_, new_);
    setTabOrder(new_, again_);
    setTabOrder(again_, ok_);
    setTabOrder(ok_, cancel_);
    connect(ok_, &QPushButton::clicked, this, &CAccountChangePasswordDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CAccountChangePasswordDlg::reject);
}

void CAccountChangePasswordDlg::Open(const std::string& keptPassword) {
    kept_ = keptPassword;
    old_->clear();
    new_->clear();
    again_->clear();
    old_->setFocus();
    ShowInFront();
}

void CAccountChangePasswordDlg::accept() {
    const QString problem =
        CheckNewPassword(kept_, old_->text(), new_->text(), again_->text());
    if (!problem.isEmpty()) {
        dialogs_.Message(this, QStringLiteral("Error"), problem, ui::MsgIcon::Error);
        return;
    }
    hide();
    emit passwordChosen(ui::TextToUtf8(new_->text()));
}

}  // namespace account
