#pragma once

// "Network Information": the network's number, name, accounts and server
// time, and its log folders. A double click opens a folder or downloads a
// log (for administrators); a double click while a log is arriving cancels
// it. "Manage Accounts..." opens the account administration.

#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTreeView>
#include <functional>
#include <string>

#include "net/MsgNetwork.h"
#include "ui/FixedButton.h"
#include "ui/SkinnedDlg.h"

namespace admin {

class CNetworkInformationDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{470, 446};
    // The labelled fields, top to bottom, painted beside their values.
    static const char* const kFieldLabels[4];
    // The columns of the log list and their widths in pixels.
    static constexpr const char* kColumnTitles[3] = {"Name", "Size", "Modified"};
    static constexpr int kColumnWidths[3] = {150, 80, 170};
    // The first showing sits this far right of and below the centre.
    static constexpr QPoint kFirstOffset{38, 24};

    // What the window asks of the program.
    struct Actions {
        // The signed-in user's level (0 root, 1 admin, 2 regular).
        std::function<int()> level;
        // The zorvic number as the user typed it (seven digits).
        std::function<std::string()> number;
        // Network request 3 for a folder ("/" at the top).
        std::function<bool(const std::string& path)> requestFolder;
        // The download of a log file of the folder.
        std::function<bool(const std::string& path, const std::string& name)> downloadLog;
        // Cancels the running log download.
        std::function<void()> cancelDownload;
        // "Manage Accounts..." once the rights were checked.
        std::function<void()> manageAccounts;
    };

    CNetworkInformationDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                           Actions actions, QWidget* parent = nullptr);

    static void RegisterPictures(ui::Skin& skin);

    // Stores the answer, fills the window and brings it up.
    void ShowInformation(const net::NetworkInformation& info);

    // A double click on the row of the log list.
    void EntryActivated(int row);
    // "BACKINFO": the parent folder.
    void Back();
    // "Manage Accounts...".
    void ManageAccounts();

    // The log download: set when the server starts it, cleared when it ends.
    void SetDownloading(bool downloading) { downloading_ = downloading; }
    bool Downloading() const { return downloading_; }

    const net::NetworkInformation& Information() const { return info_; }
    const std::string& Path() const { return info_.path; }
    QString FieldText(int field) const;
    QString PathLabelText() const { return pathLabel_->text(); }
    QTreeView* List() const { return list_; }
    QStandardItemModel* Entries() { return &model_; }
    ui::CFixedButton* BackButton() const { return back_; }
    QPushButton* ManageButton() const { return manage_; }
    QPushButton* OkButton() const { return ok_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void Fill();

    Actions actions_;
    net::NetworkInformation info_;
    bool downloading_ = false;
    bool placed_ = false;
    QLabel* fields_[4] = {};
    QLabel* pathLabel_ = nullptr;
    QStandardItemModel model_;
    QTreeView* list_ = nullptr;
    ui::CFixedButton* back_ = nullptr;
    QPushButton* manage_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace admin
