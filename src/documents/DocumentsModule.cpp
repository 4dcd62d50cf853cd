#include "documents/DocumentsModule.h"

#include "contacts/api/ContactsApi.h"
#include "documents/DocumentsSmallDlgs.h"
#include "documents/MsgDocumentStore.h"
#include "documents/RetrieveDocumentsDlg.h"
#include "documents/ShareDocumentsDlg.h"
#include "net/Client.h"
#include "net/Connection.h"
#include "sessions/api/SessionRooms.h"
#include "shell/ModuleContext.h"
#include "ui/Skin.h"

namespace documents {

DocumentsModule::DocumentsModule() = default;
DocumentsModule::~DocumentsModule() = default;

void DocumentsModule::RegisterPictures(ui::Skin& skin) {
    const QSize browser = CDocumentsBrowserDlg::kClientSize;
    skin.RegisterBackground(QStringLiteral("IDB_SHAREDOCUMENTS"), browser,
                            QStringLiteral("Share Documents"));
    skin.RegisterBackground(QStringLiteral("IDB_RETRIEVEDOCUMENTS"), browser,
                            QStringLiteral("Retrieve Documents"));
    const QSize text = CDocumentsTextDlg::kClientSize;
    skin.RegisterBackground(QStringLiteral("IDB_LOCKFOLDER"), text, QStringLiteral("Lock Folder"));
    skin.RegisterBackground(QStringLiteral("IDB_VIEWLOCKEDDIRECTORY"), text,
                            QStringLiteral("View Locked Directory"));
    skin.RegisterBackground(QStringLiteral("IDB_NEWFOLDER"), text, QStringLiteral("New Folder"));
    skin.RegisterBackground(QStringLiteral("IDB_RENAMEFOLDER"), text,
                            QStringLiteral("Rename Folder"));
    skin.RegisterBackground(QStringLiteral("IDB_RENAMEFILE"), text, QStringLiteral("Rename File"));
    skin.RegisterBackground(QStringLiteral("IDB_RETRIEVEPROMPT"), text,
                            QStringLiteral("Retrieve Documents"));
    skin.RegisterBackground(QStringLiteral("IDB_MOVEFILE"), CMoveFileDlg::kClientSize,
                            QStringLiteral("Move File"));
    skin.RegisterBackground(QStringLiteral("IDB_UPLOADFILE"), CUploadFileDlg::kClientSize,
                            QStringLiteral("Upload a File"));
    if (!skin.Has(QStringLiteral("BACKU"))) {
        skin.RegisterButton(QStringLiteral("BACK"), QSize(88, 30), QStringLiteral("Back"));
    }
}

void DocumentsModule::Register(shell::ModuleContext& ctx) {
    net::Client& client = ctx.Client();
    share_ = std::make_unique<CShareDocumentsDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), client,
                                                  ctx.WindowParent());
    retrieve_ = std::make_unique<CRetrieveDocumentsDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                                        client, ctx.WindowParent());
    CDocumentsTextDlg::Spec spec;
    spec.title = QStringLiteral("Retrieve Documents");
    spec.background = QStringLiteral("IDB_RETRIEVEPROMPT");
    spec.prompt = QStringLiteral(
        "Type the username of the person whose documents you would like to retrieve:");
    spec.maxLength = kMaxOwner;
    prompt_ = std::make_unique<CDocumentsTextDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), spec,
                                                  ctx.WindowParent());
    prompt_->SetConfirm([this](const QString& typed) {
        const QString name = typed.trimmed();
        if (!name.isEmpty()) RetrieveDocuments(name.toStdString());
        return std::string();
    });

    CShareDocumentsDlg* share = share_.get();
    CRetrieveDocumentsDlg* retrieve = retrieve_.get();
    ctx.RegisterFamily(net::Primary::DocumentStore,
                       [share, retrieve, &client](net::Connection& connection,
                                                  const net::bufHeader& header, net::LogLine&) {
                           const DocumentStoreEvent e =
                               DecodeDocumentStore(connection.ReceiveBuffer(), header);
                           if (e.kind == DocumentStoreEvent::Kind::Listing) {
                               if (e.view.target == 1) {
                                   share->ShowListing(e.view);
                               } else {
                                   retrieve->ShowListing(e.view);
                               }
                           } else if (e.kind == DocumentStoreEvent::Kind::Refused) {
                               if (!retrieve->TakeRefusal(e.code, e.reason)) {
                                   client.ShowServerResponse(RefusalText(e.code), e.reason);
                               }
                           }
                       });

    net::SlotHooks upload;
    upload.goAhead = [share](int32_t) { share->UploadGoAhead(); };
    upload.progress = [share](int percent, int32_t, int32_t) { share->UploadProgress(percent); };
    upload.completed = [share](uint32_t) { share->UploadCompleted(); };
    upload.refused = [share](uint32_t, int32_t) { share->UploadRefused(); };
    ctx.RegisterSlot(CShareDocumentsDlg::kUploadSlot, std::move(upload));
    net::SlotHooks download;
    download.progress = [retrieve](int percent, int32_t, int32_t) {
        retrieve->DownloadProgress(percent);
    };
    download.completed = [retrieve](uint32_t) { retrieve->DownloadCompleted(); };
    download.refused = [retrieve](uint32_t, int32_t) { retrieve->DownloadEnded(); };
    ctx.RegisterSlot(CRetrieveDocumentsDlg::kDownloadSlot, std::move(download));

    ctx.SetTool(shell::Tool::Documents, [share] { share->OpenOwnStore(); });
    ctx.AddPeriodicRefresh([retrieve] { retrieve->Tick(); });
    ctx.MainWindow().AddContextMenuItem("Retrieve Documents...", [this] { prompt_->Open(); });
    if (auto* contacts = ctx.Find<contacts::ContactsApi>()) {
        contacts->SetContactAction(contacts::ContactAction::RetrieveDocuments,
                                   [this](const std::string& user) { RetrieveDocuments(user); });
    }
    // The same in a session room's participant menu.
    if (auto* rooms = ctx.Find<sessions::SessionRooms>()) {
        rooms->SetMenuAction(sessions::RoomMenuItem::RetrieveDocuments,
                             [this](const std::string&, const std::string& account) {
                                 RetrieveDocuments(account);
                             });
    }
    ctx.Publish<DocumentsApi>(*this);

    for (QWidget* w : share_->Windows()) ctx.HideOnDrop(w);
    for (QWidget* w : retrieve_->Windows()) ctx.HideOnDrop(w);
    ctx.HideOnDrop(prompt_.get());
}

void DocumentsModule::LoggedOut() {
    // The connection's end closed both slots (a download's partial file
    // with them); the windows start over at the next login.
    if (share_) share_->Reset();
    if (retrieve_) retrieve_->Reset();
}

bool DocumentsModule::RetrieveDocuments(const std::string& owner) {
    return retrieve_ != nullptr && retrieve_->Retrieve(owner);
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<DocumentsModule>();
}

}  // namespace documents
