#pragma once

// numbers.dat: the zorvic numbers that were looked up successfully before.
// Layout (integers 4 bytes little-endian, texts UTF-8 without terminator):
//   current length, current number, count N, then N times (length, text).
// The current number is never among the N further entries.

#include <string>
#include <vector>

namespace signin {

// The longest entry the reader takes (its buffer held 163 bytes and a
// terminator); the writer only ever stores 7-digit numbers.
inline constexpr size_t kMaxNumberEntry = 163;

struct NumbersList {
    std::string current;               // empty when the file held none
    std::vector<std::string> entries;  // the further entries, in file order
};

// Reads the file. A file that cannot be opened gives an empty list. A file
// that ends early, or an entry longer than kMaxNumberEntry, ends the reading:
// what was read before it is kept. Returns false when nothing could be read.
bool ReadNumbersFile(const std::string& path, NumbersList& out);

// The bytes the writer stores for `validated` and the drop-down list's
// entries (in list order): the validated number first, then every entry that
// differs from it.
std::string EncodeNumbersFile(const std::string& validated, const std::vector<std::string>& list);

// Replaces the file; false (and nothing written) when it cannot be created.
bool WriteNumbersFile(const std::string& path, const std::string& validated,
                      const std::vector<std::string>& list);

}  // namespace signin
