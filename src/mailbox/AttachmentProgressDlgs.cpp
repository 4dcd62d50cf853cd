#include "mailbox/AttachmentProgressDlgs.h"

#include <QHideEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace mailbox {

CAttachmentProgressBase::CAttachmentProgressBase(const ui::Skin& skin, ui::Dialogs& dialogs,
                                                 const net::Timings& timings, const QString& title,
                                                 const QString& background, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(title);
    SetClientSize(kClientSize);
    SetBackground(background);
    top_ = qMax(skin_.HeaderHeight(background), 8) + 12;
    text_ = new QLabel(this);
    text_->setGeometry(20, top_, kClientSize.width() - 40, 20);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setTextVisible(false);
    bar_->setGeometry(20, top_ + 24, kClientSize.width() - 40, 18);
    bar_->setAccessibleName(QStringLiteral("Progress"));
    Reset();
}

void CAttachmentProgressBase::Reset() {
    SetPercent(0);
}

void CAttachmentProgressBase::SetPercent(int percent) {
    percent_ = qBound(0, percent, 100);
    text_->setText(ProgressText());
    bar_->setValue(percent_);
}

void CAttachmentProgressBase::hideEvent(QHideEvent* event) {
    CSkinnedDlg::hideEvent(event);
    if (hidden_) hidden_();
}

QString CAttachmentProgressBase::ProgressText() const {
    return QString::asprintf("Progress: %i%%", percent_);
}

CProgressAttachmentDlg::CProgressAttachmentDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                               const net::Timings& timings, QWidget* parent)
    : CAttachmentProgressBase(skin, dialogs, timings, QStringLiteral("Uploading Attachment"),
                              QStringLiteral("IDB_PROGRESSATTACHMENT"), parent) {}

CDownloadingAttachmentDlg::CDownloadingAttachmentDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                                     const net::Timings& timings, QWidget* parent)
    : CAttachmentProgressBase(skin, dialogs, timings, QStringLiteral("Downloading Attachment"),
                              QStringLiteral("IDB_DOWNLOADINGATTACHMENT"), parent) {
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton_->setGeometry(kClientSize.width() - 20 - 80, kClientSize.height() - 38, 80, 26);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace mailbox
