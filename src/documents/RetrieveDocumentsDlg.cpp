#include "documents/RetrieveDocumentsDlg.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QPushButton>

#include "documents/DocumentNames.h"
#include "documents/DocumentsSmallDlgs.h"
#include "net/Client.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "ui/Dialogs.h"
#include "ui/FixedButton.h"

namespace documents {

namespace ds = net::documentstore;

CRetrieveDocumentsDlg::CRetrieveDocumentsDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                             const net::Timings& timings, net::Client& client,
                                             QWidget* parent)
    : CDocumentsBrowserDlg(skin, dialogs, timings, client, QStringLiteral("Retrieve Documents"),
                           QStringLiteral("IDB_RETRIEVEDOCUMENTS"), parent) {
    view_.target = ds::kTargetRetrieve;
    download_ = new QPushButton(QStringLiteral("Download File"), this);
    download_->setGeometry(BottomButton(0, 120));

    CDocumentsTextDlg::Spec spec;
    spec.title = QStringLiteral("View Locked Directory");
    spec.background = QStringLiteral("IDB_VIEWLOCKEDDIRECTORY");
    spec.prompt = QStringLiteral("This folder is locked. Type its password:");
    spec.password = true;
    locked_ = new CDocumentsTextDlg(skin, dialogs, timings, spec, parent);
    locked_->SetConfirm([this](const QString& typed) {
        std::string error = CheckPassword(static_cast<int>(typed.size()));
        if (!error.empty()) return error;
        const QByteArray bytes = typed.toUtf8();
        password_ = std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
        silent_ = false;
        SendViewFolder(client_.FileServer(), view_.owner, lockedFolder_, ds::kTargetRetrieve,
                       false, password_);
        return error;
    });

    connect(download_, &QPushButton::clicked, this, &CRetrieveDocumentsDlg::StartDownload);
    connect(list_, &CListDocuments::touched, this, &CRetrieveDocumentsDlg::Touched);
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateButtons(); });
    connect(&list_->Model(), &QAbstractItemModel::modelReset, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

CRetrieveDocumentsDlg::~CRetrieveDocumentsDlg() {
    delete locked_;
}

std::vector<QWidget*> CRetrieveDocumentsDlg::Windows() {
    return {this, locked_};
}

bool CRetrieveDocumentsDlg::Retrieve(const std::string& owner) {
    // Another store: the last one's password has no business there.
    password_.reset();
    silent_ = false;
    Touched();
    return SendViewFolder(client_.FileServer(), owner, "/", ds::kTargetRetrieve, false,
                          std::nullopt);
}

void CRetrieveDocumentsDlg::ShowListing(const CDirectoryView& view) {
    const bool silent = silent_;
    silent_ = false;
    // Keep the selected file selected across a refresh of the same folder.
    const CDocumentEntry* before = EntryAt(list_->SelectedRow());
    const std::string selected = before != nullptr ? before->name : std::string();
    const bool sameFolder = view.owner == view_.owner && view.path == view_.path;
    Fill(view);
    setWindowTitle(QString::asprintf("Retrieve Documents - [%s]", view_.owner.c_str()));
    SetHeading(QStringLiteral("Retrieve Documents"), QString::fromUtf8(view_.owner.c_str()));
    if (sameFolder && !selected.empty()) {
        for (int r = 0; r < Model().rowCount(); ++r) {
            if (EntryAt(r)->name == selected) list_->SelectRow(r);
        }
    }
    UpdateButtons();
    if (!silent) BringUp();
}

bool CRetrieveDocumentsDlg::TakeRefusal(int32_t code, const std::string& reason) {
    if (!silent_) return false;
    silent_ = false;
    if (code != ds::kViewRefused) return false;
    // The folder went away or was locked since: say so once and go back to
    // the root, rather than asking for it again on every tick.
    client_.ShowServerResponse(RefusalText(code), reason);
    const bool wasRoot = view_.AtRoot();
    CDirectoryView root;
    root.target = view_.target;
    root.owner = wasRoot ? std::string(kUnknownOwner) : view_.owner;
    Fill(root);
    UpdateButtons();
    password_.reset();
    if (!wasRoot) {
        silent_ = true;
        SendViewFolder(client_.FileServer(), view_.owner, "/", ds::kTargetRetrieve, false,
                       std::nullopt);
    }
    return true;
}

void CRetrieveDocumentsDlg::Tick() {
    if (!isVisible() || view_.owner == kUnknownOwner) return;
    if (std::chrono::steady_clock::now() - lastAction_ < quiet_) return;
    if (SendViewFolder(client_.FileServer(), view_.owner, view_.path, ds::kTargetRetrieve, true,
                       password_)) {
        silent_ = true;
    }
}

void CRetrieveDocumentsDlg::Touched() {
    lastAction_ = std::chrono::steady_clock::now();
}

void CRetrieveDocumentsDlg::UpdateButtons() {
    back_->setEnabled(!view_.AtRoot());
    const CDocumentEntry* e = EntryAt(list_->SelectedRow());
    download_->setEnabled(downloading_ || (e != nullptr && e->type == kEntryFile));
}

void CRetrieveDocumentsDlg::RowActivated(int row) {
    Touched();
    const CDocumentEntry* e = EntryAt(row);
    if (e == nullptr || e->type != kEntryFolder) return;
    if (e->locked) {
        lockedFolder_ = e->name;
        locked_->Open();
        return;
    }
    silent_ = false;
    SendViewFolder(client_.FileServer(), view_.owner, e->name, ds::kTargetRetrieve, false,
                   std::nullopt);
}

void CRetrieveDocumentsDlg::BackClicked() {
    Touched();
    silent_ = false;
    SendViewFolder(client_.FileServer(), view_.owner, "/", ds::kTargetRetrieve, false,
                   std::nullopt);
}

void CRetrieveDocumentsDlg::hideEvent(QHideEvent* event) {
    locked_->hide();
    CDocumentsBrowserDlg::hideEvent(event);
}

// ---- Download ---------------------------------------------------------------------

void CRetrieveDocumentsDlg::StartDownload() {
    Touched();
    if (downloading_) {
        net::CancelTransfer(client_.FileServer(), kDownloadSlot);
        DownloadEnded();
        return;
    }
    const CDocumentEntry* e = EntryAt(list_->SelectedRow());
    if (e == nullptr || e->type != kEntryFile) return;
    const CDocumentEntry entry = *e;
    const QString proposal = QString::fromStdString(ProposedSaveName(entry.name));
    const QString chosen = dialogs_.SaveFileName(this, QStringLiteral("Download File"), proposal,
                                                 QStringLiteral("All Files (*)"));
    if (chosen.isEmpty()) return;
    if (!net::StartDownload(client_.FileServer(), kDownloadSlot, QFile::encodeName(chosen).toStdString(),
                            0, {view_.owner, view_.path, entry.name, password_.value_or("")})) {
        return;
    }
    downloading_ = true;
    download_->setText(QStringLiteral("Cancel"));
    ShowTransferStarted();
    UpdateButtons();
}

void CRetrieveDocumentsDlg::DownloadProgress(int percent) {
    if (downloading_) ShowTransferProgress(percent);
}

void CRetrieveDocumentsDlg::DownloadEnded() {
    downloading_ = false;
    download_->setText(QStringLiteral("Download File"));
    ShowTransferIdle();
    UpdateButtons();
}

void CRetrieveDocumentsDlg::DownloadCompleted() {
    DownloadEnded();
    dialogs_.Message(this, QStringLiteral("Info"), QStringLiteral("Download Complete"),
                     ui::MsgIcon::Information);
}

void CRetrieveDocumentsDlg::Reset() {
    DownloadEnded();
    password_.reset();
    silent_ = false;
    CDocumentsBrowserDlg::Reset();
    setWindowTitle(QStringLiteral("Retrieve Documents"));
    SetHeading(QStringLiteral("Retrieve Documents"));
    UpdateButtons();
}

}  // namespace documents
