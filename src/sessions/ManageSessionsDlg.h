#pragma once

// Manage Sessions: the directory's own page of sessions (selector 1, 12 a
// page) with its paging buttons and page text, "Refresh View",
// "Create Session...", "Modify" and "Delete". "Modify" and "Delete" work
// only with a row selected and are switched off at each request. Created
// once; centred the first time it is brought up, left where it is after.

#include <QLabel>
#include <QPushButton>
#include <cstdint>
#include <functional>
#include <string>

#include "sessions/ListSessionsZorvic.h"
#include "sessions/SessionPage.h"
#include "ui/SkinnedDlg.h"

namespace net {
class Client;
}

namespace ui {
class CFixedButton;
}

namespace sessions {

class CManageSessionsDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{412, 356};

    CManageSessionsDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       net::Client& client, QWidget* parent = nullptr);

    // Asks for a page of this list; Modify and Delete go off.
    bool RequestPage(int32_t pageIndex, int32_t refreshFlag);
    bool RequestCurrentPage(int32_t refreshFlag) { return RequestPage(pageIndex_, refreshFlag); }
    // The page that arrived for this list.
    void DisplayPage(const SessionPageView& page);
    void TakePosition(int32_t sortCode, int32_t pageIndex);
    // Centred the first time, where it was after that.
    void BringUp();
    // The end of a login: sort 3, page 0, "updating...", the arrow on "Created".
    void ResetForLogin();

    // Who takes a double-clicked row (the message composer's picker).
    void SetPicker(std::function<bool(const std::string& name, const std::string& id)> picker) {
        picker_ = std::move(picker);
    }

    CListSessions& List() { return *list_; }
    QLabel* PageLabel() const { return pageText_; }
    ui::CFixedButton* PreviousButton() const { return previous_; }
    ui::CFixedButton* NextButton() const { return next_; }
    QPushButton* RefreshButton() const { return refresh_; }
    QPushButton* CreateButton() const { return create_; }
    QPushButton* ModifyButton() const { return modify_; }
    QPushButton* DeleteButton() const { return delete_; }
    int32_t SortCode() const { return sortCode_; }
    int32_t PageIndex() const { return pageIndex_; }
    int32_t PageCount() const { return pageCount_; }

    void Modify();
    void Delete();

  private:
    void OnSelection();
    // The selected row's id and creator; false without a selection.
    bool Selected(SessionRow& row) const;
    bool MayChangeSelected(const SessionRow& row, const char* refusal);

    net::Client& client_;
    CListSessions* list_ = nullptr;
    QLabel* pageText_ = nullptr;
    ui::CFixedButton* previous_ = nullptr;
    ui::CFixedButton* next_ = nullptr;
    QPushButton* refresh_ = nullptr;
    QPushButton* create_ = nullptr;
    QPushButton* modify_ = nullptr;
    QPushButton* delete_ = nullptr;
    std::function<bool(const std::string&, const std::string&)> picker_;

    int32_t sortCode_ = kInitialSortCode;
    int32_t pageIndex_ = 0;
    int32_t pageCount_ = 1;
    bool placed_ = false;
};

}  // namespace sessions
