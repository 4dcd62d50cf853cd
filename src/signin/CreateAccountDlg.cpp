#include "signin/CreateAccountDlg.h"

#include <QLabel>
#include <QPainter>

#include "ui/Dialogs.h"

namespace signin {
namespace {

QLineEdit* AddField(QWidget* parent, const QString& label, int y, int limit) {
    auto* text = new QLabel(label, parent);
    text->setGeometry(20, y + 2, 124, 22);
    auto* edit = new QLineEdit(parent);
    edit->setMaxLength(limit);
    edit->setGeometry(148, y, 166, 24);
    text->setBuddy(edit);
    return edit;
}

}  // namespace

CCreateAccountDlg::CCreateAccountDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                     const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    SetBackground(QStringLiteral("IDB_CREATEACCOUNT"));
    SetHeading(QStringLiteral("Create Account"));
    setWindowTitle(QStringLiteral("Create Account"));

    fullName_ = AddField(this, QStringLiteral("&Full name:"), 52, kFullNameLimit);
    username_ = AddField(this, QStringLiteral("&Username:"), 84, kUsernameLimit);
    password_ = AddField(this, QStringLiteral("&Password:"), 116, kPasswordLimit);
    passwordAgain_ = AddField(this, QStringLiteral("Password a&gain:"), 148, kPasswordLimit);
    password_->setEchoMode(QLineEdit::Password);
    passwordAgain_->setEchoMode(QLineEdit::Password);

    code_ = new QLineEdit(this);
    code_->setMaxLength(kCreationCodeLimit);
    code_->setGeometry(20, 212, 294, 24);
    // The words over the field are a picture; name the field for assistive
    // tools.
    code_->setAccessibleName(QStringLiteral("Account creation code"));

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(166, 290, 72, 28);
    cancel_ = new QPushButton(QStringLiteral("C&ancel"), this);
    cancel_->setGeometry(242, 290, 72, 28);
    // OK is the default from the fields; a focused button takes Enter itself.
    ok_->setAutoDefault(true);
    cancel_->setAutoDefault(true);
    ok_->setDefault(true);
    setTabOrder(fullName_, username_);
    setTabOrder(username_, password_);
    setTabOrder(password_, passwordAgain_);
    setTabOrder(passwordAgain_, code_);
    setTabOrder(code_, ok_);
    setTabOrder(ok_, cancel_);
    connect(ok_, &QPushButton::clicked, this, &CCreateAccountDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CCreateAccountDlg::reject);

    delayTimer_.setSingleShot(true);
    // The caller's delay is the whole pause before the form appears; the
    // form then comes up at once rather than after a second pause.
    connect(&delayTimer_, &QTimer::timeout, this, [this] { ShowInFrontNow(); });
    SetCodeRequired(false);
}

void CCreateAccountDlg::SetCodeRequired(bool required) {
    codeRequired_ = required;
    code_->setEnabled(required);
    codeLabel_ = skin_.Bitmap(required ? QStringLiteral("IDB_ACCOUNTCODEREQUIRED")
                                       : QStringLiteral("IDB_ACCOUNTCODENOTREQUIRED"));
    update();
}

void CCreateAccountDlg::ShowForm(bool codeRequired, std::chrono::milliseconds delay) {
    SetCodeRequired(codeRequired);
    delayTimer_.start(delay);
}

void CCreateAccountDlg::ShowAgain() {
    ShowInFront();
}

void CCreateAccountDlg::OnShownInFront() {
    if (focusWidget() == nullptr || !focusWidget()->isEnabled()) fullName_->setFocus();
}

CreationForm CCreateAccountDlg::Form() const {
    return {fullName_->text(), username_->text(), password_->text(), passwordAgain_->text(),
            code_->text()};
}

bool CCreateAccountDlg::Confirm() {
    CreationForm form = Form();
    const CreationCheckResult check = CheckCreationForm(form, codeRequired_);
    if (!check.Passed()) {
        dialogs_.Message(this, QStringLiteral("Error"), check.message, check.icon);
        return false;
    }
    // A code typed while an earlier network asked for one is not sent.
    if (!codeRequired_) form.code.clear();
    emit creationRequested(form);
    return true;
}

void CCreateAccountDlg::accept() {
    Confirm();
}

void CCreateAccountDlg::reject() {
    delayTimer_.stop();
    hide();
    emit cancelled();
}

void CCreateAccountDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    if (codeLabel_.isNull()) return;
    QPainter p(this);
    p.drawPixmap(kCodeLabelPos, codeLabel_);
}

}  // namespace signin
