#include "mailbox/MailboxMessageDlg.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "mailbox/AttachmentProgressDlgs.h"
#include "mailbox/MsgMailbox.h"
#include "net/Client.h"
#include "net/Transfers.h"
#include "ui/Dialogs.h"
#include "ui/TextConvert.h"

namespace mailbox {

namespace {

QString FromUtf8(const std::string& text) {
    QString out;
    ui::Utf8ToText(text, out);
    return out;
}

// At most `maxBytes` of a local file; false when it cannot be opened.
bool ReadFilePrefix(const std::string& path, size_t maxBytes, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(maxBytes, '\0');
    in.read(out.data(), static_cast<std::streamsize>(maxBytes));
    out.resize(static_cast<size_t>(in.gcount()));
    return true;
}

// The incoming recipient list is read no further than this many lines' worth.
constexpr size_t kMaxRecipientBytesRead = kMaxRecipientLinesRead * (kRecipientLineLength + 1);

// A name beside `target` that no file has yet; empty when none is found.
std::string TempBeside(const std::string& target) {
    for (int i = 0; i < 1000; ++i) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, i == 0 ? ".download" : ".download%i", i);
        const std::string candidate = target + suffix;
        std::error_code ec;
        if (!std::filesystem::exists(candidate, ec) && !ec) return candidate;
    }
    return {};
}

QLineEdit* ReadOnlyField(const QString& caption, const QRect& at, QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setReadOnly(true);
    field->setGeometry(at);
    field->setAccessibleName(QString(caption).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
    auto* label = new QLabel(caption, parent);
    label->setGeometry(16, at.y(), 76, at.height());
    label->setBuddy(field);
    return field;
}

// Text put together from many lines, each converted on its own (the body in
// pieces, the To text a recipient at a time): no one conversion is large, so
// the whole may run past what a single conversion takes.
QString FromPieces(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

CMailboxMessageDlg::CMailboxMessageDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                       const net::Timings& timings, net::Client& client,
                                       QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client) {
    setWindowTitle(QStringLiteral("Mailbox Message"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_MAILBOXMESSAGE"));
    BuildControls();
    downloading_window_ = new CDownloadingAttachmentDlg(skin, dialogs, timings, parent);
    // However the progress window goes away before the end (its Cancel, a
    // dropped connection), the download stops and leaves nothing behind.
    downloading_window_->SetOnHidden([this] {
        if (downloading_) StopDownload(true);
    });
}

CMailboxMessageDlg::~CMailboxMessageDlg() {
    downloading_window_->SetOnHidden({});
    if (downloading_) StopDownload(false);
    delete downloading_window_;
}

void CMailboxMessageDlg::BuildControls() {
    const int top = qMax(skin_.HeaderHeight(QStringLiteral("IDB_MAILBOXMESSAGE")), 8) + 12;
    constexpr int kFieldLeft = 96;
    const int right = kClientSize.width() - 16;
    from_ = ReadOnlyField(QStringLiteral("&From:"), QRect(kFieldLeft, top, right - kFieldLeft, 24),
                          this);
    to_ = ReadOnlyField(QStringLiteral("&To:"), QRect(kFieldLeft, top + 30, right - kFieldLeft, 24),
                        this);
    // A list of thousands of recipients is shown whole.
    to_->setMaxLength(1 << 24);
    date_ = ReadOnlyField(QStringLiteral("&Date:"),
                          QRect(kFieldLeft, top + 60, right - kFieldLeft, 24), this);
    attachment_ = ReadOnlyField(QStringLiteral("&Attachment:"),
                                QRect(kFieldLeft, top + 90, right - kFieldLeft - 128, 24), this);
    download_ = new QPushButton(QStringLiteral("Download..."), this);
    download_->setGeometry(right - 120, top + 89, 120, 26);
    download_->setEnabled(false);
    subject_ = ReadOnlyField(QStringLiteral("&Subject:"),
                             QRect(kFieldLeft, top + 120, right - kFieldLeft, 24), this);
    body_ = new QPlainTextEdit(this);
    body_->setReadOnly(true);
    body_->setAccessibleName(QStringLiteral("Message"));
    body_->setGeometry(16, top + 156, right - 16, kClientSize.height() - top - 156 - 56);

    const int y = kClientSize.height() - 42;
    reply_ = new QPushButton(QStringLiteral("Reply"), this);
    reply_->setGeometry(16, y, 90, 28);
    replyAll_ = new QPushButton(QStringLiteral("Reply All"), this);
    replyAll_->setGeometry(16 + 98, y, 90, 28);
    forward_ = new QPushButton(QStringLiteral("Forward"), this);
    forward_->setGeometry(16 + 196, y, 90, 28);
    close_ = new QPushButton(QStringLiteral("Close"), this);
    close_->setGeometry(right - 90, y, 90, 28);

    connect(download_, &QPushButton::clicked, this, &CMailboxMessageDlg::DownloadAttachment);
    connect(reply_, &QPushButton::clicked, this, [this] {
        if (compose_) compose_(ReplyPrefill(sender_, subject_text_));
    });
    connect(replyAll_, &QPushButton::clicked, this, [this] {
        if (compose_) compose_(ReplyAllPrefill(sender_, toText_, subject_text_));
    });
    connect(forward_, &QPushButton::clicked, this, [this] {
        if (compose_) compose_(ForwardPrefill(subject_text_, BodyUtf8()));
    });
    connect(close_, &QPushButton::clicked, this, &QDialog::hide);

    setTabOrder(reply_, replyAll_);
    setTabOrder(replyAll_, forward_);
    setTabOrder(forward_, close_);
    setTabOrder(close_, download_);
    setTabOrder(download_, body_);
}

std::string CMailboxMessageDlg::BodyUtf8() const {
    QString text = body_->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return ui::TextToUtf8(text);
}

void CMailboxMessageDlg::OpenMessage(const CMailboxMessage& message, int32_t rootType,
                                     const std::string& key) {
    ++generation_;
    number_ = message.number;
    attachmentNumber_ = message.attachment;
    sender_ = message.sender;
    subject_text_ = message.subject;
    sentTime_ = message.sentTime;
    rootType_ = rootType;
    key_ = key;
    if (!message.HasAttachment()) {
        attachmentName_.clear();
        RequestRecipients();
        return;
    }
    if (SendAttachmentNameRequest(client_.FileServer(), rootType, key, sender_, number_,
                                  attachmentNumber_)) {
        ++namesOutstanding_;
    }
}

void CMailboxMessageDlg::AttachmentNameArrived(const std::string& name) {
    if (namesOutstanding_ == 0) return;
    // An earlier opening's answer: the one for this message is still coming.
    if (--namesOutstanding_ > 0) return;
    std::string plain = name;
    if (!plain.empty() && plain.back() == '\n') plain.pop_back();
    attachmentName_ = plain.substr(0, kMaxAttachmentNameShown);
    RequestRecipients();
}

void CMailboxMessageDlg::MessageGone() {
    // The mailbox shows the response; only the count of answers is ours.
    if (namesOutstanding_ > 0) --namesOutstanding_;
}

void CMailboxMessageDlg::AttachmentNameUnreadable() {
    if (namesOutstanding_ > 0) --namesOutstanding_;
}

void CMailboxMessageDlg::RequestRecipients() {
    recipientsWaiting_ = false;
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kInRecipientsFile);
    if (path.empty()) return;
    if (!net::StartDownload(
            client_.FileServer(), kTransferSlotRecipients, path, generation_,
            {net::TransferField(rootType_), net::TransferField(key_), net::TransferField(sender_),
             net::TransferField(number_), net::TransferField(attachmentNumber_),
             net::TransferField(int32_t(0))})) {
        // The slot still carries an earlier message's list: go when it ends.
        recipientsWaiting_ = true;
    }
}

void CMailboxMessageDlg::RequestBody() {
    bodyWaiting_ = false;
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kInBodyFile);
    if (path.empty()) return;
    if (!net::StartDownload(
            client_.FileServer(), kTransferSlotBody, path, generation_,
            {net::TransferField(sender_), net::TransferField(number_),
             net::TransferField(attachmentNumber_), net::TransferField(int32_t(0))})) {
        bodyWaiting_ = true;
    }
}

void CMailboxMessageDlg::RecipientsArrived(uint32_t purpose) {
    if (purpose != generation_) {
        if (recipientsWaiting_) RequestRecipients();
        return;
    }
    RequestBody();
}

void CMailboxMessageDlg::RecipientsRefused(uint32_t purpose) {
    if (purpose != generation_) {
        if (recipientsWaiting_) RequestRecipients();
        return;
    }
    client_.ShowServerResponse(kMessageDeletedHeading, kRecipientsMissingDetails);
}

void CMailboxMessageDlg::BodyArrived(uint32_t purpose) {
    if (purpose != generation_) {
        if (bodyWaiting_) RequestBody();
        return;
    }
    Fill();
}

void CMailboxMessageDlg::BodyRefused(uint32_t purpose) {
    if (purpose != generation_) {
        if (bodyWaiting_) RequestBody();
        return;
    }
    client_.ShowServerResponse(kMessageDeletedHeading, kBodyMissingDetails);
}

void CMailboxMessageDlg::Fill() {
    from_->setText(FromUtf8(sender_));
    date_->setText(FromUtf8(ReaderDateText(sentTime_)));
    attachment_->setText(FromUtf8(attachmentName_));
    download_->setEnabled(attachmentNumber_ != kNoAttachment && !attachmentName_.empty());
    subject_->setText(FromUtf8(subject_text_));

    const std::string listPath = client_.DataPath(kInRecipientsFile);
    std::string bytes;
    toText_.clear();
    if (ReadFilePrefix(listPath, kMaxRecipientBytesRead, bytes)) {
        toText_ = ToText(ParseIncomingRecipients(bytes));
    } else {
        dialogs_.Message(
            this, QStringLiteral("Error"),
            QString::asprintf("Unable to open '%s' with read access", listPath.c_str()),
            ui::MsgIcon::Information);
    }
    to_->setText(FromPieces(toText_));
    to_->setCursorPosition(0);

    body_->clear();
    const std::string bodyPath = client_.DataPath(kInBodyFile);
    if (ReadFilePrefix(bodyPath, kMaxBodyBytesRead, bytes)) {
        QString text = FromPieces(ReaderBodyText(bytes));
        body_->setPlainText(text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    } else {
        dialogs_.Message(this, QStringLiteral("Error"),
                         QString::asprintf("Unable to open '%s' for reading", bodyPath.c_str()),
                         ui::MsgIcon::Information);
    }

    if (placed_) {
        ShowInFront(ui::ShowPlacement::Keep());
    } else {
        placed_ = true;
        const QPoint centred = CentredTopLeft(ScreenRect(), OuterSize());
        ShowInFront(ui::ShowPlacement::At(centred - QPoint(50, 0)));
    }
    OnShownInFront();
}

void CMailboxMessageDlg::OnShownInFront() {
    reply_->setFocus(Qt::OtherFocusReason);
}

void CMailboxMessageDlg::DownloadAttachment() {
    if (downloading_ || attachmentNumber_ == kNoAttachment) return;
    const QString proposed = FromUtf8(AttachmentNameFromPath(attachmentName_));
    const QString chosen = dialogs_.SaveFileName(this, QStringLiteral("Save Attachment"), proposed,
                                                 QStringLiteral("All files (*)"));
    if (chosen.isEmpty()) return;
    const std::string target = chosen.toStdString();
    const std::string temp = TempBeside(target);
    if (temp.empty()) return;
    if (!net::StartDownload(
            client_.FileServer(), kTransferSlotAttachment, temp, 0,
            {net::TransferField(sender_), net::TransferField(number_),
             net::TransferField(attachmentNumber_), net::TransferField(int32_t(0))})) {
        // The name was free: whatever is there now is ours.
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return;
    }
    downloading_ = true;
    downloadTarget_ = target;
    downloadTemp_ = temp;
    // Up at once rather than with the server's first bytes: its Cancel is
    // there from the start, and a drop (which hides it) always ends the
    // download cleanly.
    downloading_window_->Reset();
    downloading_window_->ShowInFrontNow(ui::ShowPlacement::Centred());
}

void CMailboxMessageDlg::AttachmentProgress(int percent) {
    if (downloading_) downloading_window_->SetPercent(percent);
}

void CMailboxMessageDlg::AttachmentArrived() {
    if (!downloading_) return;
    downloading_ = false;
    downloading_window_->hide();
    std::error_code ec;
    // rename() replaces the chosen file in one step: it is either the old
    // file or the whole new one, never a part.
    std::filesystem::rename(downloadTemp_, downloadTarget_, ec);
    if (ec) {
        std::filesystem::remove(downloadTemp_, ec);
        dialogs_.Message(
            this, QStringLiteral("Error"),
            QString::asprintf("Unable to open '%s' for writing", downloadTarget_.c_str()),
            ui::MsgIcon::Information);
    }
    downloadTemp_.clear();
}

void CMailboxMessageDlg::AttachmentRefused() {
    if (!downloading_) return;
    StopDownload(false);
    downloading_window_->hide();
    client_.ShowServerResponse(kAttachmentDeletedHeading, kAttachmentMissingDetails);
}

void CMailboxMessageDlg::StopDownload(bool tellServer) {
    downloading_ = false;
    // After a drop the cancel is never sent: the next connection starts
    // with an empty queue.
    if (tellServer) net::CancelTransfer(client_.FileServer(), kTransferSlotAttachment);
    std::error_code ec;
    if (!downloadTemp_.empty()) std::filesystem::remove(downloadTemp_, ec);
    downloadTemp_.clear();
}

}  // namespace mailbox
