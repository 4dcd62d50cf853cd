#pragma once

// The rules of the document windows' boxes, as plain functions: folder and
// file names, upload names and the remote name proposed for a chosen file,
// folder passwords, and the destinations of a move. Each check returns the
// text the user is shown, or an empty text when the input passes.

#include <string>
#include <vector>

#include "documents/api/DirectoryListing.h"

namespace documents {

// The windows that ask for a name.
enum class NameWindow { NewFolder, RenameFolder, RenameFile };

// Letters A-Z and a-z, digits, '.', '~', '-' and '_'.
bool AllowedNameChar(char c);
bool Alphanumeric(char c);

// The name windows' checks, in their order: a same-named entry of the same
// type in `entries`, empty, 50 bytes or more, a character outside the
// allowed set, a first character that is no letter or digit.
std::string CheckName(NameWindow window, const std::string& utf8,
                      const std::vector<CDocumentEntry>& entries);

// The Upload a File window's checks: the local file, then the remote name.
std::string CheckUpload(const std::string& localPath, const std::string& remoteUtf8);

// The remote name proposed for a chosen local file: its name after the last
// path separator, only the allowed characters kept, "x" in front when that
// does not start with a letter or digit.
std::string ProposedRemoteName(const std::string& localPathUtf8);

// The name the save chooser proposes for a downloaded file: a plain name,
// never a path (a server's name with separators or dots of its own must not
// steer where the file goes), and no longer than a file system takes: at most
// kMaxSaveNameBytes bytes of UTF-8, cut on a character boundary, keeping the
// extension.
std::string ProposedSaveName(const std::string& remoteUtf8);
inline constexpr size_t kMaxSaveNameBytes = 255;

// The Lock Folder and View Locked Directory windows' password check;
// `characters` is the length of the typed password.
std::string CheckPassword(int characters);
inline constexpr int kMaxPassword = 15;

// The Move File window's choices: every folder of a root listing, or only
// "/" inside a folder.
std::vector<std::string> MoveDestinations(const std::string& path,
                                          const std::vector<CDocumentEntry>& entries);

}  // namespace documents
