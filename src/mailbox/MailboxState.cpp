#include "mailbox/MailboxState.h"

namespace mailbox {

void MailboxState::Reset() {
    *this = MailboxState{};
}

int64_t MailboxState::TakeFolderList(FolderList list) {
    folders_ = std::move(list);
    if (folders_.Find(root_, key_) == nullptr) {
        const auto& inbox = folders_.roots[kRootInbox];
        if (folders_.Find(kRootInbox, kPrimaryFolder) != nullptr) {
            root_ = kRootInbox;
            key_ = kPrimaryFolder;
        } else if (!inbox.empty()) {
            root_ = kRootInbox;
            key_ = inbox.front().Key();
        }
    }
    return folders_.UnreadSum();
}

void MailboxState::SetMessages(std::vector<CMailboxMessage> messages) {
    messages_ = std::move(messages);
}

void MailboxState::Sort() {
    SortMessages(messages_, sortColumn_, sortDirection_);
}

void MailboxState::SetSort(int column, int direction) {
    sortColumn_ = column;
    sortDirection_ = direction;
}

bool MailboxState::ChooseFolder(int32_t root, const std::string& key) {
    if (root == root_ && key == key_) return false;
    root_ = root;
    key_ = key;
    keepTree_ = true;
    return true;
}

bool MailboxState::MessageOpened(size_t row) {
    if (row >= messages_.size() || !messages_[row].IsUnread()) return false;
    messages_[row].unread = 0;
    if (CMailboxFolder* folder = folders_.Find(root_, key_)) folder->SetUnread(folder->Unread() - 1);
    return true;
}

ButtonStates MailboxState::Buttons(size_t selectedRows) const {
    ButtonStates b;
    if (selectedRows == 0) return b;
    b.markRead = b.markUnread = b.deleteMessages = true;
    b.moveToFolder = root_ != kRootSessions;
    return b;
}

}  // namespace mailbox
