#pragma once

// Authoring a poll as plain values: the question list's labels and texts,
// the question window's checks, the poll window's checks in their order, and
// the fields of the poll upload.

#include <array>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "polls/model/PollFiles.h"

namespace polls {

// --- The question list -------------------------------------------------------

// "True/false", "Multiple Choice" (made in the question window) or "Multiple
// choice" (read from a downloaded poll file), "Numeric", "Open".
std::string KindLabel(int32_t kind, bool readFromFile);
// Carriage returns and line feeds become spaces; past 17 characters the text
// is cut to its first 17 followed by "...".
std::string ListQuestionText(std::string_view utf8);
// Characters (not bytes) of a UTF-8 text.
size_t CharacterCount(std::string_view utf8);

// --- The question window -----------------------------------------------------

struct QuestionForm {
    int32_t kind = -1;  // -1: no kind chosen yet
    std::string text;   // UTF-8
    std::array<std::string, 4> answers;
    double minimum = 0, maximum = 0, correctMinimum = 0, correctMaximum = 0;
    bool noCorrectAnswer = false;
    int32_t correctTrueFalse = -1;  // 0 True, 1 False
    int32_t correctChoice = -1;     // 0 A .. 3 D
};

inline constexpr double kNumericLimit = 999999;

// The first check that fails, with its text; nothing when the question is
// complete.
std::optional<std::string> CheckQuestion(const QuestionForm& form);
// The question as stored.
CPollQuestion MakeQuestion(const QuestionForm& form);
// The form showing a stored question.
QuestionForm FormOf(const CPollQuestion& q);

inline constexpr char kEnterInteger[] = "Please enter an integer.";
inline constexpr char kEnterNumber[] = "Please enter a number.";

// --- The poll window -----------------------------------------------------------

struct PollForm {
    PollTime start;  // the start picker's date with its time picker's time
    PollTime end;
    size_t questionCount = 0;
    int32_t maxVotes = 0;
    bool recurring = false;
    int32_t intervalHours = 0;
};

// OK's checks in order: the first failure's text, or nothing.
std::optional<std::string> CheckPoll(const PollForm& form);

inline constexpr char kVersionWarning[] =
    "If you modify the poll's questions, create new questions, or delete questions, the version "
    "number of the poll will change.\r\n\r\nThis will result in all currently submitted ballots "
    "to be discarded, and anyone currently taking the poll will be forced to start over with the "
    "new version.\r\n\r\nDo you wish to proceed?";
inline constexpr char kSelectToModify[] = "Please select a question to modify";
inline constexpr char kSelectToDelete[] = "Please select a question to delete";
inline constexpr char kFailedToOpenModify0[] = "Failed to open poll file for modification (0)";
inline constexpr char kFailedToOpenModify1[] = "Failed to open poll file for modification (1)";

// The poll upload request's fields after the file size.
struct PollUpload {
    int32_t mode = 0;  // 0 create, 1 modify
    int32_t pollId = -1;
    bool fileFollows = true;
    std::tm clientNow{};  // the client's local time
    std::string sessionId;
    PollForm form;
    bool othersMayView = false;
};
using UploadField = std::variant<int32_t, std::string>;
std::vector<UploadField> PollUploadFields(const PollUpload& upload);

// Deleting question `deleted` while the question window updates question
// `editing` (both 0-based): the index it updates afterwards, or nothing when
// its question went.
std::optional<size_t> IndexAfterDelete(size_t editing, size_t deleted);

}  // namespace polls
