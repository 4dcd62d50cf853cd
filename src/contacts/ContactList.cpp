#include "contacts/ContactList.h"

#include <algorithm>

namespace contacts {

void MutedUsers::Set(const std::string& username, bool muted) {
    for (auto& [name, flag] : entries_) {
        if (name == username) {
            flag = muted;
            return;
        }
    }
    entries_.emplace_back(username, muted);
}

bool MutedUsers::Muted(const std::string& username) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& e) { return e.first == username && e.second; });
}

bool MutedUsers::Has(const std::string& username) const {
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& e) { return e.first == username; });
}

void ContactBook::Replace(std::vector<Contact> contacts) {
    contacts_ = std::move(contacts);
    for (Contact& c : contacts_) {
        if (muted_.Muted(c.username)) c.muteText = "1";
    }
}

bool ContactBook::SetStatus(const std::string& username, int32_t status) {
    for (Contact& c : contacts_) {
        if (c.username == username) {
            c.status = status;
            return true;
        }
    }
    return false;
}

void ContactBook::SetMuted(const std::string& username, bool muted) {
    muted_.Set(username, muted);
    for (Contact& c : contacts_) {
        if (c.username == username) c.muteText = muted ? "1" : "0";
    }
}

bool ContactBook::IsMuted(const std::string& username) const {
    if (muted_.Muted(username)) return true;
    const Contact* c = Find(username);
    return c != nullptr && c->Muted();
}

const Contact* ContactBook::Find(const std::string& username) const {
    for (const Contact& c : contacts_) {
        if (c.username == username) return &c;
    }
    return nullptr;
}

std::optional<std::string> CheckNewContact(const std::u16string& typed, const std::string& utf8,
                                           const ContactBook& book) {
    if (typed.empty()) return std::string("Please type a username");
    if (typed.size() >= 12) {
        return std::string("Usernames must be between 1 and 11 characters in length");
    }
    for (unsigned char c : utf8) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) {
            return std::string(
                "Usernames can only contain letters, numbers, dashes '-', and underscores '_'");
        }
    }
    if (book.Find(utf8) != nullptr) {
        return std::string(
            "A contact with the specified username already exists in the contact list");
    }
    return std::nullopt;
}

}  // namespace contacts
