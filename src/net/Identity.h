#pragma once

// The installation identity: a GUID text created once per user of the
// computer and sent with every login and account-creation request.
//
// It lives in a small key store: the folder $XDG_CONFIG_HOME/QXV (default
// ~/.config/QXV) is the key and its file "qxvguid" the value. The value is
// written as the bare text, without a terminator; a value stored with one
// trailing NUL (as the key stores of other platforms keep it) reads the same,
// and a value is cut at its first NUL.

#include <string>

#include "net/DataDirectory.h"

namespace net {

inline constexpr char kIdentityCreateError[] = "errorCreatingGUID";
inline constexpr char kIdentityReadError[] = "errorReadingGUID";
// The identity holds at most this many characters; the reader has room for
// one more byte, the terminator.
inline constexpr size_t kMaxIdentity = 254;

// A fresh random (version 4) GUID, lower-case 8-4-4-4-12.
std::string NewGuidText();

// The key folder and value file for the given environment.
std::string IdentityKeyFolder(const Environment& env);
std::string IdentityValueFile(const Environment& env);

// Opens (creating when missing) the key folder. A folder created now gets a
// new GUID stored as the value. A folder that existed is read: a missing,
// unreadable, over-long, empty or blank value gives "errorReadingGUID" (and is not
// recreated). A folder that cannot be opened or created, read and written,
// gives "errorCreatingGUID".
std::string LoadIdentity(const Environment& env);

}  // namespace net
