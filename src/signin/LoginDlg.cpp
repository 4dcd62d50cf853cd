#include "signin/LoginDlg.h"

#include <QLabel>

#include "signin/LoginFile.h"
#include "signin/SignInChecks.h"
#include "ui/Dialogs.h"
#include "ui/ImageToggle.h"
#include "ui/TextConvert.h"

namespace signin {

CLoginDlg::CLoginDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                     std::string loginFilePath, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), loginFilePath_(std::move(loginFilePath)) {
    SetBackground(QStringLiteral("IDB_BKGNDLOGIN"));
    SetHeading(QStringLiteral("Login"));
    setWindowTitle(QStringLiteral("Login"));

    auto* userLabel = new QLabel(QStringLiteral("&Username:"), this);
    userLabel->setGeometry(30, 52, 76, 22);
    username_ = new QLineEdit(this);
    username_->setMaxLength(kUsernameLimit);
    username_->setGeometry(110, 50, 196, 24);
    userLabel->setBuddy(username_);

    auto* passLabel = new QLabel(QStringLiteral("&Password:"), this);
    passLabel->setGeometry(30, 82, 76, 22);
    password_ = new QLineEdit(this);
    password_->setMaxLength(kPasswordLimit);
    password_->setEchoMode(QLineEdit::Password);
    password_->setGeometry(110, 80, 196, 24);
    passLabel->setBuddy(password_);

    // The words beside the box lie under its clickable area.
    auto* rememberLabel = new QLabel(QStringLiteral("&Remember my login"), this);
    rememberLabel->setGeometry(kRememberPos.x() + 19, kRememberPos.y() - 2, 195, 17);
    rememberLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    remember_ = ui::CImageToggle::CheckBox(skin, this, kRememberPos, kRememberArea);

    // The buttons read in Tab order, left to right: OK, Cancel, then the
    // way to a new account.
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(16, 168, 72, 28);
    cancel_ = new QPushButton(QStringLiteral("C&ancel"), this);
    cancel_->setGeometry(92, 168, 72, 28);
    create_ = new QPushButton(QStringLiteral("&Create Account"), this);
    create_->setGeometry(208, 168, 112, 28);
    // OK is the default while the focus is in a field; a button that has
    // the focus takes Enter itself, so Enter never does what the user did
    // not point at.
    create_->setAutoDefault(true);
    cancel_->setAutoDefault(true);
    ok_->setAutoDefault(true);
    ok_->setDefault(true);

    // Tab order: username, password, the box's proxy, OK, Cancel, Create Account.
    rememberProxy_ = remember_->MakeFocusProxy(QStringLiteral("Remember my login"));
    rememberLabel->setBuddy(rememberProxy_);
    remember_->SetFocusControls(password_, rememberProxy_, ok_);
    setTabOrder(username_, password_);
    setTabOrder(password_, rememberProxy_);
    setTabOrder(rememberProxy_, ok_);
    setTabOrder(ok_, cancel_);
    setTabOrder(cancel_, create_);

    connect(ok_, &QPushButton::clicked, this, &CLoginDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CLoginDlg::reject);
    connect(create_, &QPushButton::clicked, this, [this] {
        hide();
        emit createAccountRequested();
    });
}

void CLoginDlg::LoadRememberedLogin() {
    RememberedLogin login;
    if (!ReadLoginFile(loginFilePath_, login)) {
        remember_->SetValue(false);
        username_->clear();
        password_->clear();
        return;
    }
    QString user;
    QString pass;
    ui::Utf8ToText(login.username, user);
    ui::Utf8ToText(login.password, pass);
    username_->setText(user);
    password_->setText(pass);
    remember_->SetValue(true);
}

void CLoginDlg::ShowLogin() {
    ShowInFront();
}

void CLoginDlg::OnShownInFront() {
    username_->selectAll();
    ok_->setDefault(true);
    (focusPassword_ ? password_ : username_)->setFocus();
}

void CLoginDlg::SetNetwork(const std::string& number) {
    QString dotted = QString::fromUtf8(number.data(), qsizetype(number.size()));
    if (dotted.size() > 3) dotted.insert(3, QLatin1Char('.'));
    SetHeading(QStringLiteral("Login"), QStringLiteral("Network %1").arg(dotted));
}

void CLoginDlg::SetCreatedAccount(const QString& username) {
    username_->setText(username);
    password_->clear();
    focusPassword_ = true;
}

bool CLoginDlg::Confirm() {
    const QString username = username_->text();
    const QString password = password_->text();
    const QString problem = CheckLoginFields(username, password);
    if (!problem.isEmpty()) {
        dialogs_.Message(this, QStringLiteral("Error"), problem, ui::MsgIcon::Error);
        return false;
    }
    const std::string user = ui::TextToUtf8(username);
    const std::string pass = ui::TextToUtf8(password);
    // Failing to keep or remove the file is not a reason to stop the login.
    if (remember_->Value()) {
        WriteLoginFile(loginFilePath_, {user, pass});
    } else {
        DeleteLoginFile(loginFilePath_);
    }
    emit loginRequested(user, pass);
    return true;
}

void CLoginDlg::accept() {
    Confirm();
}

void CLoginDlg::reject() {
    hide();
    emit backRequested();
}

}  // namespace signin
