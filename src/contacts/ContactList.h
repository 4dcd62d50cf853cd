#pragma once

// The contact list as the server last sent it (with presence changes since),
// and the run's own list of muted users. Plain values, no windows.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace contacts {

struct Contact {
    std::string username;
    std::string muteText = "0";  // "0" not muted, anything else muted
    int32_t status = 0;          // 0 offline, 1 online, 2 away

    bool Muted() const { return muteText != "0"; }
    bool operator==(const Contact&) const = default;
};

// Usernames muted or unmuted during this run, each with its flag. An entry
// is made the first time a user is muted or unmuted; after that only the
// flag changes.
class MutedUsers {
  public:
    void Set(const std::string& username, bool muted);
    // The flag is set.
    bool Muted(const std::string& username) const;
    bool Has(const std::string& username) const;
    void Clear() { entries_.clear(); }
    const std::vector<std::pair<std::string, bool>>& Entries() const { return entries_; }

  private:
    std::vector<std::pair<std::string, bool>> entries_;
};

class ContactBook {
  public:
    // Replaces the list with the server's, marking as muted whoever the
    // run's list has muted.
    void Replace(std::vector<Contact> contacts);
    void Clear() { contacts_.clear(); }
    // Sets the status of the contact of exactly that name; false when none.
    bool SetStatus(const std::string& username, int32_t status);
    // Records a mute or unmute: the run's list, and the contact's mute text.
    void SetMuted(const std::string& username, bool muted);
    // Muted by the run's flag, or by the contact's mute text.
    bool IsMuted(const std::string& username) const;

    const Contact* Find(const std::string& username) const;
    const std::vector<Contact>& Contacts() const { return contacts_; }
    MutedUsers& Muted() { return muted_; }
    const MutedUsers& Muted() const { return muted_; }

  private:
    std::vector<Contact> contacts_;
    MutedUsers muted_;
};

// The add-contact window's checks in order; the error text, or none.
std::optional<std::string> CheckNewContact(const std::u16string& typed, const std::string& utf8,
                                           const ContactBook& book);

}  // namespace contacts
