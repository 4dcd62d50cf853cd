#include "contacts/InvitePromptDlg.h"

#include <QPushButton>

namespace contacts {

CInvitePromptDlg::CInvitePromptDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                   const net::Timings& timings, Join join, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), join_(std::move(join)) {
    SetBackground(QStringLiteral("IDB_INVITEPROMPT"));
    setWindowTitle(QStringLiteral("Invitation"));
    const int top = qMax(skin.HeaderHeight(QStringLiteral("IDB_INVITEPROMPT")), 30);
    inviter_ = new QLabel(this);
    inviter_->setGeometry(16, top + 6, 328, 20);
    inviter_->setTextFormat(Qt::PlainText);
    session_ = new QLabel(this);
    session_->setGeometry(16, top + 28, 328, 20);
    session_->setTextFormat(Qt::PlainText);
    QFont bold = session_->font();
    bold.setBold(true);
    session_->setFont(bold);
    accept_ = new QPushButton(QStringLiteral("Accept"), this);
    accept_->setGeometry(196, 112, 72, 28);
    accept_->setDefault(true);
    decline_ = new QPushButton(QStringLiteral("Decline"), this);
    decline_->setGeometry(272, 112, 72, 28);
    connect(accept_, &QPushButton::clicked, this, [this] {
        if (join_) join_(sessionId_, password_);
        hide();
    });
    connect(decline_, &QPushButton::clicked, this, &QWidget::hide);
}

void CInvitePromptDlg::Fill(const std::string& inviter, const std::string& sessionName,
                            const std::string& sessionId, bool hasPassword,
                            const std::string& password) {
    inviter_->setText(QStringLiteral("%1 has invited you to join the following session:")
                          .arg(QString::fromUtf8(inviter.c_str())));
    session_->setText(QString::fromUtf8(sessionName.c_str()));
    sessionId_ = sessionId;
    password_ = hasPassword ? password : std::string();
    ShowInFront(ui::ShowPlacement::Centred());
}

}  // namespace contacts
