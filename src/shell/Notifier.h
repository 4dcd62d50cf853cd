#pragma once

// Desktop notifications: what arrives for a window that is not in front
// (an instant message, a session invitation, new mail, a room line that
// names the user) is also told to the desktop, with an action that brings
// the window concerned up. Modules raise them through this interface only;
// the program hands them the tray's implementation, tests a recording one.
// No widgets here: a module decides when, the implementation decides how.

#include <QString>
#include <functional>
#include <string>

namespace shell {

enum class NotificationKind {
    InstantMessage,
    Invitation,
    NewMail,
    RoomMention,
};

class Notifier {
  public:
    virtual ~Notifier() = default;

    // Shows one notification; `open` runs when the user clicks it. Only the
    // latest notification's action is kept: an older one, still on screen,
    // opens what the latest concerns (desktops replace or stack them).
    virtual void Notify(NotificationKind kind, const QString& title, const QString& body,
                        std::function<void()> open) = 0;
};

// How much of a text a notification shows.
inline constexpr int kNotificationBodyChars = 100;

// The text as a notification shows it: plain, at most `maxChars` characters
// (cut ones end in "..."), runs of white space and line breaks made one
// space when `oneLine` is set, and the angle brackets some notification
// services read as markup replaced by look-alikes, so that a sender cannot
// smuggle links, pictures or formatting into the user's desktop.
QString NotificationText(const QString& text, int maxChars, bool oneLine);

// Whether `text` names `username` as a word of its own: case-insensitive,
// with no letter, digit or underscore right before or after it.
bool MentionsName(const QString& text, const QString& username);

}  // namespace shell
