#include "mailbox/MailboxModule.h"

#include <QApplication>

#include "contacts/api/ContactsApi.h"
#include "mailbox/AttachmentProgressDlgs.h"
#include "mailbox/MailboxDlg.h"
#include "mailbox/MailboxMessageDlg.h"
#include "mailbox/MailboxWriteMsgDlg.h"
#include "mailbox/MsgMailbox.h"
#include "net/Client.h"
#include "net/Connection.h"
#include "sessions/api/SessionDirectory.h"
#include "mailbox/MailboxSmallDlgs.h"
#include "shell/ModuleContext.h"
#include "shell/Notifier.h"
#include "shell/Settings.h"

namespace mailbox {

namespace {

// The contact search's list of accounts, as opposed to account management's.
constexpr uint32_t kAccountListForSearch = 0;

}  // namespace

void MailboxModule::RegisterPictures(ui::Skin& skin) {
    CMailboxDlg::RegisterPictures(skin);
    skin.RegisterBackground(QStringLiteral("IDB_MAILBOXWRITEMSG"), CMailboxWriteMsgDlg::kClientSize,
                            QStringLiteral("New message"));
    skin.RegisterBackground(QStringLiteral("IDB_MAILBOXSELECTRECIPIENT"),
                            CMailboxSelectRecipientDlg::kClientSize,
                            QStringLiteral("Select recipient type"));
    skin.RegisterBackground(QStringLiteral("IDB_MAILBOXMESSAGE"), CMailboxMessageDlg::kClientSize,
                            QStringLiteral("Mailbox message"));
    skin.RegisterBackground(QStringLiteral("IDB_PROGRESSATTACHMENT"),
                            CAttachmentProgressBase::kClientSize,
                            QStringLiteral("Uploading attachment"));
    skin.RegisterBackground(QStringLiteral("IDB_DOWNLOADINGATTACHMENT"),
                            CAttachmentProgressBase::kClientSize,
                            QStringLiteral("Downloading attachment"));
}

void MailboxModule::Register(shell::ModuleContext& ctx) {
    window_ = std::make_unique<CMailboxDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), ctx.Client(),
                                            ctx.MainWindow(), ctx.WindowParent());
    composer_ = std::make_unique<CMailboxWriteMsgDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                      ctx.Client(), ctx.WindowParent());
    reader_ = std::make_unique<CMailboxMessageDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                   ctx.Client(), ctx.WindowParent());
    CMailboxDlg* window = window_.get();
    CMailboxWriteMsgDlg* composer = composer_.get();
    CMailboxMessageDlg* reader = reader_.get();

    ctx.RegisterFamily(
        net::Primary::Mailbox,
        [window](net::Connection& connection, const net::bufHeader& header, net::LogLine& log) {
            MailboxEvent event = DecodeMailbox(connection.ReceiveBuffer(), header, log);
            event.onFileServer = connection.Kind() == net::kKindFile;
            window->Handle(event);
        });

    net::SlotHooks folders;
    folders.completed = [window](uint32_t) { window->FolderListArrived(); };
    ctx.RegisterSlot(CMailboxDlg::kTransferSlotFolders, std::move(folders));
    net::SlotHooks messages;
    messages.completed = [window](uint32_t) { window->MessageListArrived(); };
    messages.refused = [window](uint32_t, int32_t) { window->MessageListRefused(); };
    ctx.RegisterSlot(CMailboxDlg::kTransferSlotMessages, std::move(messages));
    net::SlotHooks operation;
    operation.completed = [window](uint32_t) { window->OperationUploaded(); };
    ctx.RegisterSlot(CMailboxDlg::kTransferSlotOperation, std::move(operation));

    // Sending.
    MailboxHooks hooks;
    hooks.compose = [composer] { composer->Open(); };
    hooks.read = [reader](const CMailboxMessage& m, int32_t root, const std::string& key) {
        reader->OpenMessage(m, root, key);
    };
    hooks.goAhead = [composer](bool onFileServer) { composer->GoAhead(onFileServer); };
    hooks.recipientsRefused = [composer] { composer->RecipientsRefused(); };
    hooks.sent = [composer](bool withReport, int32_t value) { composer->Sent(withReport, value); };
    hooks.attachmentName = [reader](const std::string& name) {
        reader->AttachmentNameArrived(name);
    };
    hooks.attachmentNameUnreadable = [reader] { reader->AttachmentNameUnreadable(); };
    hooks.messageGone = [reader] { reader->MessageGone(); };
    if (shell::Notifier* notifier = ctx.Notifier()) {
        shell::Settings& settings = ctx.Settings();
        std::weak_ptr<bool> alive = alive_;
        hooks.newMail = [window, notifier, &settings, alive] {
            // Not while the user is looking at the mailbox.
            if (!settings.AlertOnMessages()) return;
            if (QApplication::activeWindow() == window && !window->isMinimized()) return;
            notifier->Notify(shell::NotificationKind::NewMail, QStringLiteral("New mail"),
                             QStringLiteral("You have new mail."), [window, alive] {
                                 if (alive.expired()) return;
                                 // As "Go to Mailbox" does.
                                 window->AlertWindow().hide();
                                 if (window->isMinimized()) window->showNormal();
                                 window->OpenMailbox();
                             });
        };
    }
    window->SetHooks(std::move(hooks));
    composer->SetRefreshMailbox([window] {
        if (window->isVisible()) window->RefreshQuietly();
    });
    reader->SetCompose([composer](const Prefill& prefill) {
        composer->SetPrefill(prefill);
        composer->Open();
    });

    net::SlotHooks attachmentUp;
    attachmentUp.goAhead = [composer](int32_t) { composer->AttachmentUploadStarted(); };
    attachmentUp.progress = [composer](int percent, int32_t, int32_t) {
        composer->AttachmentUploadProgress(percent);
    };
    attachmentUp.completed = [composer](uint32_t) { composer->AttachmentUploaded(); };
    attachmentUp.refused = [composer](uint32_t, int32_t) { composer->AttachmentRefused(); };
    ctx.RegisterSlot(CMailboxWriteMsgDlg::kTransferSlotAttachment, std::move(attachmentUp));
    net::SlotHooks body;
    body.refused = [composer](uint32_t, int32_t) { composer->BodyRefused(); };
    ctx.RegisterSlot(CMailboxWriteMsgDlg::kTransferSlotBody, std::move(body));
    net::SlotHooks report;
    report.completed = [composer](uint32_t) { composer->ReportArrived(); };
    ctx.RegisterSlot(CMailboxWriteMsgDlg::kTransferSlotReport, std::move(report));

    // Reading.
    net::SlotHooks recipients;
    recipients.completed = [reader](uint32_t purpose) { reader->RecipientsArrived(purpose); };
    recipients.refused = [reader](uint32_t purpose, int32_t) {
        reader->RecipientsRefused(purpose);
    };
    ctx.RegisterSlot(CMailboxMessageDlg::kTransferSlotRecipients, std::move(recipients));
    net::SlotHooks bodyDown;
    bodyDown.completed = [reader](uint32_t purpose) { reader->BodyArrived(purpose); };
    bodyDown.refused = [reader](uint32_t purpose, int32_t) { reader->BodyRefused(purpose); };
    ctx.RegisterSlot(CMailboxMessageDlg::kTransferSlotBody, std::move(bodyDown));
    net::SlotHooks attachmentDown;
    attachmentDown.progress = [reader](int percent, int32_t, int32_t) {
        reader->AttachmentProgress(percent);
    };
    attachmentDown.completed = [reader](uint32_t) { reader->AttachmentArrived(); };
    attachmentDown.refused = [reader](uint32_t, int32_t) { reader->AttachmentRefused(); };
    ctx.RegisterSlot(CMailboxMessageDlg::kTransferSlotAttachment, std::move(attachmentDown));

    // The pickers: while the composer is up, a pick adds a recipient to it.
    auto* contactsApi = ctx.Find<contacts::ContactsApi>();
    auto* sessionsApi = ctx.Find<sessions::SessionDirectory>();
    std::function<void()> individual;
    std::function<void()> session;
    if (contactsApi != nullptr) {
        individual = [contactsApi] { contactsApi->RequestAccountList(kAccountListForSearch); };
        contactsApi->SetAccountPicked([composer](const std::string& username) {
            if (!composer->isVisible()) return false;
            composer->AppendRecipient(username, false);
            return true;
        });
    }
    if (sessionsApi != nullptr) {
        session = [sessionsApi] { sessionsApi->OpenSessionList(); };
        sessionsApi->SetSessionPicker([composer](const std::string& name, const std::string&) {
            if (!composer->isVisible()) return false;
            composer->AppendRecipient(name, true);
            return true;
        });
    }
    composer->SetPickers(std::move(individual), std::move(session));

    // Each login starts from nothing, then asks how much mail is unread.
    ctx.AddOpeningRequest([window](net::Client& client) {
        window->ResetForLogin();
        return SendUnreadRequest(client.FileServer());
    });
    ctx.SetTool(shell::Tool::Mail, [window] { window->OpenMailbox(); });
    for (QWidget* w : window->Windows()) ctx.HideOnDrop(w);
    ctx.HideOnDrop(composer);
    for (QWidget* w : composer->Companions()) ctx.HideOnDrop(w);
    ctx.HideOnDrop(reader);
    ctx.HideOnDrop(&reader->DownloadWindow());
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<MailboxModule>();
}

}  // namespace mailbox
