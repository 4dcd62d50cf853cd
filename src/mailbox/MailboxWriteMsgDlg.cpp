#include "mailbox/MailboxWriteMsgDlg.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <fstream>

#include "mailbox/AttachmentProgressDlgs.h"
#include "mailbox/MsgMailbox.h"
#include "net/Client.h"
#include "net/Transfers.h"
#include "ui/Dialogs.h"
#include "ui/FileDrop.h"
#include "ui/TextConvert.h"
#include "ui/TextViewerDlg.h"

namespace mailbox {

namespace {

QString FromUtf8(const std::string& text) {
    QString out;
    ui::Utf8ToText(text, out);
    return out;
}

// A prefill made of a reader's fields, which were put together piece by
// piece and may be longer than one conversion takes.
QString FromPieces(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The window holds lines ended by "\n"; the prefills carry "\r\n".
QString ToWindowLines(QString text) {
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QLabel* Caption(const QString& text, QWidget* buddy, const QRect& at, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(at);
    label->setBuddy(buddy);
    return label;
}

}  // namespace

// ---- Select Recipient Type ---------------------------------------------------

CMailboxSelectRecipientDlg::CMailboxSelectRecipientDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                                       const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("Select Recipient Type"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_MAILBOXSELECTRECIPIENT"));
    const int top = qMax(skin_.HeaderHeight(QStringLiteral("IDB_MAILBOXSELECTRECIPIENT")), 8) + 14;
    individual_ = new QPushButton(QStringLiteral("Individual..."), this);
    individual_->setGeometry(30, top, 110, 28);
    individual_->setDefault(true);
    session_ = new QPushButton(QStringLiteral("Session..."), this);
    session_->setGeometry(kClientSize.width() - 30 - 110, top, 110, 28);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(kClientSize.width() - 16 - 80, kClientSize.height() - 40, 80, 26);
    connect(individual_, &QPushButton::clicked, this, [this] {
        hide();
        if (onIndividual_) onIndividual_();
    });
    connect(session_, &QPushButton::clicked, this, [this] {
        hide();
        if (onSession_) onSession_();
    });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    setTabOrder(individual_, session_);
    setTabOrder(session_, cancel_);
}

void CMailboxSelectRecipientDlg::SetChoices(std::function<void()> individual,
                                            std::function<void()> session) {
    onIndividual_ = std::move(individual);
    onSession_ = std::move(session);
    individual_->setEnabled(static_cast<bool>(onIndividual_));
    session_->setEnabled(static_cast<bool>(onSession_));
}

// ---- New Message ---------------------------------------------------------------

CMailboxWriteMsgDlg::CMailboxWriteMsgDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                         const net::Timings& timings, net::Client& client,
                                         QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client) {
    setWindowTitle(QStringLiteral("New Message"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_MAILBOXWRITEMSG"));
    BuildControls();
    selectRecipient_ = new CMailboxSelectRecipientDlg(skin, dialogs, timings, parent);
    selectRecipient_->SetChoices({}, {});
    progress_ = new CProgressAttachmentDlg(skin, dialogs, timings, parent);
    lock_.setSingleShot(true);
    connect(&lock_, &QTimer::timeout, this, &CMailboxWriteMsgDlg::LockElapsed);
}

CMailboxWriteMsgDlg::~CMailboxWriteMsgDlg() {
    delete selectRecipient_;
    delete progress_;
}

void CMailboxWriteMsgDlg::BuildControls() {
    const int top = qMax(skin_.HeaderHeight(QStringLiteral("IDB_MAILBOXWRITEMSG")), 8) + 12;
    constexpr int kLeft = 16;
    constexpr int kFieldLeft = 96;
    constexpr int kButtonWidth = 120;
    const int right = kClientSize.width() - 16;
    const int fieldWidth = right - kButtonWidth - 8 - kFieldLeft;

    recipients_ = new QLineEdit(this);
    recipients_->setMaxLength(static_cast<int>(kMaxRecipientsField));
    recipients_->setGeometry(kFieldLeft, top, fieldWidth, 24);
    recipients_->setAccessibleName(QStringLiteral("To"));
    Caption(QStringLiteral("&To:"), recipients_, QRect(kLeft, top, 76, 24), this);
    addRecipient_ = new QPushButton(QStringLiteral("Add Recipient..."), this);
    addRecipient_->setGeometry(right - kButtonWidth, top - 1, kButtonWidth, 26);

    attachment_ = new QLineEdit(this);
    attachment_->setGeometry(kFieldLeft, top + 34, fieldWidth, 24);
    attachment_->setAccessibleName(QStringLiteral("Attachment"));
    Caption(QStringLiteral("&Attachment:"), attachment_, QRect(kLeft, top + 34, 76, 24), this);
    browse_ = new QPushButton(QStringLiteral("Browse..."), this);
    browse_->setGeometry(right - kButtonWidth, top + 33, kButtonWidth, 26);

    subject_ = new QLineEdit(this);
    // Room to type past the limit, so that the check can say what it is.
    subject_->setMaxLength(1000);
    subject_->setGeometry(kFieldLeft, top + 68, right - kFieldLeft, 24);
    subject_->setAccessibleName(QStringLiteral("Subject"));
    Caption(QStringLiteral("&Subject:"), subject_, QRect(kLeft, top + 68, 76, 24), this);

    body_ = new QPlainTextEdit(this);
    body_->setGeometry(kLeft, top + 104, right - kLeft, kClientSize.height() - top - 104 - 56);
    body_->setAccessibleName(QStringLiteral("Message"));
    body_->setTabChangesFocus(true);

    send_ = new QPushButton(QStringLiteral("Send Message"), this);
    send_->setGeometry(right - 110 - 8 - 90, kClientSize.height() - 42, 110, 28);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setGeometry(right - 90, kClientSize.height() - 42, 90, 28);

    connect(send_, &QPushButton::clicked, this, &CMailboxWriteMsgDlg::Send);
    connect(cancel_, &QPushButton::clicked, this, &CMailboxWriteMsgDlg::CancelMessage);
    connect(addRecipient_, &QPushButton::clicked, this,
            [this] { selectRecipient_->ShowInFront(ui::ShowPlacement::Centred()); });
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString path = dialogs_.OpenFileName(this, QStringLiteral("Attach File"), {},
                                                   QStringLiteral("All files (*)"));
        if (!path.isEmpty()) attachment_->setText(path);
    });

    setAcceptDrops(true);
    for (QWidget* w : std::initializer_list<QWidget*>{recipients_, attachment_, subject_, body_,
                                                      body_->viewport()}) {
        w->installEventFilter(this);
    }

    setTabOrder(recipients_, addRecipient_);
    setTabOrder(addRecipient_, attachment_);
    setTabOrder(attachment_, browse_);
    setTabOrder(browse_, subject_);
    setTabOrder(subject_, body_);
    setTabOrder(body_, send_);
    setTabOrder(send_, cancel_);
}

std::vector<QWidget*> CMailboxWriteMsgDlg::Companions() const {
    return {selectRecipient_, progress_};
}

void CMailboxWriteMsgDlg::SetPickers(std::function<void()> individual,
                                     std::function<void()> session) {
    selectRecipient_->SetChoices(std::move(individual), std::move(session));
}

void CMailboxWriteMsgDlg::SetControlsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{recipients_, attachment_, subject_, body_,
                                                      addRecipient_, browse_, send_, cancel_}) {
        w->setEnabled(enabled);
    }
}

bool CMailboxWriteMsgDlg::AnyFieldFilled() const {
    return !recipients_->text().isEmpty() || !attachment_->text().isEmpty() ||
           !subject_->text().isEmpty() || !body_->document()->isEmpty();
}

std::u16string CMailboxWriteMsgDlg::BodyText() const {
    QString text = body_->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<size_t>(text.size()));
}

void CMailboxWriteMsgDlg::SetPrefill(const Prefill& prefill) {
    prefill_ = prefill;
    prefillSet_ = true;
}

bool CMailboxWriteMsgDlg::Open() {
    if (isVisible() && AnyFieldFilled()) {
        const ui::MsgAnswer answer =
            dialogs_.Message(this, QStringLiteral("Warning"), QString::fromLatin1(kCancelQuestion),
                             ui::MsgIcon::Warning, ui::MsgButtons::YesNo);
        if (answer != ui::MsgAnswer::Yes) {
            // The prefill asked for this time is not kept for a later opening.
            prefillSet_ = false;
            return false;
        }
    }
    StopSending();
    recipients_->clear();
    attachment_->clear();
    subject_->clear();
    body_->clear();
    bool prefilled = false;
    if (prefillSet_) {
        recipients_->setText(FromPieces(prefill_.recipients));
        subject_->setText(FromUtf8(prefill_.subject));
        body_->setPlainText(ToWindowLines(FromPieces(prefill_.body)));
        prefillSet_ = false;
        prefilled = true;
    }
    focusBody_ = prefilled && body_->document()->isEmpty();
    if (placed_) {
        ShowInFront(ui::ShowPlacement::Keep());
    } else {
        placed_ = true;
        const QPoint centred = CentredTopLeft(ScreenRect(), OuterSize());
        ShowInFront(ui::ShowPlacement::At(centred + QPoint(50, 0)));
    }
    OnShownInFront();
    return true;
}

void CMailboxWriteMsgDlg::OnShownInFront() {
    if (focusBody_) {
        body_->setFocus(Qt::OtherFocusReason);
        return;
    }
    recipients_->setFocus(Qt::OtherFocusReason);
    recipients_->setCursorPosition(static_cast<int>(recipients_->text().size()));
}

void CMailboxWriteMsgDlg::AppendRecipient(const std::string& name, bool session) {
    recipients_->setText(
        FromUtf8(AppendRecipientText(ui::TextToUtf8(recipients_->text()), name, session)));
    recipients_->setCursorPosition(static_cast<int>(recipients_->text().size()));
}

bool CMailboxWriteMsgDlg::CancelMessage() {
    if (isVisible() && AnyFieldFilled()) {
        const ui::MsgAnswer answer =
            dialogs_.Message(this, QStringLiteral("Warning"), QString::fromLatin1(kCancelQuestion),
                             ui::MsgIcon::Warning, ui::MsgButtons::YesNo);
        if (answer != ui::MsgAnswer::Yes) return false;
    }
    StopSending();
    hide();
    return true;
}

void CMailboxWriteMsgDlg::reject() {
    CancelMessage();
}

void CMailboxWriteMsgDlg::hideEvent(QHideEvent* event) {
    // However the window goes (Cancel, a sent message, a dropped
    // connection), nothing of a send goes on behind it: a later answer to
    // it finds the window idle and is ignored.
    StopSending();
    CSkinnedDlg::hideEvent(event);
}

// ---- Dropped files ----------------------------------------------------------------

bool CMailboxWriteMsgDlg::TakesDrops() const {
    // While the window is locked for a send, "Browse..." is not offered either.
    return isVisible() && browse_->isEnabled();
}

bool CMailboxWriteMsgDlg::HandleDrag(QEvent* event, bool overField) {
    const auto ours = [overField](const QMimeData* data) {
        return overField ? ui::CarriesLocalFiles(data) : ui::CarriesAddresses(data);
    };
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!ours(drag->mimeData())) return false;
            if (TakesDrops()) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!ours(drop->mimeData())) return false;
            if (!TakesDrops()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            DropAttachment(drop->mimeData());
            return true;
        }
        default:
            return false;
    }
}

void CMailboxWriteMsgDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (!HandleDrag(event, false)) event->ignore();
}

void CMailboxWriteMsgDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (!HandleDrag(event, false)) event->ignore();
}

void CMailboxWriteMsgDlg::dropEvent(QDropEvent* event) {
    if (!HandleDrag(event, false)) event->ignore();
}

bool CMailboxWriteMsgDlg::eventFilter(QObject* watched, QEvent* event) {
    // Plain text dragged into a field stays the field's; local files are ours.
    if (HandleDrag(event, true)) return true;
    return CSkinnedDlg::eventFilter(watched, event);
}

bool CMailboxWriteMsgDlg::DropAttachment(const QMimeData* data) {
    if (!TakesDrops()) return false;
    const ui::DroppedFiles dropped = ui::ReadDroppedFiles(data);
    const auto refuse = [this](const QString& text) {
        dialogs_.Message(this, QStringLiteral("Error"), text, ui::MsgIcon::Information);
        return false;
    };
    const qsizetype count = dropped.files.size() + dropped.folders.size() + dropped.others.size();
    if (count == 0) return false;
    if (count > 1) {
        return refuse(QStringLiteral(
            "A message carries one attachment; drop a single file to attach it"));
    }
    if (!dropped.folders.isEmpty()) {
        return refuse(QStringLiteral("\"%1\" is a folder; only a file can be attached")
                          .arg(QFileInfo(dropped.folders.front()).fileName()));
    }
    if (dropped.files.isEmpty()) return refuse(QStringLiteral("Only a local file can be attached"));
    const QString path = dropped.files.front();
    const QString current = attachment_->text();
    if (current == path) return false;
    if (!current.isEmpty()) {
        const QString currentName = QFileInfo(current).fileName();
        const QString text =
            QStringLiteral("Replace the attachment \"%1\" with \"%2\"?")
                .arg(currentName.isEmpty() ? current : currentName, QFileInfo(path).fileName());
        if (dialogs_.Message(this, QStringLiteral("Attachment"), text, ui::MsgIcon::Question,
                             ui::MsgButtons::YesNo) != ui::MsgAnswer::Yes) {
            return false;
        }
    }
    attachment_->setText(path);
    return true;
}

void CMailboxWriteMsgDlg::StopSending() {
    lock_.stop();
    SetControlsEnabled(true);
    if (stage_ == Stage::Attachment) {
        // After a drop the cancel is never sent: the next connection starts
        // with an empty queue.
        net::CancelTransfer(client_.FileServer(), kTransferSlotAttachment);
        progress_->hide();
    }
    stage_ = Stage::Idle;
}

void CMailboxWriteMsgDlg::Send() {
    // A send already under way keeps its lock or its attachment upload.
    if (stage_ == Stage::Locked || stage_ == Stage::Attachment) return;
    ComposeFields fields;
    fields.recipients = ui::TextToUtf8(recipients_->text());
    fields.attachmentPath = ui::TextToUtf8(attachment_->text());
    fields.subject = ui::TextToUtf8(subject_->text());
    const std::u16string body = BodyText();
    fields.body = BodyToUtf8(body);
    AttachmentState attachment = AttachmentState::None;
    int64_t size = 0;
    if (!fields.attachmentPath.empty()) {
        QFile file(attachment_->text());
        if (file.open(QIODevice::ReadOnly)) {
            attachment = AttachmentState::Readable;
            size = file.size();
        } else {
            attachment = AttachmentState::Unreadable;
        }
    }
    const std::string error = CheckSend(fields, attachment, size);
    if (!error.empty()) {
        dialogs_.Message(this, QStringLiteral("Error"), FromUtf8(error), ui::MsgIcon::Information);
        return;
    }
    SetControlsEnabled(false);
    stage_ = Stage::Locked;
    lock_.start(timings_.mailSendLock);
}

void CMailboxWriteMsgDlg::LockElapsed() {
    lock_.stop();
    SetControlsEnabled(true);
    stage_ = Stage::Idle;
    const std::vector<Recipient> recipients = SplitRecipients(ui::TextToUtf8(recipients_->text()));
    if (recipients.empty()) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kNoRecipientText),
                         ui::MsgIcon::Information);
        return;
    }
    sendingAttachment_ = ui::TextToUtf8(attachment_->text());
    sendingSubject_ = ui::TextToUtf8(subject_->text());
    sendingBody_ = BodyText();
    const std::string text = OutgoingRecipientsText(recipients);
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kOutRecipientsFile);
    if (path.empty()) return;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out) return;
    }
    if (net::StartUpload(client_.FileServer(), kTransferSlotRecipients, path, {})) {
        stage_ = Stage::Recipients;
    }
}

void CMailboxWriteMsgDlg::GoAhead(bool onFileServer) {
    if (onFileServer) {
        if (stage_ != Stage::Body) return;
        if (SendDeliver(client_.NetworkServer()))
            stage_ = Stage::Delivering;
        else
            stage_ = Stage::Idle;
        return;
    }
    if (stage_ != Stage::Recipients) return;
    if (sendingAttachment_.empty()) {
        UploadBody();
        return;
    }
    const std::string name = AttachmentNameFromPath(sendingAttachment_);
    if (net::StartUpload(client_.FileServer(), kTransferSlotAttachment, sendingAttachment_,
                         {net::TransferField(name)})) {
        stage_ = Stage::Attachment;
    } else {
        dialogs_.Message(this, QStringLiteral("Error"),
                         QStringLiteral("Unable to open attached file for reading; please ensure "
                                        "that the file exists"),
                         ui::MsgIcon::Information);
        stage_ = Stage::Idle;
    }
}

void CMailboxWriteMsgDlg::AttachmentUploadStarted() {
    if (stage_ != Stage::Attachment) return;
    progress_->Reset();
    progress_->ShowInFront(ui::ShowPlacement::Centred());
}

void CMailboxWriteMsgDlg::AttachmentUploadProgress(int percent) {
    if (stage_ == Stage::Attachment) progress_->SetPercent(percent);
}

void CMailboxWriteMsgDlg::AttachmentUploaded() {
    if (stage_ != Stage::Attachment) return;
    progress_->hide();
    UploadBody();
}

void CMailboxWriteMsgDlg::AttachmentRefused() {
    // The refusal's text was shown; the message stays as it is.
    progress_->hide();
    if (stage_ == Stage::Attachment) stage_ = Stage::Idle;
}

void CMailboxWriteMsgDlg::BodyRefused() {
    if (stage_ == Stage::Body) stage_ = Stage::Idle;
}

void CMailboxWriteMsgDlg::RecipientsRefused() {
    // The error is shown by the mailbox; the window keeps its contents.
    stage_ = Stage::Idle;
}

void CMailboxWriteMsgDlg::UploadBody() {
    stage_ = Stage::Idle;
    const std::string bytes = BodyToUtf8(sendingBody_);
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kOutBodyFile);
    // A body file that cannot be written stops the send without a word.
    if (path.empty()) return;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return;
    }
    if (net::StartUpload(client_.FileServer(), kTransferSlotBody, path,
                         {net::TransferField(sendingSubject_)})) {
        stage_ = Stage::Body;
    }
}

void CMailboxWriteMsgDlg::Sent(bool withReport, int32_t value) {
    if (stage_ != Stage::Delivering) return;
    stage_ = Stage::Idle;
    if (!withReport) hide();
    if (value == 0 && refreshMailbox_) refreshMailbox_();
    if (!withReport) return;
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kReportFile);
    if (path.empty()) return;
    net::StartDownload(client_.FileServer(), kTransferSlotReport, path, 0,
                       {net::TransferField(int32_t(0))});
}

void CMailboxWriteMsgDlg::ReportArrived() {
    if (viewer_) viewer_->close();
    viewer_ = ui::CTextViewerDlg::Open(skin_, dialogs_, timings_, parentWidget(),
                                       QString::fromStdString(client_.DataPath(kReportFile)));
}

}  // namespace mailbox
