#include "documents/ShareDocumentsDlg.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QHideEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "documents/DocumentNames.h"
#include "documents/DocumentsSmallDlgs.h"
#include "net/Client.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "ui/Dialogs.h"
#include "ui/FileDrop.h"
#include "ui/FixedButton.h"

namespace documents {

namespace ds = net::documentstore;

namespace {

constexpr char kDeleteQuestion[] = "Warning! Are you sure you wish to delete the selected item?";

CDocumentsTextDlg::Spec NameSpec(const char* title, const char* background, const char* prompt) {
    CDocumentsTextDlg::Spec spec;
    spec.title = QString::fromLatin1(title);
    spec.background = QString::fromLatin1(background);
    spec.prompt = QString::fromLatin1(prompt);
    spec.maxLength = 120;
    return spec;
}

std::string Utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

}  // namespace

CShareDocumentsDlg::CShareDocumentsDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                       const net::Timings& timings, net::Client& client,
                                       QWidget* parent)
    : CDocumentsBrowserDlg(skin, dialogs, timings, client, QStringLiteral("Share Documents"),
                           QStringLiteral("IDB_SHAREDOCUMENTS"), parent) {
    view_.target = ds::kTargetShare;
    newFolder_ = new QPushButton(QStringLiteral("New Folder"), this);
    newFolder_->setGeometry(BottomButton(0, 120));
    upload_ = new QPushButton(QStringLiteral("Upload File"), this);
    upload_->setGeometry(BottomButton(1, 120));
    menu_ = new QMenu(this);

    CDocumentsTextDlg::Spec lockSpec;
    lockSpec.title = QStringLiteral("Lock Folder");
    lockSpec.background = QStringLiteral("IDB_LOCKFOLDER");
    lockSpec.prompt = QStringLiteral("Type a password for the folder:");
    lockSpec.password = true;
    lock_ = new CDocumentsTextDlg(skin, dialogs, timings, lockSpec, parent);
    lock_->SetConfirm([this](const QString& password) {
        std::string error = CheckPassword(static_cast<int>(password.size()));
        if (error.empty()) SendLockFolder(client_.FileServer(), Me(), subject_, Utf8(password));
        return error;
    });
    newFolderDlg_ = new CDocumentsTextDlg(
        skin, dialogs, timings,
        NameSpec("New Folder", "IDB_NEWFOLDER", "Type the name of the new folder:"), parent);
    newFolderDlg_->SetConfirm([this](const QString& name) {
        const std::string utf8 = Utf8(name);
        std::string error = CheckName(NameWindow::NewFolder, utf8, view_.entries);
        if (error.empty()) SendCreateFolder(client_.FileServer(), Me(), utf8);
        return error;
    });
    renameFolder_ = new CDocumentsTextDlg(
        skin, dialogs, timings,
        NameSpec("Rename Folder", "IDB_RENAMEFOLDER", "Type the new name of the folder:"), parent);
    renameFolder_->SetConfirm([this](const QString& name) {
        const std::string utf8 = Utf8(name);
        std::string error = CheckName(NameWindow::RenameFolder, utf8, view_.entries);
        if (error.empty()) SendRenameFolder(client_.FileServer(), Me(), subject_, utf8);
        return error;
    });
    renameFile_ = new CDocumentsTextDlg(
        skin, dialogs, timings,
        NameSpec("Rename File", "IDB_RENAMEFILE", "Type the new name of the file:"), parent);
    renameFile_->SetConfirm([this](const QString& name) {
        const std::string utf8 = Utf8(name);
        std::string error = CheckName(NameWindow::RenameFile, utf8, view_.entries);
        if (error.empty()) {
            SendRenameFile(client_.FileServer(), Me(), view_.path, subject_, utf8);
        }
        return error;
    });
    move_ = new CMoveFileDlg(skin, dialogs, timings, parent);
    move_->SetMove([this](const std::string& destination) {
        SendMoveFile(client_.FileServer(), Me(), view_.path, subject_, destination);
    });
    uploadDlg_ = new CUploadFileDlg(skin, dialogs, timings, parent);
    uploadDlg_->SetUpload([this](const QString& local, const std::string& remote) {
        return StartUpload(local, view_.path, remote, uploadDlg_);
    });

    setAcceptDrops(true);
    connect(newFolder_, &QPushButton::clicked, this, [this] { newFolderDlg_->Open(); });
    connect(upload_, &QPushButton::clicked, this, &CShareDocumentsDlg::UploadClicked);
    connect(list_, &CListDocuments::deletePressed, this, &CShareDocumentsDlg::DeleteRow);
    connect(list_, &CListDocuments::menuRequested, this, [this](int row, const QPoint& at) {
        if (QMenu* menu = MenuFor(row)) menu->popup(at);
    });
    UpdateButtons();
}

CShareDocumentsDlg::~CShareDocumentsDlg() {
    // The companions share the parent; they go with this window.
    delete lock_;
    delete newFolderDlg_;
    delete renameFolder_;
    delete renameFile_;
    delete move_;
    delete uploadDlg_;
}

std::vector<QWidget*> CShareDocumentsDlg::Windows() {
    return {this, lock_, newFolderDlg_, renameFolder_, renameFile_, move_, uploadDlg_};
}

std::string CShareDocumentsDlg::Me() const {
    return client_.Username();
}

bool CShareDocumentsDlg::ShowsOwnStore() const {
    return QString::fromStdString(view_.owner)
               .compare(QString::fromStdString(Me()), Qt::CaseInsensitive) == 0;
}

bool CShareDocumentsDlg::OpenOwnStore() {
    return SendViewFolder(client_.FileServer(), Me(), "/", ds::kTargetShare, false, std::nullopt);
}

void CShareDocumentsDlg::ShowListing(const CDirectoryView& view) {
    Fill(view);
    UpdateButtons();
    BringUp();
}

void CShareDocumentsDlg::UpdateButtons() {
    back_->setEnabled(!view_.AtRoot());
    newFolder_->setEnabled(view_.AtRoot());
}

void CShareDocumentsDlg::RowActivated(int row) {
    const CDocumentEntry* e = EntryAt(row);
    if (e == nullptr || e->type != kEntryFolder) return;
    SendViewFolder(client_.FileServer(), Me(), e->name, ds::kTargetShare, false, std::nullopt);
}

void CShareDocumentsDlg::BackClicked() {
    SendViewFolder(client_.FileServer(), Me(), "/", ds::kTargetShare, false, std::nullopt);
}

QMenu* CShareDocumentsDlg::MenuFor(int row) {
    const CDocumentEntry* e = EntryAt(row);
    if (e == nullptr) return nullptr;
    menu_->clear();
    if (e->type == kEntryFile) {
        menu_->addAction(QStringLiteral("Move"), this, [this, row] { MoveRow(row); });
    } else {
        menu_->addAction(e->locked ? QStringLiteral("Unlock") : QStringLiteral("Lock"), this,
                         [this, row] { LockRow(row); });
    }
    menu_->addAction(QStringLiteral("Rename"), this, [this, row] { RenameRow(row); });
    menu_->addAction(QStringLiteral("Delete"), this, [this, row] { DeleteRow(row); });
    return menu_;
}

void CShareDocumentsDlg::DeleteRow(int row) {
    const CDocumentEntry* e = EntryAt(row);
    if (e == nullptr) return;
    const CDocumentEntry entry = *e;
    if (dialogs_.Message(this, QStringLiteral("Caution"), QString::fromLatin1(kDeleteQuestion),
                         ui::MsgIcon::Warning, ui::MsgButtons::YesNo) != ui::MsgAnswer::Yes) {
        return;
    }
    // An entry of type 0 has no delete request.
    if (entry.type == kEntryFolder) {
        SendDeleteFolder(client_.FileServer(), Me(), entry.name);
    } else if (entry.type == kEntryFile) {
        SendDeleteFile(client_.FileServer(), Me(), view_.path, entry.name);
    }
}

void CShareDocumentsDlg::LockRow(int row) {
    const CDocumentEntry* e = EntryAt(row);
    if (e == nullptr || e->type == kEntryFile) return;
    subject_ = e->name;
    if (e->locked) {
        SendUnlockFolder(client_.FileServer(), Me(), subject_);
    } else {
        lock_->Open();
    }
}

void CShareDocumentsDlg::RenameRow(int row) {
    const CDocumentEntry* e = EntryAt(row);
    if (e == nullptr) return;
    subject_ = e->name;
    if (e->type == kEntryFile) {
        renameFile_->Open();
    } else {
        renameFolder_->Open();
    }
}

void CShareDocumentsDlg::MoveRow(int row) {
    const CDocumentEntry* e = EntryAt(row);
    if (e == nullptr || e->type != kEntryFile) return;
    subject_ = e->name;
    move_->Open(QString::fromUtf8(e->name.c_str()), MoveDestinations(view_.path, view_.entries));
}

// ---- Upload ------------------------------------------------------------------------

void CShareDocumentsDlg::UploadClicked() {
    if (uploading_) {
        // Cancel stops the dropped files still waiting as well.
        queue_.clear();
        net::CancelTransfer(client_.FileServer(), kUploadSlot);
        UploadEnded();
        return;
    }
    uploadDlg_->Open();
}

bool CShareDocumentsDlg::StartUpload(const QString& local, const std::string& folder,
                                     const std::string& remote, QWidget* over) {
    // A file that cannot be opened is said at once, not as a request that
    // silently never goes.
    QFile probe(local);
    if (!probe.open(QIODevice::ReadOnly)) {
        dialogs_.Message(over, QString(), QString::fromLatin1(net::kFailedToReadText));
        return false;
    }
    probe.close();
    return net::StartUpload(client_.FileServer(), kUploadSlot, local.toStdString(),
                            {folder, remote});
}

// ---- Dropped files ---------------------------------------------------------------

bool CShareDocumentsDlg::TakesDrops() const {
    return isVisible() && !view_.owner.empty() && ShowsOwnStore();
}

void CShareDocumentsDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (TakesDrops() && ui::CarriesAddresses(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CShareDocumentsDlg::dragMoveEvent(QDragMoveEvent* event) {
    if (TakesDrops() && ui::CarriesAddresses(event->mimeData())) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
}

void CShareDocumentsDlg::dropEvent(QDropEvent* event) {
    if (!TakesDrops()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    DropFiles(event->mimeData());
}

bool CShareDocumentsDlg::DropFiles(const QMimeData* data) {
    if (!TakesDrops()) return false;
    const ui::DroppedFiles dropped = ui::ReadDroppedFiles(data);
    QStringList problems;
    QStringList refused;
    for (const QString& folder : dropped.folders) refused << QFileInfo(folder).fileName();
    for (const QString& other : dropped.others) refused << other;
    if (!refused.isEmpty()) {
        // A drag may carry any number of addresses of any length: the box
        // names a few, each cut short.
        constexpr qsizetype kNamed = 10;
        constexpr qsizetype kNameChars = 80;
        QStringList named;
        for (qsizetype i = 0; i < refused.size() && i < kNamed; ++i) {
            const QString& name = refused[i];
            named << (name.size() > kNameChars ? name.left(kNameChars) + QStringLiteral("...")
                                               : name);
        }
        if (refused.size() > kNamed) {
            named << QStringLiteral("and %1 more").arg(refused.size() - kNamed);
        }
        problems << QStringLiteral("Only files can be uploaded; left out: %1")
                        .arg(named.join(QStringLiteral(", ")));
    }
    bool queued = false;
    for (const QString& local : dropped.files) {
        const std::string path = Utf8(local);
        const std::string remote = ProposedRemoteName(path);
        const std::string error = CheckUpload(path, remote);
        if (!error.empty()) {
            problems << QFileInfo(local).fileName() + QStringLiteral(": ") +
                            QString::fromStdString(error);
            continue;
        }
        // The folder shown now, even if another is opened before its turn.
        queue_.push_back({local, view_.path, remote});
        queued = true;
    }
    if (!problems.isEmpty()) {
        dialogs_.Message(this, QStringLiteral("Error"), problems.join(QLatin1Char('\n')),
                         ui::MsgIcon::Information);
    }
    PumpQueue();
    return queued;
}

void CShareDocumentsDlg::PumpQueue() {
    while (!queue_.empty() && !uploading_) {
        {
            // The upload window's own upload, or one waiting for its
            // go-ahead, keeps the slot; the queue goes on when it ends.
            net::TransferSlot& slot = client_.FileServer().Slot(kUploadSlot);
            auto lock = slot.Lock();
            if (slot.Busy()) return;
        }
        const QueuedUpload next = queue_.front();
        queue_.pop_front();
        if (StartUpload(next.local, next.folder, next.remote, this)) return;
    }
}

void CShareDocumentsDlg::hideEvent(QHideEvent* event) {
    // Closing the window drops the files still waiting; the one under way
    // goes on, as an upload from the button does.
    if (!event->spontaneous()) queue_.clear();
    CDocumentsBrowserDlg::hideEvent(event);
}

void CShareDocumentsDlg::UploadGoAhead() {
    uploading_ = true;
    upload_->setText(QStringLiteral("Cancel"));
    ShowTransferStarted();
    // A first chunk that cannot be read closes the slot without a word to
    // us; the display must not keep offering Cancel then.
    QTimer::singleShot(0, this, [this] {
        if (!uploading_) return;
        net::TransferSlot& slot = client_.FileServer().Slot(kUploadSlot);
        auto lock = slot.Lock();
        const bool busy = slot.Busy();
        lock.unlock();
        if (!busy) {
            UploadEnded();
            PumpQueue();
        }
    });
}

void CShareDocumentsDlg::UploadProgress(int percent) {
    if (uploading_) ShowTransferProgress(percent);
}

void CShareDocumentsDlg::UploadEnded() {
    uploading_ = false;
    upload_->setText(QStringLiteral("Upload File"));
    ShowTransferIdle();
}

void CShareDocumentsDlg::UploadCompleted() {
    UploadEnded();
    dialogs_.Message(this, QStringLiteral("Info"), QStringLiteral("Upload Complete"),
                     ui::MsgIcon::Information);
    if (ShowsOwnStore()) {
        SendViewFolder(client_.FileServer(), Me(), view_.path, ds::kTargetShare, false,
                       std::nullopt);
    }
    PumpQueue();
}

void CShareDocumentsDlg::UploadRefused() {
    // The refusal itself was shown; the next dropped file still gets its turn.
    UploadEnded();
    PumpQueue();
}

void CShareDocumentsDlg::Reset() {
    // The connection is gone: nothing waiting goes on the next one.
    queue_.clear();
    UploadEnded();
    CDocumentsBrowserDlg::Reset();
    UpdateButtons();
}

}  // namespace documents
