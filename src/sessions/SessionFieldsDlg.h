#pragma once

// The windows that edit a session's fields: Create Session (name, maximum
// participants, introduction, private box, password twice) and Modify
// Session (the same without the name). The private box enables both
// password fields. OK checks the fields in a fixed order and shows the
// first failing rule in a box titled "Error", keeping the window open.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>
#include <string>

#include "sessions/SessionModel.h"
#include "ui/SkinnedDlg.h"

namespace ui {
class CImageToggle;
}

namespace sessions {

class CSessionFieldsDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    // Called with the checked fields and the maximum; returns whether the
    // request went out (the window hides either way, as if it had).
    using Submit = std::function<void(const SessionFields& fields, int32_t maxParticipants)>;

    CSessionFieldsDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                      bool withName, const QString& background, const QString& heading,
                      QWidget* parent);

    void SetSubmit(Submit submit) { submit_ = std::move(submit); }

    QLineEdit* NameField() const { return name_; }
    QLineEdit* MaximumField() const { return maximum_; }
    QPlainTextEdit* DescriptionField() const { return description_; }
    QLineEdit* PasswordField() const { return password_; }
    QLineEdit* ConfirmField() const { return confirm_; }
    ui::CImageToggle* PrivateBox() const { return private_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

    void SetPrivate(bool isPrivate);

    // OK: returns whether the fields passed and were handed on.
    bool Confirm();

  public slots:
    void accept() override;

  private:
    bool withName_;
    QLineEdit* name_ = nullptr;
    QLineEdit* maximum_ = nullptr;
    QPlainTextEdit* description_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLineEdit* confirm_ = nullptr;
    ui::CImageToggle* private_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    Submit submit_;
};

class CCreateSessionDlg : public CSessionFieldsDlg {
    Q_OBJECT

  public:
    CCreateSessionDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                      QWidget* parent = nullptr);
};

class CModifySessionDlg : public CSessionFieldsDlg {
    Q_OBJECT

  public:
    CModifySessionDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                      QWidget* parent = nullptr);

    // Response 9: the fields and the session they belong to.
    void Fill(const SessionForModify& data);
    const std::string& SessionId() const { return sessionId_; }

  private:
    std::string sessionId_;
};

// One password field; OK sends the join with it, clears it and hides.
class CPasswordRequiredDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    using Join = std::function<void(const std::string& id, const std::string& password)>;

    CPasswordRequiredDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                         QWidget* parent = nullptr);
    void SetJoin(Join join) { join_ = std::move(join); }

    // Response 12: the session that wants a password; brought up centred.
    void Open(const std::string& sessionId);
    const std::string& SessionId() const { return sessionId_; }
    QLineEdit* PasswordField() const { return password_; }
    QPushButton* OkButton() const { return ok_; }
    bool Confirm();

  public slots:
    void accept() override;

  private:
    std::string sessionId_;
    QLineEdit* password_ = nullptr;
    QPushButton* ok_ = nullptr;
    Join join_;
};

}  // namespace sessions
