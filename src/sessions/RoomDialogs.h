#pragma once

// The room's three small windows: Invite, Remove Participant and Session
// Info. Each exists once and is reused for whichever room opened it,
// keeping the session id (and account) it was opened with.

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <array>
#include <functional>
#include <string>

#include "sessions/RoomModel.h"
#include "ui/SkinnedDlg.h"

class QPushButton;

namespace ui {
class CImageToggle;
}

namespace sessions {

class CSessionInviteDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    using Send = std::function<void(const std::string& id, const std::string& invitee,
                                    int32_t passwordIncluded)>;
    CSessionInviteDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                      Send send, QWidget* parent = nullptr);

    void Open(const std::string& sessionId);
    const std::string& SessionId() const { return id_; }
    QLineEdit* Invitee() const { return invitee_; }
    ui::CImageToggle* RequirePassword() const { return require_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

  private:
    Send send_;
    std::string id_;
    QLineEdit* invitee_ = nullptr;
    ui::CImageToggle* require_ = nullptr;
    QPushButton* ok_ = nullptr;
};

class CRemoveParticipantDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    using Send =
        std::function<void(const std::string& id, const std::string& account, int32_t minutes)>;
    CRemoveParticipantDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                          Send send, QWidget* parent = nullptr);

    // Neither choice is made when the window opens.
    void Open(const std::string& sessionId, const std::string& account);
    const std::string& SessionId() const { return id_; }
    const std::string& Account() const { return account_; }
    QRadioButton* RemoveOnly() const { return removeOnly_; }
    QRadioButton* Ban() const { return ban_; }
    QLineEdit* Minutes() const { return minutes_; }
    QPushButton* OkButton() const { return ok_; }

    void accept() override;

  private:
    Send send_;
    std::string id_;
    std::string account_;
    QLabel* heading_ = nullptr;
    QRadioButton* removeOnly_ = nullptr;
    QRadioButton* ban_ = nullptr;
    QLineEdit* minutes_ = nullptr;
    QPushButton* ok_ = nullptr;
};

class CSessionInfoDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    CSessionInfoDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                    QWidget* parent = nullptr);

    // Fills the fields and brings the window up centred, focus on "OK".
    void Fill(const SessionInfo& info);
    const std::string& SessionId() const { return id_; }
    // Identifier, Name, Introduction, Created by, Date created,
    // Participants, Private.
    QLabel* Value(int field) const { return values_[static_cast<size_t>(field)]; }
    QPushButton* OkButton() const { return ok_; }

  protected:
    void OnShownInFront() override;

  private:
    std::string id_;
    std::array<QLabel*, 7> values_{};
    QPushButton* ok_ = nullptr;
};

}  // namespace sessions
