#pragma once

// The Mailbox window's companions: New Mailbox Folder, Select Folder and the
// Mailbox Alert. Each is made once, hidden, and shown when needed.

#include <QStringList>
#include <functional>

#include "ui/SkinnedDlg.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace mailbox {

// New Mailbox Folder: a folder type ("Inbox" or "Outbox") and a name.
class CMailboxFolderCreateDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{300, 214};

    CMailboxFolderCreateDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                            const net::Timings& timings, QWidget* parent = nullptr);

    // Called with the root type (0 Inbox, 1 Outbox) and the name (UTF-8)
    // once the rules pass; the window then hides.
    void SetCreate(std::function<void(int32_t rootType, const std::string& name)> create) {
        create_ = std::move(create);
    }
    // Clears and focuses the name field and brings the window up (centred
    // the first time only).
    void Open();

    QListWidget* TypeList() const { return types_; }
    QLineEdit* NameField() const { return name_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  protected:
    void OnShownInFront() override;

  private:
    void Confirm();

    QListWidget* types_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::function<void(int32_t, const std::string&)> create_;
    bool placed_ = false;
};

// Select Folder: the keys of the current root's folders.
class CMailboxSelectFolderDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{260, 280};

    CMailboxSelectFolderDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                            const net::Timings& timings, QWidget* parent = nullptr);

    // Fills the list, selects the first key and brings the window up centred.
    void Open(const QStringList& keys);
    void SetChosen(std::function<void(const QString& key)> chosen) { chosen_ = std::move(chosen); }

    QListWidget* List() const { return list_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    void Confirm();

    QListWidget* list_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::function<void(const QString&)> chosen_;
};

// Mailbox Alert: "You have new mail." with "OK" and "Go to Mailbox".
class CMailboxAlertDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{300, 150};

    CMailboxAlertDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                     QWidget* parent = nullptr);

    void SetGoToMailbox(std::function<void()> go) { go_ = std::move(go); }

    QPushButton* OkButton() const { return ok_; }
    QPushButton* GoButton() const { return goButton_; }

  private:
    QPushButton* ok_ = nullptr;
    QPushButton* goButton_ = nullptr;
    std::function<void()> go_;
};

}  // namespace mailbox
