#pragma once

// Session History: browses the log tree of a session folder by folder and
// shows a chosen log in the text viewer. One window for every room: each
// listing says which session it belongs to. Hidden, not destroyed, when
// closed.

#include <QPointer>
#include <QTreeView>
#include <string>

#include "documents/api/ListDocumentsModel.h"
#include "history/HistoryListing.h"
#include "ui/SkinnedDlg.h"
#include "ui/TextViewerDlg.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace net {
class Client;
}
namespace ui {
class CFixedButton;
}

namespace history {

class CSessionHistoryDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{440, 440};

    CSessionHistoryDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       net::Client& client, QWidget* parent = nullptr);

    // Asks for a folder of a session's tree (the room's HISTORY: "/").
    bool RequestHistory(const std::string& sessionId, const std::string& path);
    // A listing arrived: it replaces what is shown and brings the window up.
    void ShowListing(const CHistoryListing& listing);

    // Slot 5, from its hooks.
    void DownloadStarted();
    void DownloadProgress(int percent);
    void DownloadCompleted();
    void DownloadRefused();
    // A dropped connection: whatever download ran is gone with it.
    void ConnectionDropped();

    // "View File" (or "Cancel" while a download runs).
    void ViewFileClicked();

    const std::string& SessionId() const { return sessionId_; }
    const std::string& Path() const { return path_; }
    bool Downloading() const { return downloading_; }
    QTreeView* List() const { return list_; }
    documents::CListDocumentsModel& Model() { return model_; }
    QLabel* PathText() const { return pathText_; }
    QLabel* Summary() const { return summary_; }
    ui::CFixedButton* BackButton() const { return back_; }
    QPushButton* ViewButton() const { return view_; }
    QProgressBar* Progress() const { return progress_; }
    QLabel* Percent() const { return percent_; }
    // The last viewer opened, while it is open.
    ui::CTextViewerDlg* Viewer() const { return viewer_; }
    // Where the chosen log lands.
    std::string LocalFile() const;
    int SelectedRow() const;
    void SelectRow(int row);
    void RowActivated(int row);
    void BackClicked();

  private:
    void UpdateButtons();
    void ShowIdle();

    net::Client& client_;
    documents::CListDocumentsModel model_;
    std::string sessionId_;
    std::string path_ = kTop;
    // The server's name of the log being downloaded: offered when it is saved.
    std::string downloadName_;
    bool downloading_ = false;
    bool placed_ = false;
    QTreeView* list_ = nullptr;
    QLabel* pathText_ = nullptr;
    QLabel* summary_ = nullptr;
    ui::CFixedButton* back_ = nullptr;
    QPushButton* view_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QLabel* percent_ = nullptr;
    QPointer<ui::CTextViewerDlg> viewer_;
};

}  // namespace history
