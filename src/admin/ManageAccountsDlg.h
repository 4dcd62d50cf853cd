#pragma once

// "Manage Accounts": every account of the network from the account list
// file, sorted by header clicks, several rows selectable, and the six
// actions. A button is enabled when at least one selected row qualifies for
// it; the action file lists every selected account and goes to the server
// with the action, and the list shows the result once it is read again.

#include <QPushButton>
#include <QTreeView>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "admin/api/AdminRules.h"
#include "contacts/api/ListAccountRecords.h"
#include "ui/SkinnedDlg.h"

namespace admin {

class CManageAccountsDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{705, 372};
    static constexpr QRect kListRect{18, 48, 669, 262};

    struct Actions {
        // The signed-in user's level (0 root, 1 admin, 2 regular).
        std::function<int()> level;
        // The data folder, where the action file is written.
        std::function<std::string()> dataDirectory;
        // The upload of the action file (its full path) with the action.
        std::function<bool(const std::string& path, int32_t action)> upload;
    };

    CManageAccountsDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       Actions actions, QWidget* parent = nullptr);

    static void RegisterPictures(ui::Skin& skin);

    // The downloaded account list: read, sort, fill, update the buttons and
    // come up (centred the first time). A file that cannot be opened is
    // reported and the list keeps what it had. Returns whether it was read.
    bool LoadAndShow(const std::string& path);

    // A button: the "Caution" question, then the file and the upload.
    // Returns whether the upload was asked for.
    bool Apply(int action);

    // Enables each button for which a selected row qualifies.
    void UpdateButtons();
    // The usernames of the selected rows, in display order.
    std::vector<std::string> SelectedUsernames() const;

    QTreeView* List() const { return view_; }
    contacts::CListAccountRecords& Records() { return model_; }
    QPushButton* Button(int action) const {
        return action >= 0 && action < kActionCount ? buttons_[static_cast<size_t>(action)]
                                                    : nullptr;
    }
    // Selects the rows (display order), replacing the selection.
    void SelectRows(const std::vector<int>& rows);

  private:
    void ShowOrder();
    std::vector<int> SelectedRows() const;

    Actions actions_;
    contacts::CListAccountRecords model_;
    QTreeView* view_ = nullptr;
    std::array<QPushButton*, kActionCount> buttons_{};
    bool placed_ = false;
};

}  // namespace admin
