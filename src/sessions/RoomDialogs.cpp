#include "sessions/RoomDialogs.h"

#include <QButtonGroup>
#include <QPushButton>

#include "sessions/SessionModel.h"
#include "ui/Dialogs.h"
#include "ui/ImageToggle.h"
#include "ui/TextConvert.h"

namespace sessions {

namespace {

QLabel* Label(QWidget* parent, const QString& text, const QRect& at, QWidget* buddy = nullptr) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(at);
    if (buddy) label->setBuddy(buddy);
    return label;
}

void OkCancel(ui::CSkinnedDlg* dlg, QPushButton*& ok, int right, int y) {
    ok = new QPushButton(QStringLiteral("OK"), dlg);
    ok->setGeometry(right - 156, y, 76, 28);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dlg);
    cancel->setGeometry(right - 76, y, 76, 28);
    ok->setAutoDefault(true);
    cancel->setAutoDefault(true);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dlg, &QDialog::reject);
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

// --- Invite ---

CSessionInviteDlg::CSessionInviteDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                     const net::Timings& timings, Send send, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), send_(std::move(send)) {
    const QString background = QStringLiteral("IDB_BKGNDSESSIONINVITE");
    SetBackground(background);
    setWindowTitle(QStringLiteral("Invite"));
    int y = skin.HeaderHeight(background) + 16;
    invitee_ = new QLineEdit(this);
    invitee_->setMaxLength(kMaxAccountName);
    invitee_->setGeometry(130, y - 3, 150, 24);
    Label(this, QStringLiteral("&Account name:"), QRect(18, y, 108, 18), invitee_);
    y += 34;
    const QPoint boxAt(18, y + 2);
    auto* boxLabel = new QLabel(QStringLiteral("&Require Password (if session is private)"), this);
    boxLabel->setGeometry(boxAt.x() + 19, boxAt.y() - 2, 260, 17);
    boxLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    require_ = ui::CImageToggle::CheckBox(skin, this, boxAt, QSize(262, 13));
    QWidget* proxy = require_->MakeFocusProxy(QStringLiteral("Require Password (if session is private)"));
    boxLabel->setBuddy(proxy);
    y += 36;
    OkCancel(this, ok_, 280, y);
    require_->SetFocusControls(invitee_, proxy, ok_);
}

void CSessionInviteDlg::Open(const std::string& sessionId) {
    id_ = sessionId;
    ShowInFront();
}

void CSessionInviteDlg::accept() {
    const std::string name = ui::TextToUtf8(invitee_->text());
    const std::string error = CheckInvitee(name);
    if (!error.empty()) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromUtf8(error.c_str()));
        return;
    }
    // The password goes with the invitation unless the box asks the
    // invitee to type it.
    if (send_) send_(id_, name, require_->Value() ? 0 : 1);
    hide();
}

// --- Remove Participant ---

CRemoveParticipantDlg::CRemoveParticipantDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                             const net::Timings& timings, Send send,
                                             QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), send_(std::move(send)) {
    const QString background = QStringLiteral("IDB_BKGNDREMOVEPARTICIPANT");
    SetBackground(background);
    setWindowTitle(QStringLiteral("Remove Participant"));
    int y = skin.HeaderHeight(background) + 12;
    heading_ = new QLabel(this);
    heading_->setTextFormat(Qt::PlainText);
    heading_->setGeometry(18, y, 284, 18);
    y += 26;
    removeOnly_ = new QRadioButton(QStringLiteral("Remove &only"), this);
    removeOnly_->setGeometry(18, y, 280, 20);
    y += 26;
    ban_ = new QRadioButton(QStringLiteral("Remove and &ban from session"), this);
    ban_->setGeometry(18, y, 280, 20);
    y += 28;
    auto* group = new QButtonGroup(this);
    group->addButton(removeOnly_);
    group->addButton(ban_);
    minutes_ = new QLineEdit(this);
    minutes_->setMaxLength(5);
    minutes_->setGeometry(100, y - 3, 60, 24);
    Label(this, QStringLiteral("Ban &for"), QRect(38, y, 58, 18), minutes_);
    Label(this, QStringLiteral("minutes"), QRect(166, y, 80, 18));
    y += 40;
    OkCancel(this, ok_, 302, y);
    connect(ban_, &QRadioButton::toggled, minutes_, &QLineEdit::setEnabled);
    minutes_->setEnabled(false);
}

void CRemoveParticipantDlg::Open(const std::string& sessionId, const std::string& account) {
    id_ = sessionId;
    account_ = account;
    heading_->setText(QStringLiteral("Remove %1 from the session:").arg(FromUtf8(account)));
    // Neither choice: OK does nothing until one is made.
    removeOnly_->group()->setExclusive(false);
    removeOnly_->setChecked(false);
    ban_->setChecked(false);
    removeOnly_->group()->setExclusive(true);
    minutes_->setEnabled(false);
    ShowInFront();
}

void CRemoveParticipantDlg::accept() {
    std::string error;
    const auto minutes = BanMinutesFor(removeOnly_->isChecked(), ban_->isChecked(),
                                       minutes_->text().trimmed().toStdString(), error);
    if (!minutes) {
        if (!error.empty())
            dialogs_.Message(this, QStringLiteral("Error"), QString::fromUtf8(error.c_str()),
                             ui::MsgIcon::Error);
        return;
    }
    if (send_) send_(id_, account_, *minutes);
    hide();
}

// --- Session Info ---

CSessionInfoDlg::CSessionInfoDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                 const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    const QString background = QStringLiteral("IDB_BKGNDSESSIONINFO");
    SetBackground(background);
    setWindowTitle(QStringLiteral("Session Info"));
    static const char* const kFields[] = {"Identifier:",   "Name:",         "Introduction:",
                                          "Created by:",   "Date created:", "Participants:",
                                          "Private:"};
    int y = skin.HeaderHeight(background) + 12;
    for (size_t i = 0; i < values_.size(); ++i) {
        const int height = i == 2 ? 84 : 18;
        auto* value = new QLabel(this);
        // Every value is the server's text: shown as it is, never as markup.
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setWordWrap(i == 2);
        value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        value->setGeometry(120, y, 262, height);
        Label(this, QString::fromLatin1(kFields[i]), QRect(18, y, 98, 18))
            ->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        values_[i] = value;
        y += height + 8;
    }
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(306, y + 4, 76, 28);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void CSessionInfoDlg::Fill(const SessionInfo& info) {
    id_ = info.id;
    values_[0]->setText(FromUtf8(info.id));
    values_[1]->setText(FromUtf8(info.name));
    QString description = FromUtf8(info.description);
    description.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    values_[2]->setText(description);
    values_[3]->setText(FromUtf8(info.creator));
    values_[4]->setText(FromUtf8(info.created));
    values_[5]->setText(QString::fromUtf8(ParticipantsText(info).c_str()));
    values_[6]->setText(info.isPrivate ? QStringLiteral("Yes") : QStringLiteral("No"));
    ShowInFront();
}

void CSessionInfoDlg::OnShownInFront() {
    ok_->setFocus();
}

}  // namespace sessions
