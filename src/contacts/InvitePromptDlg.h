#pragma once

// "Invitation": another user invites the user to a session. Filled and shown
// by the session room; "Accept" joins the session (with the invitation's
// password when it carried one) and hides, "Decline" only hides. A new
// invitation overwrites the one shown.

#include <QLabel>
#include <functional>
#include <string>

#include "ui/SkinnedDlg.h"

class QPushButton;

namespace contacts {

class CInvitePromptDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    using Join = std::function<void(const std::string& sessionId, const std::string& password)>;

    CInvitePromptDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                     Join join, QWidget* parent = nullptr);

    // Fills the texts and shows the window centred in front.
    void Fill(const std::string& inviter, const std::string& sessionName,
              const std::string& sessionId, bool hasPassword, const std::string& password);

    QLabel* InviterLine() const { return inviter_; }
    QLabel* SessionLine() const { return session_; }
    QPushButton* AcceptButton() const { return accept_; }
    QPushButton* DeclineButton() const { return decline_; }

  private:
    Join join_;
    std::string sessionId_;
    std::string password_;
    QLabel* inviter_ = nullptr;
    QLabel* session_ = nullptr;
    QPushButton* accept_ = nullptr;
    QPushButton* decline_ = nullptr;
};

}  // namespace contacts
