#pragma once

// The account information window: the six lines of the last information
// response, the two "Change..." buttons, the connection history and OK.

#include <QLabel>
#include <QPushButton>

#include "account/MsgAccount.h"
#include "ui/SkinnedDlg.h"

namespace account {

class CAccountInfoDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{428, 308};
    // The words beside each line, painted on the background.
    static const char* const kLineLabels[6];

    CAccountInfoDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                    QWidget* parent = nullptr);

    // Takes a decoded response: fills the six lines and keeps the values.
    void SetInfo(const AccountInfo& info);
    const AccountInfo& Info() const { return info_; }
    bool HasInfo() const { return hasInfo_; }

    // The shown text of line 1..6.
    QString LineText(int line) const;
    QPushButton* ChangeNameButton() const { return changeName_; }
    QPushButton* ChangePasswordButton() const { return changePassword_; }
    QPushButton* HistoryButton() const { return history_; }
    QPushButton* OkButton() const { return ok_; }

  signals:
    void changeNameRequested();
    void changePasswordRequested();
    void historyRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    AccountInfo info_;
    bool hasInfo_ = false;
    QLabel* lines_[6] = {};
    QPushButton* changeName_ = nullptr;
    QPushButton* changePassword_ = nullptr;
    QPushButton* history_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace account
