#pragma once

// The login window: username, password and the remember box, whose value
// decides whether m.dat keeps the login. OK hands the fields on for a login;
// Create Account opens the account creation form; Cancel goes back to the
// network selection.

#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "ui/SkinnedDlg.h"

namespace ui {
class CImageToggle;
}

namespace signin {

class CLoginDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QPoint kRememberPos{69, 113};
    static constexpr QSize kRememberArea{214, 13};

    CLoginDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
              std::string loginFilePath, QWidget* parent = nullptr);

    // Fills the fields from m.dat and sets the remember box by whether it
    // could be read.
    void LoadRememberedLogin();

    // Show the login window: centred, in front, the whole username
    // selected, OK the default, the focus in the username field (or the
    // password field after a successful account creation).
    void ShowLogin();

    // The network signed in to, shown in the heading band as 123.4567.
    void SetNetwork(const std::string& number);

    // After a successful creation: the new username, an empty password,
    // and from now on the focus in the password field.
    void SetCreatedAccount(const QString& username);

    // OK or Enter: checks the fields, keeps or deletes m.dat, then announces
    // the login. Returns whether the login goes on.
    bool Confirm();

    QLineEdit* UsernameField() const { return username_; }
    QLineEdit* PasswordField() const { return password_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* CreateAccountButton() const { return create_; }
    ui::CImageToggle* RememberBox() const { return remember_; }
    QWidget* RememberProxy() const { return rememberProxy_; }
    bool FocusPassword() const { return focusPassword_; }

  signals:
    // The fields, in UTF-8, passed the checks.
    void loginRequested(const std::string& username, const std::string& password);
    void createAccountRequested();
    void backRequested();

  public slots:
    void accept() override;
    void reject() override;

  protected:
    void OnShownInFront() override;

  private:
    std::string loginFilePath_;
    QLineEdit* username_ = nullptr;
    QLineEdit* password_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* create_ = nullptr;
    ui::CImageToggle* remember_ = nullptr;
    QWidget* rememberProxy_ = nullptr;
    bool focusPassword_ = false;
};

}  // namespace signin
