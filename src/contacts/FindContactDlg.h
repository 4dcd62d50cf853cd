#pragma once

// "Find a Contact": every account of the network from the account list file,
// in a list sorted by header clicks. A double click offers the row's username
// to whoever takes it (the mail composition, when it is open).

#include <QTreeView>
#include <functional>
#include <string>

#include "contacts/api/ListAccountRecords.h"
#include "ui/SkinnedDlg.h"

namespace ui {
class CFilterEdit;
}

namespace contacts {

class CFindContactDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    // The list's place inside the frame.
    static constexpr QRect kListRect{41, 85, 645, 250};

    CFindContactDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                    QWidget* parent = nullptr);

    // The downloaded file: read it, sort, fill the list and show the window
    // in front. A file that cannot be opened is reported and nothing else
    // happens. Returns whether the file was read.
    bool LoadAndShow(const std::string& path);

    // True when the username was taken; the window then hides.
    void SetPick(std::function<bool(const std::string& username)> pick) { pick_ = std::move(pick); }
    // A double click on a row (the view's signal ends here).
    void RowActivated(int row);

    QTreeView* List() const { return view_; }
    ui::CFilterEdit* Filter() const { return filter_; }
    CListAccountRecords& Records() { return model_; }

  private:
    void ShowOrder();

    CListAccountRecords model_;
    QTreeView* view_ = nullptr;
    ui::CFilterEdit* filter_ = nullptr;
    std::function<bool(const std::string&)> pick_;
    bool placed_ = false;
};

}  // namespace contacts
