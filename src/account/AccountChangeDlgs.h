#pragma once

// The two small windows the account window opens: changing the full name
// and changing the password. Each checks its fields on OK, says what is
// wrong (the window stays), or hands the new value on and hides.

#include <QLineEdit>
#include <QPushButton>
#include <string>

#include "ui/SkinnedDlg.h"

namespace account {

class CAccountChangeFullNameDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{288, 136};

    CAccountChangeFullNameDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                              const net::Timings& timings, QWidget* parent = nullptr);

    // Prefills the field and shows the window in front, centred.
    void Open(const QString& fullName);

    QLineEdit* NameField() const { return name_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  signals:
    // The checked name, in UTF-8.
    void nameChosen(const std::string& name);

  public slots:
    void accept() override;

  private:
    QLineEdit* name_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

class CAccountChangePasswordDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{357, 201};
    static constexpr int kFieldLimit = 20;

    CAccountChangePasswordDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                              const net::Timings& timings, QWidget* parent = nullptr);

    // Keeps `keptPassword` (as the last response delivered it) to check the
    // old password against, empties the fields and shows the window.
    void Open(const std::string& keptPassword);

    QLineEdit* OldField() const { return old_; }
    QLineEdit* NewField() const { return new_; }
    QLineEdit* AgainField() const { return again_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  signals:
    // The checked new password, in UTF-8.
    void passwordChosen(const std::string& password);

  public slots:
    void accept() override;

  private:
    std::string kept_;
    QLineEdit* old_ = nullptr;
    QLineEdit* new_ = nullptr;
    QLineEdit* again_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace account
