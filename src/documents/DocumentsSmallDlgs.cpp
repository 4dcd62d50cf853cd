#include "documents/DocumentsSmallDlgs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "documents/DocumentNames.h"
#include "ui/Dialogs.h"

namespace documents {

namespace {

// OK and Cancel at the bottom right of a window of `size`.
void PlaceOkCancel(QPushButton* ok, QPushButton* cancel, const QSize& size) {
    ok->setGeometry(size.width() - 16 - 80 - 8 - 80, size.height() - 40, 80, 26);
    cancel->setGeometry(size.width() - 16 - 80, size.height() - 40, 80, 26);
    ok->setDefault(true);
}

int Top(const ui::Skin& skin, const QString& background) {
    return qMax(skin.HeaderHeight(background), 8) + 10;
}

void ShowError(ui::Dialogs& dialogs, QWidget* over, const std::string& text) {
    dialogs.Message(over, QStringLiteral("Error"), QString::fromStdString(text),
                    ui::MsgIcon::Information);
}

}  // namespace

// ---- One box ---------------------------------------------------------------

CDocumentsTextDlg::CDocumentsTextDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                     const net::Timings& timings, const Spec& spec,
                                     QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(spec.title);
    SetClientSize(kClientSize);
    SetBackground(spec.background);
    const int top = Top(skin_, spec.background);
    prompt_ = new QLabel(spec.prompt, this);
    prompt_->setWordWrap(true);
    prompt_->setGeometry(16, top - 4, kClientSize.width() - 32, 34);
    field_ = new QLineEdit(this);
    field_->setGeometry(16, top + 32, kClientSize.width() - 32, 24);
    field_->setMaxLength(spec.maxLength);
    field_->setAccessibleName(spec.prompt);
    if (spec.password) field_->setEchoMode(QLineEdit::Password);
    prompt_->setBuddy(field_);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceOkCancel(ok_, cancel_, kClientSize);
    connect(ok_, &QPushButton::clicked, this, &CDocumentsTextDlg::Confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(field_, &QLineEdit::returnPressed, this, &CDocumentsTextDlg::Confirm);
    setTabOrder(field_, ok_);
    setTabOrder(ok_, cancel_);
}

void CDocumentsTextDlg::Open() {
    field_->clear();
    ShowInFront(placed_ ? ui::ShowPlacement::Keep() : ui::ShowPlacement::Centred());
    placed_ = true;
}

void CDocumentsTextDlg::OnShownInFront() {
    field_->setFocus(Qt::OtherFocusReason);
}

void CDocumentsTextDlg::Confirm() {
    const std::string error = confirm_ ? confirm_(field_->text()) : std::string();
    if (!error.empty()) {
        ShowError(dialogs_, this, error);
        return;
    }
    hide();
}

// ---- Move File ---------------------------------------------------------------

CMoveFileDlg::CMoveFileDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                           const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("Move File"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_MOVEFILE"));
    const int top = Top(skin_, QStringLiteral("IDB_MOVEFILE"));
    file_ = new QLabel(this);
    file_->setGeometry(16, top - 4, kClientSize.width() - 32, 20);
    auto* caption = new QLabel(QStringLiteral("Move &to:"), this);
    caption->setGeometry(16, top + 24, 60, 24);
    list_ = new QComboBox(this);
    list_->setGeometry(80, top + 24, kClientSize.width() - 96, 24);
    list_->setAccessibleName(QStringLiteral("Destination"));
    caption->setBuddy(list_);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceOkCancel(ok_, cancel_, kClientSize);
    connect(ok_, &QPushButton::clicked, this, &CMoveFileDlg::Confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void CMoveFileDlg::Open(const QString& file, const std::vector<std::string>& destinations) {
    file_->setText(file);
    list_->clear();
    for (const std::string& d : destinations) list_->addItem(QString::fromStdString(d));
    list_->setCurrentIndex(-1);
    ShowInFront(ui::ShowPlacement::Centred());
}

void CMoveFileDlg::Confirm() {
    if (list_->currentIndex() < 0) {
        ShowError(dialogs_, this, "Please make a selection");
        return;
    }
    if (move_) move_(list_->currentText().toStdString());
    hide();
}

// ---- Upload a File -------------------------------------------------------------

CUploadFileDlg::CUploadFileDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                               const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("Upload a File"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_UPLOADFILE"));
    const int top = Top(skin_, QStringLiteral("IDB_UPLOADFILE"));
    auto* localCaption = new QLabel(QStringLiteral("&Local file:"), this);
    localCaption->setGeometry(16, top, 96, 24);
    local_ = new QLineEdit(this);
    local_->setGeometry(112, top, kClientSize.width() - 112 - 16 - 88, 24);
    local_->setAccessibleName(QStringLiteral("Local file"));
    localCaption->setBuddy(local_);
    browse_ = new QPushButton(QStringLiteral("Browse..."), this);
    browse_->setGeometry(kClientSize.width() - 16 - 80, top, 80, 24);
    auto* remoteCaption = new QLabel(QStringLiteral("&Remote name:"), this);
    remoteCaption->setGeometry(16, top + 36, 96, 24);
    remote_ = new QLineEdit(this);
    remote_->setGeometry(112, top + 36, kClientSize.width() - 112 - 16, 24);
    remote_->setAccessibleName(QStringLiteral("Remote name"));
    remoteCaption->setBuddy(remote_);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    PlaceOkCancel(ok_, cancel_, kClientSize);
    connect(browse_, &QPushButton::clicked, this, &CUploadFileDlg::Browse);
    connect(ok_, &QPushButton::clicked, this, &CUploadFileDlg::Confirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(local_, browse_);
    setTabOrder(browse_, remote_);
    setTabOrder(remote_, ok_);
    setTabOrder(ok_, cancel_);
}

void CUploadFileDlg::Open() {
    local_->clear();
    remote_->clear();
    ShowInFront(placed_ ? ui::ShowPlacement::Keep() : ui::ShowPlacement::Centred());
    placed_ = true;
}

void CUploadFileDlg::Browse() {
    const QString chosen = dialogs_.OpenFileName(this, QStringLiteral("Upload a File"), QString(),
                                                 QStringLiteral("All Files (*)"));
    if (chosen.isEmpty()) return;
    local_->setText(chosen);
    remote_->setText(QString::fromStdString(ProposedRemoteName(chosen.toStdString())));
}

void CUploadFileDlg::Confirm() {
    const std::string remote = remote_->text().toStdString();
    const std::string error = CheckUpload(local_->text().toStdString(), remote);
    if (!error.empty()) {
        ShowError(dialogs_, this, error);
        return;
    }
    if (!upload_ || upload_(local_->text(), remote)) hide();
}

}  // namespace documents
