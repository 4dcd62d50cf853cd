#include "account/AccountInfoDlg.h"

#include <QPainter>

#include "ui/TextConvert.h"

namespace account {

namespace {

constexpr int kLabelX = 28;
constexpr int kValueX = 150;
constexpr int kFirstRowY = 54;
constexpr int kRowStep = 32;
constexpr int kRowHeight = 24;

QString FromUtf8(const std::string& text) {
    QString out;
    ui::Utf8ToText(text, out);
    return out;
}

}  // namespace

const char* const CAccountInfoDlg::kLineLabels[6] = {
    "Full name", "Username", "Password", "Member since", "Sign-ins", "Failed sign-ins",
};

CAccountInfoDlg::CAccountInfoDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                 const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_BKGNDACCOUNTINFO"));
    setWindowTitle(QStringLiteral("Account Information"));

    for (int i = 0; i < 6; ++i) {
        lines_[i] = new QLabel(this);
        lines_[i]->setGeometry(kValueX, kFirstRowY + i * kRowStep, 170, kRowHeight);
        lines_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        lines_[i]->setTextFormat(Qt::PlainText);
        lines_[i]->setAccessibleName(QString::fromLatin1(kLineLabels[i]));
    }
    // Line 6 may be long (up to 50 bytes and its count): it runs to the
    // right edge and wraps onto a second line above the buttons.
    lines_[5]->setGeometry(kValueX, kFirstRowY + 5 * kRowStep + 4, kClientSize.width() - kValueX - 16,
                           2 * kRowHeight);
    lines_[5]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lines_[5]->setWordWrap(true);

    changeName_ = new QPushButton(QStringLiteral("Change..."), this);
    changeName_->setGeometry(330, kFirstRowY - 2, 78, 26);
    changeName_->setAccessibleName(QStringLiteral("Change full name"));
    changePassword_ = new QPushButton(QStringLiteral("Change..."), this);
    changePassword_->setGeometry(330, kFirstRowY + 2 * kRowStep - 2, 78, 26);
    changePassword_->setAccessibleName(QStringLiteral("Change password"));
    history_ = new QPushButton(QStringLiteral("Connection History..."), this);
    history_->setGeometry(24, 262, 150, 28);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(332, 262, 76, 28);
    ok_->setDefault(true);
    setTabOrder(changeName_, changePassword_);
    setTabOrder(changePassword_, history_);
    setTabOrder(history_, ok_);

    connect(changeName_, &QPushButton::clicked, this, &CAccountInfoDlg::changeNameRequested);
    connect(changePassword_, &QPushButton::clicked, this,
            &CAccountInfoDlg::changePasswordRequested);
    connect(history_, &QPushButton::clicked, this, &CAccountInfoDlg::historyRequested);
    connect(ok_, &QPushButton::clicked, this, &CAccountInfoDlg::hide);
}

void CAccountInfoDlg::SetInfo(const AccountInfo& info) {
    info_ = info;
    hasInfo_ = true;
    lines_[0]->setText(FromUtf8(info.fullName));
    lines_[1]->setText(FromUtf8(info.username));
    lines_[2]->setText(QStringLiteral("*******"));
    lines_[3]->setText(FromUtf8(info.line4));
    lines_[4]->setText(QString::asprintf("%i", info.line5));
    lines_[5]->setText(Line6Text(info.line6Count, FromUtf8(info.line6Text)));
}

QString CAccountInfoDlg::LineText(int line) const {
    return line >= 1 && line <= 6 ? lines_[line - 1]->text() : QString();
}

void CAccountInfoDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    if (!HasBackground()) return;
    // The labels are part of the background: the values are the server's.
    QPainter p(this);
    p.setFont(ui::Skin::Font(12, 600));
    for (int i = 0; i < 6; ++i) {
        const QRect row(kLabelX, kFirstRowY + i * kRowStep, kValueX - kLabelX - 8, kRowHeight);
        p.setPen(ui::Skin::Muted());
        p.drawText(row, Qt::AlignVCenter | Qt::AlignLeft, QString::fromLatin1(kLineLabels[i]));
        if (i < 5) {
            p.setPen(QColor(0xE3, 0xE8, 0xF0));
            const int y = kFirstRowY + i * kRowStep + kRowHeight + 3;
            p.drawLine(kLabelX, y, width() - 20, y);
        }
    }
}

}  // namespace account
