#pragma once

// The Mailbox window: the folder tree, the current folder's messages, six
// picture buttons and two menus. Every refresh is one chain: the folder list
// is asked for, read, the current folder's message list asked for, read, and
// the window redrawn (and brought up unless the refresh was a quiet one).
// Changes to messages are written to the operation file and uploaded; the
// window then waits for the refreshed lists rather than changing its own.

#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "mailbox/MailboxState.h"
#include "mailbox/MsgMailbox.h"
#include "ui/SkinnedDlg.h"

class QAction;
class QMenu;

namespace net {
class Client;
}
namespace shell {
class MainWindowServices;
}
namespace ui {
class CFilterEdit;
class CFixedButton;
}

namespace mailbox {

class CListMessage;
class CMailboxAlertDlg;
class CMailboxFolderCreateDlg;
class CMailboxSelectFolderDlg;
class CTreeFolders;

// What the composer and reader (when present) take from the mailbox.
struct MailboxHooks {
    // "NEWMESSAGE": open the composer. Without it the button stays disabled.
    std::function<void()> compose;
    // A double-click on a message: open it in the reader, with the folder it
    // lies in. Without it a double-click does nothing.
    std::function<void(const CMailboxMessage& message, int32_t rootType, const std::string& key)>
        read;
    // Responses of sending and reading: go-ahead (4, told apart by the
    // connection it came on), the recipients refused (5), sent (6), sent with
    // a report (7), the attachment name (9), the message gone (10).
    std::function<void(bool onFileServer)> goAhead;
    std::function<void()> recipientsRefused;
    std::function<void(bool withReport, int32_t value)> sent;
    std::function<void(const std::string& name)> attachmentName;
    std::function<void()> attachmentNameUnreadable;
    std::function<void()> messageGone;
    // New mail arrived (before the alert comes up): the desktop may be told.
    std::function<void()> newMail;
};

class CMailboxDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{830, 470};
    static constexpr int kTransferSlotFolders = 15;
    static constexpr int kTransferSlotMessages = 16;
    static constexpr int kTransferSlotOperation = 21;

    // The window's frame pieces and the pictures of its companions.
    static void RegisterPictures(ui::Skin& skin);

    CMailboxDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                net::Client& client, shell::MainWindowServices& main, QWidget* parent = nullptr);
    ~CMailboxDlg() override;

    void SetHooks(MailboxHooks hooks);
    const MailboxHooks& Hooks() const { return hooks_; }

    // A login begins: the start state, with nothing of an earlier account.
    void ResetForLogin();
    // The mail button: the user's own refresh (the window comes up).
    void OpenMailbox();
    // A refresh that does not bring the window forward.
    void RefreshQuietly();

    // The chain.
    bool RequestFolderList();
    bool RequestMessageList();
    void FolderListArrived();
    void MessageListArrived();
    void MessageListRefused();
    void OperationUploaded();

    // An incoming mailbox message (already decoded).
    void Handle(const MailboxEvent& event);
    void NewMail();
    void UnreadMail(int32_t count);

    // The user's actions, as the buttons, menus and keys start them.
    void MarkRead();
    void MarkUnread();
    void DeleteMessages();
    void MoveToFolder();
    void NewFolder();
    void DeleteFolder(int32_t rootType, const std::string& key);
    void OpenMessage(int row);
    void ChooseFolder(int32_t rootType, const std::string& key);
    void SortBy(int column, bool ascending);

    const MailboxState& State() const { return state_; }
    CTreeFolders* Tree() const { return tree_; }
    CListMessage* List() const { return list_; }
    ui::CFilterEdit* Filter() const { return filter_; }
    ui::CFixedButton* Button(const char* caption) const;
    CMailboxFolderCreateDlg& FolderCreateWindow() const { return *create_; }
    CMailboxSelectFolderDlg& SelectFolderWindow() const { return *select_; }
    CMailboxAlertDlg& AlertWindow() const { return *alert_; }
    // The windows to hide when the connection drops.
    std::vector<QWidget*> Windows() const;

    // Runs a menu (tests replace the modal run); returns the chosen action or null.
    using MenuRunner = std::function<QAction*(QMenu& menu, const QPoint& globalPos)>;
    void SetMenuRunner(MenuRunner runner) { menuRunner_ = std::move(runner); }

  private:
    void BuildControls();
    void Redraw();
    void UpdateButtons();
    void ShowChainEnd();
    void SetMailButton(int64_t unreadSum);
    std::vector<const CMailboxMessage*> Selected() const;
    bool UploadOperation(int32_t operation, const std::string& destination,
                         const std::vector<const CMailboxMessage*>& messages);
    void MessageMenu(const QPoint& globalPos);
    void FolderMenu(int32_t rootType, const std::string& key, const QPoint& globalPos);
    QAction* RunMenu(QMenu& menu, const QPoint& globalPos);

    net::Client& client_;
    shell::MainWindowServices& main_;
    MailboxState state_;
    MailboxHooks hooks_;
    CTreeFolders* tree_ = nullptr;
    CListMessage* list_ = nullptr;
    ui::CFilterEdit* filter_ = nullptr;
    std::vector<ui::CFixedButton*> buttons_;
    CMailboxFolderCreateDlg* create_ = nullptr;
    CMailboxSelectFolderDlg* select_ = nullptr;
    CMailboxAlertDlg* alert_ = nullptr;
    // The messages chosen when the Select Folder window opened.
    std::vector<CMailboxMessage> moving_;
    int32_t movingRoot_ = 0;
    std::string movingKey_;
    MenuRunner menuRunner_;
    bool placed_ = false;
};

}  // namespace mailbox
