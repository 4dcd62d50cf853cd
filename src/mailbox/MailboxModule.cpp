#include "mailbox/MailboxModule.h"

#include "mailbox/MailboxDlg.h"
#include "mailbox/MsgMailbox.h"
#include "net/Client.h"
#include "net/Connection.h"
#include "shell/ModuleContext.h"

namespace mailbox {

void MailboxModule::RegisterPictures(ui::Skin& skin) {
    CMailboxDlg::RegisterPictures(skin);
}

void MailboxModule::Register(shell::ModuleContext& ctx) {
    window_ = std::make_unique<CMailboxDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), ctx.Client(),
                                            ctx.MainWindow(), ctx.WindowParent());
    CMailboxDlg* window = window_.get();

    ctx.RegisterFamily(net::Primary::Mailbox,
                       [window](net::Connection& connection, const net::bufHeader& header,
                                net::LogLine& log) {
                           window->Handle(DecodeMailbox(connection.ReceiveBuffer(), header, log));
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

    // Each login starts from nothing, then asks how much mail is unread.
    ctx.AddOpeningRequest([window](net::Client& client) {
        window->ResetForLogin();
        return SendUnreadRequest(client.FileServer());
    });
    ctx.SetTool(shell::Tool::Mail, [window] { window->OpenMailbox(); });
    for (QWidget* w : window->Windows()) ctx.HideOnDrop(w);
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<MailboxModule>();
}

}  // namespace mailbox
