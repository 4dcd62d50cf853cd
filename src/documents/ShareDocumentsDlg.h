#pragma once

// Share Documents: the user's own store. Folders open with a double click;
// the context menus move, rename, delete, lock and unlock; New Folder works
// at the root; Upload File sends a local file into the folder shown, and so
// does each file dropped on the window, one after the other.

#include <QString>
#include <QStringList>
#include <deque>
#include <string>

#include "documents/DocumentsBrowserDlg.h"

class QMenu;
class QMimeData;
class QPushButton;

namespace documents {

class CDocumentsTextDlg;
class CMoveFileDlg;
class CUploadFileDlg;

class CShareDocumentsDlg : public CDocumentsBrowserDlg {
    Q_OBJECT

  public:
    static constexpr int kUploadSlot = 0;

    CShareDocumentsDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       net::Client& client, QWidget* parent = nullptr);
    ~CShareDocumentsDlg() override;

    // The DOCUMENTS button: the own root.
    bool OpenOwnStore();
    // A listing for this window.
    void ShowListing(const CDirectoryView& view);

    // The upload of slot 0: the go-ahead, progress, completion and refusal.
    void UploadGoAhead();
    void UploadProgress(int percent);
    void UploadCompleted();
    void UploadRefused();
    void UploadEnded();
    bool Uploading() const { return uploading_; }

    void Reset() override;

    // Dropped files: each gets the name the upload window would propose and
    // that window's checks, then waits its turn for the upload slot. Folders
    // and anything not a local file are refused with a message. Returns
    // whether any file was queued.
    bool DropFiles(const QMimeData* data);
    // Whether a drag may end here: a listing of the own store is shown.
    bool TakesDrops() const;
    int QueuedUploads() const { return static_cast<int>(queue_.size()); }

    // The context menu of a row, filled for it (null for no row).
    QMenu* MenuFor(int row);
    // The menu's actions and the Delete key.
    void DeleteRow(int row);
    void LockRow(int row);
    void RenameRow(int row);
    void MoveRow(int row);

    QPushButton* NewFolderButton() const { return newFolder_; }
    QPushButton* UploadButton() const { return upload_; }
    CDocumentsTextDlg& LockWindow() const { return *lock_; }
    CDocumentsTextDlg& NewFolderWindow() const { return *newFolderDlg_; }
    CDocumentsTextDlg& RenameFolderWindow() const { return *renameFolder_; }
    CDocumentsTextDlg& RenameFileWindow() const { return *renameFile_; }
    CMoveFileDlg& MoveWindow() const { return *move_; }
    CUploadFileDlg& UploadWindow() const { return *uploadDlg_; }
    // This window and its companions (hidden on a drop).
    std::vector<QWidget*> Windows();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void RowActivated(int row) override;
    void BackClicked() override;

  private:
    void UpdateButtons();
    void UploadClicked();
    bool StartUpload(const QString& local, const std::string& folder, const std::string& remote,
                     QWidget* over);
    // Starts the next dropped file when the slot is free.
    void PumpQueue();
    std::string Me() const;
    bool ShowsOwnStore() const;

    QPushButton* newFolder_ = nullptr;
    QPushButton* upload_ = nullptr;
    QMenu* menu_ = nullptr;
    CDocumentsTextDlg* lock_ = nullptr;
    CDocumentsTextDlg* newFolderDlg_ = nullptr;
    CDocumentsTextDlg* renameFolder_ = nullptr;
    CDocumentsTextDlg* renameFile_ = nullptr;
    CMoveFileDlg* move_ = nullptr;
    CUploadFileDlg* uploadDlg_ = nullptr;
    // The entry a companion acts on.
    std::string subject_;
    bool uploading_ = false;
    struct QueuedUpload {
        QString local;
        std::string folder;
        std::string remote;
    };
    std::deque<QueuedUpload> queue_;
};

}  // namespace documents
