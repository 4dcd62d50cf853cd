#pragma once

// Ballots and results as plain values: which answers count, the tallies of
// one question, the numeric rows, the scores and every text the ballot,
// results and individual-ballots windows show. The windows only draw them.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "polls/model/PollFiles.h"

namespace polls {

// --- Taking a poll -----------------------------------------------------------

// "Question: %i/%i"
std::string BallotQuestionLabel(int index, int count);
// "Range: %.2f to %.2f"
std::string RangeLabel(const CPollQuestion& q);

// A plain decimal: an optional sign, digits, an optional point and digits
// (at least one digit in all). Nothing else: no exponent, no "nan", no "inf",
// no spaces.
bool ParsePlainDecimal(std::string_view text, double& out);
// A plain integer: an optional sign and digits, within 32 bits.
bool ParsePlainInteger(std::string_view text, int32_t& out);
// What the numeric box records: its text read as a plain decimal, 0 when it
// is none.
double BallotNumber(std::string_view text);
// The box's text of a stored number ("%f").
std::string NumberText(double value);

// Whether a number lies in the question's [minimum, maximum].
bool NumberFits(const CPollQuestion& q, double value);
// Whether leaving the question is allowed: a numeric question that is
// answered must hold a number in range.
bool MayLeaveQuestion(const CPollQuestion& q, const CPollAnswer& a);

// Longest open answer, in bytes of UTF-8: the results reader's bound. A
// longer answer would make the whole poll's results unreadable.
inline constexpr size_t kMaxOpenAnswerBytes = 3000;
// Characters of the two answer boxes.
inline constexpr int kNumericBoxChars = 50;
inline constexpr int kOpenBoxChars = 2000;
// The text cut at the last whole character within `maxBytes`.
std::string CutUtf8(std::string_view text, size_t maxBytes);

// A new ballot: one skipped answer per question.
std::vector<CPollAnswer> FreshAnswers(size_t questions);
bool AnySkipped(const std::vector<CPollAnswer>& answers);
// The ballot as written to the file: the voter's name and the answers. An
// open answer emptied after it was typed is written as skipped, as an
// answered empty text is one the results reader refuses.
CBallot MakeBallot(const std::string& voter, const std::vector<CPollAnswer>& answers);

inline constexpr char kOutOfRange[] =
    "The number you specified does not fit within the allowed range. Try again.";
inline constexpr char kNotAllAnswered[] =
    "Not all questions have been answered.\r\nAre you sure you wish to submit the ballot?";
inline constexpr char kQuitTaking[] = "Are you sure you wish to quit taking this poll?";
inline constexpr char kFailedToOpenPoll0[] = "Failed to open poll file (0)";
inline constexpr char kFailedToOpenPoll1[] = "Failed to open poll file (1)";
// "Unable to open file, '%s', for writing"
std::string UnableToWriteText(const std::string& path);

// --- Results -----------------------------------------------------------------

// Whether a ballot's answer counts for its question: answered, of the
// question's kind, and (multiple choice) a choice A to D. Anything else
// counts as skipped.
bool Counts(const CPollQuestion& q, const CPollAnswer* a);
// The answer of ballot `b` to question `index`, or null when it has none.
const CPollAnswer* AnswerAt(const CBallot& b, size_t index);

struct NumericRow {
    double value = 0;
    int32_t count = 0;
    int mark = -1;  // 1 correct or no correct range, 2 incorrect, -1 no row
    std::string text;
};

struct QuestionTally {
    int answered = 0;
    float trueFraction = 0, falseFraction = 0;
    std::array<float, 4> choiceFractions{};
    std::array<NumericRow, 4> rows;
    std::string numericLabel;  // "All numbers accepted" or "%f to %f"
};

// The distinct numbers of the counted answers, each with its count, in the
// order first seen (exact equality of the doubles).
std::vector<CNumericResponse> CountNumbers(const std::vector<CPollQuestion>& questions,
                                           const std::vector<CBallot>& ballots, size_t index);
// The four rows: the last four of the counts sorted by count ascending
// (stable), the most frequent first.
std::array<NumericRow, 4> NumericRows(const CPollQuestion& q, std::vector<CNumericResponse> counts);
QuestionTally TallyQuestion(const std::vector<CPollQuestion>& questions,
                            const std::vector<CBallot>& ballots, size_t index);

// Bar height of a fraction, in pixels.
inline constexpr int kBarPixels = 126;
int BarHeight(float fraction);
// Which bar is the correct one: 0/1 true/false, 0..3 A-D, -1 none.
int CorrectBar(const CPollQuestion& q);

// "Question %i/%i"
std::string ResultsQuestionLabel(int index, int count);

// --- Scores and individual ballots -----------------------------------------

bool HasCorrectAnswer(const CPollQuestion& q);
// Questions that are not open and have a correct answer.
int GradableCount(const std::vector<CPollQuestion>& questions);
bool AnswerCorrect(const CPollQuestion& q, const CPollAnswer& a);
int Score(const std::vector<CPollQuestion>& questions, const CBallot& ballot);
// "%i/%i (%.1f%%)", or "-/-" when nothing is gradable.
std::string ScoreText(int score, int gradable);

struct AnswerView {
    std::string text;
    int mark = -1;  // -1 none, 0 correct or accepted, 1 incorrect
    // Open answers show their text in a box.
    bool showsText = false;
    std::string answerText;
};
// What the individual-ballots window says of a voter's answer to question
// `index` (0-based).
AnswerView DescribeAnswer(const std::vector<CPollQuestion>& questions, const CBallot& ballot,
                          size_t index);

// The permission rule of "View Individual Ballots".
bool MayViewIndividualBallots(const std::string& username, const std::string& owner,
                              int32_t othersMayView);

// Results window texts.
inline constexpr char kFailedToOpenResults[] = "Failed to open results file for processing";
inline constexpr char kResultsCorrupt[] =
    "Results file appears to be corrupted, or is larger than 10MByte in size.";
inline constexpr char kFailedToExtractQuestions[] =
    "Failed to extract questions file from results file";
inline constexpr char kFailedToExtractBallots[] = "Failed to extract ballots file from results file";
inline constexpr char kUnableToReadQuestions[] = "Unable to read questions file";
inline constexpr char kUnableToReadBallots[] = "Unable to read ballots file";

struct ResultsRead {
    std::string error;  // empty on success
    std::vector<CPollQuestion> questions;
    std::vector<CBallot> ballots;
};
// The results window's reading, its six steps: cut the results file into its
// poll and ballots files and read both with the bounds. On any failure the
// error text is set and nothing is kept.
ResultsRead ReadResults(const std::string& resultsPath, const std::string& pollPath,
                        const std::string& ballotsPath);
// The same reading of results-file bytes held in memory, keeping no files.
ResultsRead ReadResultsBytes(std::string_view results);

}  // namespace polls
