#pragma once

// What the Mailbox window knows between refreshes, without Qt: the three
// roots' folders, the current folder's messages, which folder is current, the
// order of the list and the two flags of a refresh. The window shows it; the
// rules live here so that they can be checked without a window.

#include <cstdint>
#include <string>
#include <vector>

#include "mailbox/MailboxFormats.h"

namespace mailbox {

struct ButtonStates {
    bool markRead = false;
    bool markUnread = false;
    bool deleteMessages = false;
    bool moveToFolder = false;
};

class MailboxState {
  public:
    // The start state: no folders or messages, Inbox "Primary" current, the
    // list by date, newest first, neither flag set.
    void Reset();

    // A folder list arrived. When it lacks the current folder (deleted here
    // or elsewhere), Inbox "Primary" becomes current, else the first Inbox
    // folder. Returns the unread total.
    int64_t TakeFolderList(FolderList list);
    void ClearFolders() { folders_ = FolderList{}; }
    const FolderList& Folders() const { return folders_; }
    int64_t UnreadSum() const { return folders_.UnreadSum(); }

    void SetMessages(std::vector<CMailboxMessage> messages);
    void ClearMessages() { messages_.clear(); }
    const std::vector<CMailboxMessage>& Messages() const { return messages_; }
    // Sorts the messages by the current column and direction.
    void Sort();
    void SetSort(int column, int direction);
    int SortColumn() const { return sortColumn_; }
    int SortDirection() const { return sortDirection_; }

    int32_t CurrentRoot() const { return root_; }
    const std::string& CurrentKey() const { return key_; }
    const CMailboxFolder* CurrentFolder() const { return folders_.Find(root_, key_); }
    // A click on a folder: false (nothing to do) when it is already current;
    // otherwise it becomes current and the keep-tree flag is set.
    bool ChooseFolder(int32_t root, const std::string& key);

    // A message was opened: when it was unread it becomes read and the
    // current folder's count goes down by one (never below 0). Returns
    // whether anything changed; a row out of range changes nothing.
    bool MessageOpened(size_t row);

    ButtonStates Buttons(size_t selectedRows) const;

    bool Quiet() const { return quiet_; }
    void SetQuiet(bool quiet) { quiet_ = quiet; }
    bool KeepTree() const { return keepTree_; }
    void SetKeepTree(bool keep) { keepTree_ = keep; }

  private:
    FolderList folders_;
    std::vector<CMailboxMessage> messages_;
    int32_t root_ = kRootInbox;
    std::string key_ = kPrimaryFolder;
    int sortColumn_ = kSortDate;
    int sortDirection_ = 1;
    bool quiet_ = false;
    bool keepTree_ = false;
};

}  // namespace mailbox
