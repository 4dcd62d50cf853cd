#include "polls/model/PollResults.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <unordered_map>

#include "net/LocalFile.h"

namespace polls {

namespace {

std::string Format(const char* format, auto... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

bool IsKind(const CPollQuestion& q, QuestionKind k) { return q.kind == int32_t(k); }

}  // namespace

std::string BallotQuestionLabel(int index, int count) {
    return Format("Question: %i/%i", index, count);
}

std::string RangeLabel(const CPollQuestion& q) {
    return Format("Range: %.2f to %.2f", q.minimum, q.maximum);
}

bool ParsePlainDecimal(std::string_view text, double& out) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (digits == 0) return false;
    // Only digits, a sign and a point reach strtod: it cannot read more
    // than what was checked, and gives no NaN.
    const std::string plain(text);
    out = std::strtod(plain.c_str(), nullptr);
    return std::isfinite(out);
}

bool ParsePlainInteger(std::string_view text, int32_t& out) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i == text.size()) return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return false;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max()) return false;
    out = int32_t(value);
    return true;
}

double BallotNumber(std::string_view text) {
    double v = 0;
    return ParsePlainDecimal(text, v) ? v : 0.0;
}

std::string NumberText(double value) { return Format("%f", value); }

bool NumberFits(const CPollQuestion& q, double value) {
    return value >= q.minimum && value <= q.maximum;
}

bool MayLeaveQuestion(const CPollQuestion& q, const CPollAnswer& a) {
    if (!IsKind(q, QuestionKind::Numeric) || a.skipped) return true;
    return NumberFits(q, a.number);
}

std::string CutUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    size_t end = maxBytes;
    // Back to the first byte of a character.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return std::string(text.substr(0, end));
}

std::vector<CPollAnswer> FreshAnswers(size_t questions) {
    std::vector<CPollAnswer> answers(questions);
    for (CPollAnswer& a : answers) a.skipped = 1;
    return answers;
}

bool AnySkipped(const std::vector<CPollAnswer>& answers) {
    return std::any_of(answers.begin(), answers.end(),
                       [](const CPollAnswer& a) { return a.skipped != 0; });
}

CBallot MakeBallot(const std::string& voter, const std::vector<CPollAnswer>& answers) {
    CBallot b;
    b.voterName = voter;
    b.answers = answers;
    for (CPollAnswer& a : b.answers) {
        if (a.skipped) continue;
        if (a.kind == int32_t(QuestionKind::Open)) {
            a.text = CutUtf8(a.text, kMaxOpenAnswerBytes);
            if (a.text.empty()) {
                CPollAnswer skipped;
                skipped.skipped = 1;
                a = skipped;
            }
        }
    }
    return b;
}

std::string UnableToWriteText(const std::string& path) {
    return "Unable to open file, '" + path + "', for writing";
}

bool Counts(const CPollQuestion& q, const CPollAnswer* a) {
    if (!a || a->skipped || a->kind != q.kind) return false;
    if (IsKind(q, QuestionKind::MultipleChoice)) return a->choice >= 0 && a->choice <= 3;
    return true;
}

const CPollAnswer* AnswerAt(const CBallot& b, size_t index) {
    return index < b.answers.size() ? &b.answers[index] : nullptr;
}

std::vector<CNumericResponse> CountNumbers(const std::vector<CPollQuestion>& questions,
                                           const std::vector<CBallot>& ballots, size_t index) {
    std::vector<CNumericResponse> counts;
    if (index >= questions.size()) return counts;
    const CPollQuestion& q = questions[index];
    // Exact equality: one entry per distinct value (0 and -0 are equal; a
    // NaN equals nothing, so each is its own entry).
    std::unordered_map<uint64_t, size_t> seen;
    for (const CBallot& b : ballots) {
        const CPollAnswer* a = AnswerAt(b, index);
        if (!Counts(q, a)) continue;
        const double v = a->number == 0 ? 0.0 : a->number;
        if (std::isnan(v)) {
            counts.push_back({1, v});
            continue;
        }
        uint64_t bits = 0;
        std::memcpy(&bits, &v, 8);
        auto [it, fresh] = seen.try_emplace(bits, counts.size());
        if (fresh)
            counts.push_back({1, v});
        else
            ++counts[it->second].count;
    }
    return counts;
}

std::array<NumericRow, 4> NumericRows(const CPollQuestion& q, std::vector<CNumericResponse> counts) {
    std::stable_sort(counts.begin(), counts.end(),
                     [](const CNumericResponse& a, const CNumericResponse& b) {
                         return a.count < b.count;
                     });
    std::array<NumericRow, 4> rows;
    for (size_t r = 0; r < rows.size(); ++r) {
        NumericRow& row = rows[r];
        if (r >= counts.size()) {
            row.text = "<no votes>";
            continue;
        }
        const CNumericResponse& c = counts[counts.size() - 1 - r];
        row.value = c.value;
        row.count = c.count;
        row.text = c.count == 1 ? Format("%f (1 vote)", c.value)
                                : Format("%f (%i votes)", c.value, c.count);
        const bool outside = !(c.value >= q.correctMinimum && c.value <= q.correctMaximum);
        row.mark = HasCorrectAnswer(q) && outside ? 2 : 1;
    }
    return rows;
}

QuestionTally TallyQuestion(const std::vector<CPollQuestion>& questions,
                            const std::vector<CBallot>& ballots, size_t index) {
    QuestionTally t;
    if (index >= questions.size()) return t;
    const CPollQuestion& q = questions[index];
    switch (QuestionKind(q.kind)) {
        case QuestionKind::TrueFalse: {
            int yes = 0;
            for (const CBallot& b : ballots) {
                const CPollAnswer* a = AnswerAt(b, index);
                if (!Counts(q, a)) continue;
                ++t.answered;
                if (a->trueFalse == 0) ++yes;
            }
            if (t.answered > 0) {
                t.trueFraction = float(yes) / float(t.answered);
                t.falseFraction = float(t.answered - yes) / float(t.answered);
            }
            break;
        }
        case QuestionKind::MultipleChoice: {
            std::array<int, 4> chosen{};
            for (const CBallot& b : ballots) {
                const CPollAnswer* a = AnswerAt(b, index);
                if (!Counts(q, a)) continue;
                ++t.answered;
                ++chosen[size_t(a->choice)];
            }
            for (size_t i = 0; i < 4 && t.answered > 0; ++i)
                t.choiceFractions[i] = float(chosen[i]) / float(t.answered);
            break;
        }
        case QuestionKind::Numeric: {
            t.numericLabel = HasCorrectAnswer(q)
                                 ? Format("%f to %f", q.correctMinimum, q.correctMaximum)
                                 : std::string("All numbers accepted");
            std::vector<CNumericResponse> counts = CountNumbers(questions, ballots, index);
            for (const CNumericResponse& c : counts) t.answered += c.count;
            t.rows = NumericRows(q, std::move(counts));
            break;
        }
        default:
            break;
    }
    return t;
}

int BarHeight(float fraction) {
    if (!(fraction > 0)) return 0;
    return int(std::min(fraction, 1.0f) * float(kBarPixels));
}

int CorrectBar(const CPollQuestion& q) {
    if (!HasCorrectAnswer(q)) return -1;
    if (IsKind(q, QuestionKind::TrueFalse))
        return q.correctTrueFalse == 0 || q.correctTrueFalse == 1 ? q.correctTrueFalse : -1;
    if (IsKind(q, QuestionKind::MultipleChoice))
        return q.correctChoice >= 0 && q.correctChoice <= 3 ? q.correctChoice : -1;
    return -1;
}

std::string ResultsQuestionLabel(int index, int count) {
    return Format("Question %i/%i", index, count);
}

bool HasCorrectAnswer(const CPollQuestion& q) { return q.noCorrectAnswer == 0; }

int GradableCount(const std::vector<CPollQuestion>& questions) {
    return int(std::count_if(questions.begin(), questions.end(), [](const CPollQuestion& q) {
        return !IsKind(q, QuestionKind::Open) && HasCorrectAnswer(q);
    }));
}

bool AnswerCorrect(const CPollQuestion& q, const CPollAnswer& a) {
    if (!Counts(q, &a)) return false;
    switch (QuestionKind(q.kind)) {
        case QuestionKind::TrueFalse: return a.trueFalse == q.correctTrueFalse;
        case QuestionKind::MultipleChoice: return a.choice == q.correctChoice;
        case QuestionKind::Numeric:
            return a.number >= q.correctMinimum && a.number <= q.correctMaximum;
        default: return false;
    }
}

int Score(const std::vector<CPollQuestion>& questions, const CBallot& ballot) {
    int score = 0;
    for (size_t i = 0; i < questions.size(); ++i) {
        const CPollQuestion& q = questions[i];
        if (IsKind(q, QuestionKind::Open) || !HasCorrectAnswer(q)) continue;
        const CPollAnswer* a = AnswerAt(ballot, i);
        if (a && AnswerCorrect(q, *a)) ++score;
    }
    return score;
}

std::string ScoreText(int score, int gradable) {
    if (gradable == 0) return "-/-";
    return Format("%i/%i (%.1f%%)", score, gradable, 100.0 * score / gradable);
}

AnswerView DescribeAnswer(const std::vector<CPollQuestion>& questions, const CBallot& ballot,
                          size_t index) {
    AnswerView v;
    if (index >= questions.size()) return v;
    const CPollQuestion& q = questions[index];
    const char* name = ballot.voterName.c_str();
    const int number = int(index) + 1;
    const CPollAnswer* a = AnswerAt(ballot, index);
    const bool counted = Counts(q, a);
    const bool graded = HasCorrectAnswer(q);
    if (IsKind(q, QuestionKind::Open)) {
        if (!counted) {
            v.text = Format("%s left question %i blank", name, number);
        } else {
            v.text = Format("%s had the following to say about question %i:", name, number);
            v.showsText = true;
            v.answerText = a->text;
        }
        return v;
    }
    if (!counted) {
        v.text = Format("%s did not answer the question", name);
        v.mark = graded ? 1 : -1;
        return v;
    }
    const bool correct = AnswerCorrect(q, *a);
    const char* verdict = correct ? "correct" : "incorrect";
    v.mark = graded && !correct ? 1 : 0;
    switch (QuestionKind(q.kind)) {
        case QuestionKind::TrueFalse: {
            const char* said = a->trueFalse == 0 ? "true" : "false";
            v.text = graded ? Format("%s answered %s (%s)", name, said, verdict)
                            : Format("%s answered %s", name, said);
            break;
        }
        case QuestionKind::MultipleChoice: {
            const char letter = char('A' + a->choice);
            v.text = graded ? Format("%s chose answer '%c' (%s)", name, letter, verdict)
                            : Format("%s chose answer '%c'", name, letter);
            break;
        }
        case QuestionKind::Numeric:
            v.text = graded ? Format("%s answered %f (%s)", name, a->number, verdict)
                            : Format("%s answered %f", name, a->number);
            break;
        default: break;
    }
    return v;
}

bool MayViewIndividualBallots(const std::string& username, const std::string& owner,
                              int32_t othersMayView) {
    return username == owner || othersMayView != 0;
}

namespace {

// The most of a results file the reading looks at: the length, the largest
// poll file, the largest ballots file, and one byte more that tells a
// ballots file that is too long.
constexpr size_t kResultsReadLimit = 4 + size_t(kMaxResultsPoll) + kMaxBallotsFile + 1;

// Where the file-based reading keeps the cut parts; false when a part
// cannot be kept.
using KeepPart = bool (*)(const std::string& path, std::string_view bytes);

struct PartPaths {
    KeepPart keep = nullptr;
    const std::string* poll = nullptr;
    const std::string* ballots = nullptr;
};

// The steps after the results file is opened, over its bytes; the parts are
// kept as files only when `paths` says where.
ResultsRead ReadResultParts(std::string_view results, const PartPaths& paths) {
    ResultsRead r;
    const auto fail = [&](const char* text) {
        r = ResultsRead{};
        r.error = text;
        return r;
    };
    const ResultsParts parts = CutResultsBytes(results);
    if (parts.result != CutResult::Done)
        return fail(parts.pollShort ? kFailedToExtractQuestions : kResultsCorrupt);
    if (paths.keep && !paths.keep(*paths.poll, parts.poll)) return fail(kFailedToExtractQuestions);
    if (paths.keep && !paths.keep(*paths.ballots, parts.ballots))
        return fail(kFailedToExtractBallots);
    if (parts.ballots.empty()) return fail(kFailedToExtractBallots);
    auto questions = ReadPollBytes(parts.poll);
    if (!questions) return fail(kUnableToReadQuestions);
    if (parts.ballots.size() > kMaxBallotsFile) return fail(kUnableToReadBallots);
    auto ballots = ReadBallotsBytes(parts.ballots);
    if (!ballots) return fail(kUnableToReadBallots);
    r.questions = std::move(*questions);
    r.ballots = std::move(*ballots);
    return r;
}

// At most `limit` bytes from the start of a file; nullopt when it cannot be
// opened or read.
std::optional<std::string> ReadFileHead(const std::string& path, size_t limit) {
    net::File in(std::fopen(path.c_str(), "rb"));
    if (!in) return std::nullopt;
    std::string out;
    char block[65536];
    while (out.size() < limit) {
        const size_t n = std::fread(block, 1, std::min(sizeof block, limit - out.size()), in.get());
        if (n == 0) break;
        out.append(block, n);
    }
    if (std::ferror(in.get())) return std::nullopt;
    return out;
}

}  // namespace

ResultsRead ReadResults(const std::string& resultsPath, const std::string& pollPath,
                        const std::string& ballotsPath) {
    const auto results = ReadFileHead(resultsPath, kResultsReadLimit);
    if (!results) {
        ResultsRead r;
        r.error = kFailedToOpenResults;
        return r;
    }
    return ReadResultParts(*results, {&WriteWholeFile, &pollPath, &ballotsPath});
}

ResultsRead ReadResultsBytes(std::string_view results) {
    return ReadResultParts(results, {});
}

}  // namespace polls
