#pragma once

// m.dat: the remembered login. Layout (integers 4 bytes little-endian):
//   username length U, U scrambled username bytes,
//   password length P, P scrambled password bytes.
// Byte i of a text (counting within that text) is stored as
// (byte + i + 15) mod 256. The file exists only while the login window's
// remember box is on, and is readable by its owner alone.

#include <string>

namespace signin {

// The reader keeps at most this many bytes of each text.
inline constexpr size_t kMaxLoginFileText = 199;

struct RememberedLogin {
    std::string username;  // UTF-8
    std::string password;  // UTF-8
};

std::string ScrambleLoginText(const std::string& text);
std::string UnscrambleLoginText(const std::string& stored);

std::string EncodeLoginFile(const RememberedLogin& login);

// False when the file cannot be opened or ends before both texts were read.
// A text longer than kMaxLoginFileText is cut to that many bytes.
bool ReadLoginFile(const std::string& path, RememberedLogin& out);

// Replaces the file, created with owner-only permissions; false when it
// cannot be written.
bool WriteLoginFile(const std::string& path, const RememberedLogin& login);

// Removes the file; a missing file is no error.
bool DeleteLoginFile(const std::string& path);

}  // namespace signin
