#pragma once

// The account creation form: full name, username, password twice and, when
// the network asks for one, the account creation code.

#include <QLineEdit>
#include <QPushButton>

#include "signin/SignInChecks.h"
#include "ui/SkinnedDlg.h"

namespace signin {

class CCreateAccountDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QPoint kCodeLabelPos{15, 190};

    CCreateAccountDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                      QWidget* parent = nullptr);

    // Enables the code field (and picks its label) by whether the network
    // asks for a code, then shows the form in front after `delay`.
    void ShowForm(bool codeRequired, std::chrono::milliseconds delay);
    // The same, keeping the last code requirement (shown again after a
    // failed or cancelled creation).
    void ShowAgain();

    // OK: runs the checks; the first failure is shown. Returns whether the
    // form passed (creationRequested was then emitted).
    bool Confirm();

    CreationForm Form() const;
    bool CodeRequired() const { return codeRequired_; }
    // Enables the code field and picks the label picture by the network.
    void SetCodeRequired(bool required);

    QLineEdit* FullNameField() const { return fullName_; }
    QLineEdit* UsernameField() const { return username_; }
    QLineEdit* PasswordField() const { return password_; }
    QLineEdit* PasswordAgainField() const { return passwordAgain_; }
    QLineEdit* CodeField() const { return code_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  signals:
    // The checks passed; `form.code` is what was typed (empty when the
    // network asks for no code).
    void creationRequested(const signin::CreationForm& form);
    void cancelled();

  public slots:
    void accept() override;
    void reject() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void OnShownInFront() override;

  private:

    QLineEdit* fullName_ = nullptr;
    QLineEdit* username_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* passwordAgain_ = nullptr;
    QLineEdit* code_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPixmap codeLabel_;
    bool codeRequired_ = false;
    QTimer delayTimer_;
};

}  // namespace signin
