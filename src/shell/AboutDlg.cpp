#include "shell/AboutDlg.h"

#include <QLabel>
#include <QPushButton>

namespace shell {

namespace {
const QSize kClientSize(375, 182);
const QString kBackground = QStringLiteral("IDB_ABOUTDLG");
}  // namespace

QString ProgramVersion() {
#ifdef PALINDOR_VERSION
    return QStringLiteral(PALINDOR_VERSION);
#else
    return QStringLiteral("development build");
#endif
}

CAboutDlg::CAboutDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                     QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("About Palindor"));
    setModal(true);
    SetClientSize(kClientSize);
    SetBackground(kBackground);
    const int top = qMax(skin_.HeaderHeight(kBackground), 8) + 14;

    name_ = new QLabel(QStringLiteral("Palindor"), this);
    name_->setFont(ui::Skin::Font(18, 700));
    name_->setStyleSheet(QStringLiteral("color: %1;").arg(ui::Skin::Navy().name()));
    name_->setGeometry(24, top, kClientSize.width() - 48, 26);

    version_ = new QLabel(VersionText(), this);
    version_->setFont(ui::Skin::Font(12, 600));
    version_->setStyleSheet(QStringLiteral("color: %1;").arg(ui::Skin::Accent().name()));
    version_->setGeometry(24, top + 28, kClientSize.width() - 48, 18);

    line_ = new QLabel(
        QStringLiteral("Contacts, sessions, mail, polls, whiteboards and shared documents "
                       "on your private zorvic networks."),
        this);
    line_->setWordWrap(true);
    line_->setFont(ui::Skin::Font(11));
    line_->setStyleSheet(QStringLiteral("color: %1;").arg(ui::Skin::Ink().name()));
    line_->setGeometry(24, top + 52, kClientSize.width() - 48, 34);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(kClientSize.width() - 16 - 80, kClientSize.height() - 38, 80, 26);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

QString CAboutDlg::VersionText() const {
    return QStringLiteral("Version %1").arg(ProgramVersion());
}

}  // namespace shell
