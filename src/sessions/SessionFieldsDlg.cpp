#include "sessions/SessionFieldsDlg.h"

#include <QLabel>

#include "ui/Dialogs.h"
#include "ui/ImageToggle.h"
#include "ui/TextConvert.h"

namespace sessions {

namespace {

QLabel* Label(QWidget* parent, const QString& text, const QRect& at, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(at);
    if (buddy) label->setBuddy(buddy);
    return label;
}

// The typed maximum when it is a whole number of 1..200.
bool ParseMaximum(const QString& text, int32_t& out) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < kMinParticipants || value > kMaxParticipants) return false;
    out = value;
    return true;
}

}  // namespace

CSessionFieldsDlg::CSessionFieldsDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                     const net::Timings& timings, bool withName,
                                     const QString& background, const QString& heading,
                                     QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), withName_(withName) {
    SetBackground(background);
    SetHeading(heading);
    setWindowTitle(heading);
    int y = skin.HeaderHeight(background) + 14;

    if (withName) {
        name_ = new QLineEdit(this);
        name_->setMaxLength(kMaxName);
        name_->setGeometry(170, y - 3, 196, 24);
        Label(this, QStringLiteral("&Name:"), QRect(18, y, 148, 18), name_);
        y += 32;
    }
    maximum_ = new QLineEdit(QStringLiteral("20"), this);
    maximum_->setGeometry(170, y - 3, 56, 24);
    Label(this, QStringLiteral("&Maximum participants:"), QRect(18, y, 148, 18), maximum_);
    y += 32;
    description_ = new QPlainTextEdit(this);
    Label(this, QStringLiteral("&Introduction:"), QRect(18, y, 148, 18), description_);
    description_->setGeometry(18, y + 20, 348, 84);
    description_->setTabChangesFocus(true);
    y += 116;

    const QPoint boxAt(18, y + 2);
    auto* boxLabel = new QLabel(QStringLiteral("&Private (joining needs the password)"), this);
    boxLabel->setGeometry(boxAt.x() + 19, boxAt.y() - 2, 300, 17);
    boxLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    private_ = ui::CImageToggle::CheckBox(skin, this, boxAt, QSize(300, 13));
    QWidget* proxy = private_->MakeFocusProxy(QStringLiteral("Private"));
    boxLabel->setBuddy(proxy);
    y += 26;

    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    password_->setGeometry(170, y - 3, 196, 24);
    Label(this, QStringLiteral("Pass&word:"), QRect(18, y, 148, 18), password_);
    y += 32;
    confirm_ = new QLineEdit(this);
    confirm_->setEchoMode(QLineEdit::Password);
    confirm_->setGeometry(170, y - 3, 196, 24);
    Label(this, QStringLiteral("&Confirm password:"), QRect(18, y, 148, 18), confirm_);
    y += 40;

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(210, y, 76, 28);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(290, y, 76, 28);
    ok_->setAutoDefault(true);
    cancel_->setAutoDefault(true);
    ok_->setDefault(true);

    private_->SetFocusControls(description_, proxy, password_);
    private_->SetChangeCallback([this](bool on, QWidget*) { SetPrivate(on); });
    SetPrivate(false);
    connect(ok_, &QPushButton::clicked, this, &CSessionFieldsDlg::accept);
    connect(cancel_, &QPushButton::clicked, this, &CSessionFieldsDlg::reject);
}

void CSessionFieldsDlg::SetPrivate(bool isPrivate) {
    if (private_->Value() != isPrivate) private_->SetValue(isPrivate);
    password_->setEnabled(isPrivate);
    confirm_->setEnabled(isPrivate);
}

bool CSessionFieldsDlg::Confirm() {
    int32_t maximum = 0;
    if (!ParseMaximum(maximum_->text(), maximum)) {
        dialogs_.Message(this, QStringLiteral("Error"),
                         QStringLiteral("Please enter an integer between %1 and %2.")
                             .arg(kMinParticipants)
                             .arg(kMaxParticipants),
                         ui::MsgIcon::Error);
        maximum_->setFocus();
        return false;
    }
    SessionFields fields;
    if (withName_) fields.name = ui::TextToUtf8(name_->text());
    fields.description = ui::TextToUtf8(description_->toPlainText());
    fields.isPrivate = private_->Value();
    fields.password = ui::TextToUtf8(password_->text());
    fields.confirmation = ui::TextToUtf8(confirm_->text());
    const std::string problem = CheckSessionFields(fields, withName_);
    if (!problem.empty()) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromStdString(problem),
                         ui::MsgIcon::Error);
        return false;
    }
    hide();
    if (submit_) submit_(fields, maximum);
    return true;
}

void CSessionFieldsDlg::accept() {
    Confirm();
}

CCreateSessionDlg::CCreateSessionDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                     const net::Timings& timings, QWidget* parent)
    : CSessionFieldsDlg(skin, dialogs, timings, true, QStringLiteral("IDB_BKGNDCREATESESSION"),
                        QStringLiteral("Create Session"), parent) {}

CModifySessionDlg::CModifySessionDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                     const net::Timings& timings, QWidget* parent)
    : CSessionFieldsDlg(skin, dialogs, timings, false, QStringLiteral("IDB_BKGNDMODIFYSESSION"),
                        QStringLiteral("Modify Session"), parent) {}

void CModifySessionDlg::Fill(const SessionForModify& data) {
    sessionId_ = data.id;
    QString text;
    ui::Utf8ToText(data.description, text);
    DescriptionField()->setPlainText(text);
    MaximumField()->setText(QString::number(data.maxParticipants));
    // No length limit on these fields: a received password is shown whole,
    // so that OK refuses one that is too long instead of sending it cut.
    QString password;
    ui::Utf8ToText(data.password, password);
    PasswordField()->setText(password);
    ConfirmField()->setText(password);
    SetPrivate(data.isPrivate == 1);
}

CPasswordRequiredDlg::CPasswordRequiredDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                           const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    const QString background = QStringLiteral("IDB_BKGNDPASSWORDREQUIRED");
    SetBackground(background);
    SetHeading(QStringLiteral("Password Required"));
    setWindowTitle(QStringLiteral("Password Required"));
    const int y = skin.HeaderHeight(background) + 14;
    auto* note =
        new QLabel(QStringLiteral("This session is private. Type its password to join."), this);
    note->setGeometry(18, y, 300, 18);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    password_->setGeometry(110, y + 29, 196, 24);
    Label(this, QStringLiteral("&Password:"), QRect(18, y + 32, 88, 18), password_);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(150, y + 68, 76, 28);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setGeometry(230, y + 68, 76, 28);
    ok_->setAutoDefault(true);
    cancel->setAutoDefault(true);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &CPasswordRequiredDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CPasswordRequiredDlg::reject);
}

void CPasswordRequiredDlg::Open(const std::string& sessionId) {
    sessionId_ = sessionId;
    ShowInFront();
}

bool CPasswordRequiredDlg::Confirm() {
    const std::string password = ui::TextToUtf8(password_->text());
    const std::string problem = CheckJoinPassword(password);
    if (!problem.empty()) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromStdString(problem),
                         ui::MsgIcon::Error);
        return false;
    }
    if (join_) join_(sessionId_, password);
    password_->clear();
    hide();
    return true;
}

void CPasswordRequiredDlg::accept() {
    Confirm();
}

}  // namespace sessions
