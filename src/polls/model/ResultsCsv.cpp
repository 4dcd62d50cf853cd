#include "polls/model/ResultsCsv.h"

#include <array>
#include <charconv>
#include <cstdint>

#include "polls/model/PollResults.h"

namespace polls {

namespace {

constexpr char kLineEnd[] = "\r\n";

// Share as a percentage with one decimal, rounded half up, computed on
// integers so that neither the locale nor float rounding changes the text.
std::string ShareText(int64_t votes, int64_t answered) {
    if (answered <= 0) return {};
    const int64_t tenths = (votes * 1000 + answered / 2) / answered;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "%";
}

// "%f" without the locale: a point and six decimals, as the window shows it.
std::string FixedText(double value) {
    std::array<char, 400> buffer{};
    const auto result =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, 6);
    if (result.ec != std::errc()) return {};
    return std::string(buffer.data(), result.ptr);
}

void AddRow(std::string& out, size_t number, const std::string& question,
            const std::string& answer, const std::string& votes, const std::string& share) {
    out += std::to_string(number);
    out += ',';
    out += CsvField(question);
    out += ',';
    out += CsvField(answer);
    out += ',';
    out += CsvField(votes);
    out += ',';
    out += CsvField(share);
    out += kLineEnd;
}

}  // namespace

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string ResultsCsv(const std::vector<CPollQuestion>& questions,
                       const std::vector<CBallot>& ballots) {
    std::string out = "Question,Text,Answer,Votes,Share";
    out += kLineEnd;
    for (size_t i = 0; i < questions.size(); ++i) {
        const CPollQuestion& q = questions[i];
        const size_t number = i + 1;
        switch (QuestionKind(q.kind)) {
            case QuestionKind::TrueFalse:
            case QuestionKind::MultipleChoice: {
                const bool trueFalse = q.kind == int32_t(QuestionKind::TrueFalse);
                std::array<int64_t, 4> votes{};
                int64_t answered = 0;
                for (const CBallot& b : ballots) {
                    const CPollAnswer* a = AnswerAt(b, i);
                    if (!Counts(q, a)) continue;
                    ++answered;
                    // Any true/false value but 0 reads as false, as in the tally.
                    const size_t slot = trueFalse ? (a->trueFalse == 0 ? 0 : 1) : size_t(a->choice);
                    ++votes[slot];
                }
                if (trueFalse) {
                    AddRow(out, number, q.text, "True", std::to_string(votes[0]),
                           ShareText(votes[0], answered));
                    AddRow(out, number, q.text, "False", std::to_string(votes[1]),
                           ShareText(votes[1], answered));
                } else {
                    for (size_t c = 0; c < 4; ++c) {
                        std::string answer(1, char('A' + c));
                        answer += ": ";
                        if (q.answers) answer += (*q.answers)[c];
                        AddRow(out, number, q.text, answer, std::to_string(votes[c]),
                               ShareText(votes[c], answered));
                    }
                }
                break;
            }
            case QuestionKind::Numeric: {
                const QuestionTally t = TallyQuestion(questions, ballots, i);
                bool any = false;
                for (const NumericRow& row : t.rows) {
                    if (row.mark < 0) continue;
                    any = true;
                    AddRow(out, number, q.text, FixedText(row.value), std::to_string(row.count),
                           ShareText(row.count, t.answered));
                }
                if (!any) AddRow(out, number, q.text, "<no votes>", "0", {});
                break;
            }
            case QuestionKind::Open: {
                int64_t answered = 0;
                for (const CBallot& b : ballots) {
                    if (Counts(q, AnswerAt(b, i))) ++answered;
                }
                AddRow(out, number, q.text, {}, std::to_string(answered), {});
                break;
            }
            default:
                AddRow(out, number, q.text, {}, {}, {});
                break;
        }
    }
    return out;
}

}  // namespace polls
