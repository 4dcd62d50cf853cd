#pragma once

// Polls, ballots and the poll list: the in-memory model and the byte layout
// of the files that carry them between the client and the server. Integers
// are 32-bit little-endian, reals 64-bit little-endian IEEE doubles, texts a
// 32-bit byte count and that many UTF-8 bytes. No header, no padding.
//
// Plain C++ on purpose: the local network writes and checks the very same
// files with this code.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace polls {

// Paths of the files, relative to the data directory.
inline constexpr char kPollListFile[] = "files/remote/poll/supported";
inline constexpr char kCreatedPollFile[] = "files/local/account/poll/created";
inline constexpr char kModifyPollFile[] = "files/remote/poll/modify";
inline constexpr char kTakePollFile[] = "files/remote/poll/take";
inline constexpr char kBallotFile[] = "files/local/account/poll/take";
inline constexpr char kResultsFile[] = "files/remote/poll/results";
inline constexpr char kResultsPollFile[] = "files/remote/poll/poll";
inline constexpr char kResultsBallotsFile[] = "files/remote/poll/ballots";

enum class QuestionKind : int32_t { TrueFalse = 0, MultipleChoice = 1, Numeric = 2, Open = 3 };

class CPollQuestion {
  public:
    virtual ~CPollQuestion() = default;

    int32_t kind = 0;
    std::string text;
    // Answers A to D; present for multiple choice only.
    std::optional<std::array<std::string, 4>> answers;
    double minimum = 0;
    double maximum = 0;
    int32_t noCorrectAnswer = 0;       // 1: the question has no correct answer
    int32_t correctTrueFalse = -1;     // 0 true, 1 false, -1 none chosen
    int32_t correctChoice = -1;        // 0 A .. 3 D, -1 none chosen
    double correctMinimum = 0;         // numeric answers in [min, max] are correct
    double correctMaximum = 0;

    bool operator==(const CPollQuestion&) const = default;
};

class CPollAnswer {
  public:
    virtual ~CPollAnswer() = default;

    int32_t skipped = 0;  // nonzero: left unanswered
    int32_t kind = 0;
    int32_t trueFalse = 0;  // 0 true, 1 false
    int32_t choice = 0;     // 0 A .. 3 D
    double number = 0;
    std::string text;

    bool operator==(const CPollAnswer&) const = default;
};

class CBallot {
  public:
    virtual ~CBallot() = default;

    // Longest voter name a ballot carries.
    static constexpr size_t kMaxVoterName = 12;

    std::vector<CPollAnswer> answers;
    // "<?>" until the voter's name is read.
    std::string voterName = "<?>";

    bool operator==(const CBallot&) const = default;
};

class CNumericResponse {
  public:
    int32_t count = 0;
    double value = 0;
};

// A moment as the poll list carries it: year, month 1-12, day, hour 0-23,
// minute, second.
struct PollTime {
    int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    bool operator==(const PollTime&) const = default;
};

class CPollEntry {
  public:
    virtual ~CPollEntry() = default;

    // Longest owner name the list can carry (a 32-byte buffer with its end).
    static constexpr size_t kMaxOwner = 31;

    int32_t pollId = 0;
    std::string owner;
    int32_t status = 0;  // 0 in transfer, 1 available, 2 suspended
    int32_t version = 0;
    PollTime start;
    PollTime end;
    int32_t votes = 0;
    int32_t maxVotes = 0;
    int32_t othersMayView = 0;
    int32_t recurring = 0;
    int32_t recurrenceHours = 0;
    int32_t questionCount = 0;

    // Display texts, made when the list is read.
    std::string idText, statusText, startText, endText, votesText, recurrenceText,
        questionsText;
};

// --- Masks ---------------------------------------------------------------

// The whole-file mask: byte i becomes (byte + 11 i + 7) mod 256.
void MaskBytes(std::string& bytes);
void UnmaskBytes(std::string& bytes);
// Masks or unmasks a file in place; false when it cannot be read or written
// (a missing file included).
bool MaskFile(const std::string& path);
bool UnmaskFile(const std::string& path);

// The voter-name mask: character i becomes (character + 13 i + 17) mod 256.
std::string MaskVoterName(std::string_view name);
std::string UnmaskVoterName(std::string_view masked);

// --- Bounds ----------------------------------------------------------------

// What a reader accepts. Every reader uses the results window's bounds: a
// corrupt file is refused rather than allowed to exhaust memory.
inline constexpr int32_t kMaxQuestions = 9999;
inline constexpr int32_t kMaxQuestionText = 10485760;
inline constexpr int32_t kMaxChoiceText = 1024;
inline constexpr int32_t kMaxAnswers = 9999;
inline constexpr int32_t kMaxOpenAnswer = 3000;
inline constexpr int32_t kMaxResultsPoll = 10485760;
// Largest ballots file the results window reads.
inline constexpr size_t kMaxBallotsFile = size_t(1) << 30;
// Largest file the whole-file mask works on.
inline constexpr size_t kMaxMaskedFile = 64u << 20;

// --- Poll file -------------------------------------------------------------

// The plain (unmasked) poll file of `questions`.
std::string WritePollBytes(const std::vector<CPollQuestion>& questions);
// Reads plain poll-file bytes; nullopt when a bound is broken or the bytes
// end early. Bytes after the last question are ignored.
std::optional<std::vector<CPollQuestion>> ReadPollBytes(std::string_view bytes);

// Writes the authored poll file at `path` and masks it, ready to upload.
bool WritePollFile(const std::string& path, const std::vector<CPollQuestion>& questions);
// Reads a downloaded (masked) poll file: unmasks it, reads it and masks it
// again, whether the read succeeded or not. nullopt when the file cannot be
// opened or is refused.
std::optional<std::vector<CPollQuestion>> ReadMaskedPollFile(const std::string& path);
// Reads a poll file that stays unmasked (the one cut from a results file,
// after it was unmasked).
std::optional<std::vector<CPollQuestion>> ReadPlainPollFile(const std::string& path);

// --- Ballots ---------------------------------------------------------------

std::string WriteBallotBytes(const CBallot& ballot);
bool WriteBallotFile(const std::string& path, const CBallot& ballot);
// Reads one ballot from `bytes` at `pos`, moving `pos` past it.
std::optional<CBallot> ReadBallot(std::string_view bytes, size_t& pos);
// The ballots file: a count, then that many ballots.
std::optional<std::vector<CBallot>> ReadBallotsBytes(std::string_view bytes);
std::optional<std::vector<CBallot>> ReadBallotsFile(const std::string& path);
std::string WriteBallotsBytes(const std::vector<CBallot>& ballots);

// --- Results file ----------------------------------------------------------

enum class CutResult { Done, CannotOpen, Corrupt, CannotWrite };
// Cuts the results file into its poll file (unmasked afterwards) and its
// ballots file. Corrupt: the length prefix is not 1..10 MiB, or the file ends
// before the poll file does.
CutResult CutResultsFile(const std::string& resultsPath, const std::string& pollPath,
                         const std::string& ballotsPath);
// The same cut of results-file bytes held in memory, which the file-based
// readers wrap (and fuzzing calls without touching the disk).
struct ResultsParts {
    // Done or Corrupt, as for the file.
    CutResult result = CutResult::Corrupt;
    // Corrupt because the bytes end before the poll file does (the length
    // prefix itself was sound).
    bool pollShort = false;
    // The poll file, unmasked.
    std::string poll;
    // Everything after the poll file: a view into the bytes that were cut.
    std::string_view ballots;
};
ResultsParts CutResultsBytes(std::string_view results);
// The results file the server makes: the length of the masked poll file, the
// poll file, the ballots file.
std::string MakeResultsBytes(std::string_view maskedPoll, std::string_view ballotsFile);

// --- Poll list -------------------------------------------------------------

// Longest line of the poll list.
inline constexpr size_t kMaxPollListLine = 511;

// One line (without its line feed); nullopt when a field is missing, a number
// has more than 32 bits or the owner has 32 bytes or more.
std::optional<CPollEntry> ParsePollListLine(std::string_view line);
// The line for an entry, with its line feed.
std::string FormatPollListLine(const CPollEntry& entry);

struct PollListRead {
    std::vector<CPollEntry> entries;
    // A line could not be read: the entries before it are kept.
    bool failed = false;
};
// Reads the poll list text: line by line; a last line without a line feed is
// an incomplete row.
PollListRead ParsePollList(std::string_view text);

// Reads a whole file; nullopt when it cannot be opened or is longer than
// `limit` bytes.
std::optional<std::string> ReadWholeFile(const std::string& path, size_t limit);
// Writes a whole file; false on any error.
bool WriteWholeFile(const std::string& path, std::string_view bytes);

}  // namespace polls
