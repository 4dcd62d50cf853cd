#pragma once

// "Add New Contact": one username field. OK runs the checks in order (the
// window stays open on a failure) and hands the name on; Cancel hides it.

#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <optional>
#include <string>

#include "ui/SkinnedDlg.h"

namespace contacts {

class CAddContactDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    // `check` gives the error text for a name, or none; `add` sends the request.
    using Check = std::function<std::optional<std::string>(const QString& typed)>;
    using Add = std::function<void(const std::string& username)>;

    CAddContactDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                   Check check, Add add, QWidget* parent = nullptr);

    // Opened from the main window: an empty field, centred, in front.
    void Open();

    QLineEdit* UsernameField() const { return username_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  public slots:
    void accept() override;

  protected:
    void OnShownInFront() override;

  private:
    Check check_;
    Add add_;
    QLineEdit* username_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace contacts
