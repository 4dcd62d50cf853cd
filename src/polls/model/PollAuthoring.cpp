#include "polls/model/PollAuthoring.h"

#include "polls/model/PollSchedule.h"

namespace polls {

std::string KindLabel(int32_t kind, bool readFromFile) {
    switch (QuestionKind(kind)) {
        case QuestionKind::TrueFalse: return "True/false";
        case QuestionKind::MultipleChoice:
            return readFromFile ? "Multiple choice" : "Multiple Choice";
        case QuestionKind::Numeric: return "Numeric";
        case QuestionKind::Open: return "Open";
    }
    return {};
}

size_t CharacterCount(std::string_view utf8) {
    size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string ListQuestionText(std::string_view utf8) {
    std::string out;
    size_t characters = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) != 0x80) {
            if (characters == 17) return out + "...";
            ++characters;
        }
        out.push_back(c == '\r' || c == '\n' ? ' ' : char(c));
    }
    return out;
}

std::optional<std::string> CheckQuestion(const QuestionForm& f) {
    const size_t length = CharacterCount(f.text);
    if (length >= 1000) return "Please enter fewer than 1000 characters for the question";
    if (length == 0) return "Please type a question";
    const auto inRange = [](double v) { return v >= -kNumericLimit && v <= kNumericLimit; };
    switch (QuestionKind(f.kind)) {
        case QuestionKind::TrueFalse:
            if (!f.noCorrectAnswer && f.correctTrueFalse != 0 && f.correctTrueFalse != 1)
                return "Please specify true or false as the correct answer, or check the box for "
                       "no correct answer";
            break;
        case QuestionKind::MultipleChoice:
            for (int i = 0; i < 4; ++i) {
                const std::string letter(1, char('A' + i));
                const size_t n = CharacterCount(f.answers[size_t(i)]);
                if (n >= 100)
                    return "Please type fewer than 100 characters for the multiple choice answer " +
                           letter;
                if (n == 0) return "Please type multiple choice answer " + letter;
            }
            if (!f.noCorrectAnswer && (f.correctChoice < 0 || f.correctChoice > 3))
                return "Please specify a correct answer, or check the box for no correct answer";
            break;
        case QuestionKind::Numeric:
            if (!inRange(f.minimum))
                return "Numeric answer, minimum, must be between -999,999 and 999,999";
            if (!inRange(f.maximum))
                return "Numeric answer, maximum, must be between -999,999 and 999,999";
            if (!(f.minimum <= f.maximum))
                return "Numeric answer, maximum, must be greater than or equal to numeric answer, "
                       "minimum";
            if (f.noCorrectAnswer) break;
            if (!inRange(f.correctMinimum))
                return "Numeric correct answer, minimum, must be between -999,999 and 999,999";
            if (!inRange(f.correctMaximum))
                return "Numeric correct answer, maximum, must be between -999,999 and 999,999";
            if (!(f.correctMinimum <= f.correctMaximum))
                return "Numeric correct answer, maximum, must be greater than or equal to numeric "
                       "correct answer, minimum";
            if (!(f.minimum <= f.correctMinimum && f.correctMaximum <= f.maximum))
                return "The correct numeric answer must fit within the range of the available "
                       "numeric answers";
            break;
        case QuestionKind::Open: break;
        default:
            // No kind chosen: nothing to store.
            return std::string();
    }
    return std::nullopt;
}

CPollQuestion MakeQuestion(const QuestionForm& f) {
    CPollQuestion q;
    q.kind = f.kind;
    q.text = f.text;
    if (f.kind == int32_t(QuestionKind::MultipleChoice)) q.answers = f.answers;
    q.minimum = f.minimum;
    q.maximum = f.maximum;
    q.noCorrectAnswer = f.noCorrectAnswer ? 1 : 0;
    q.correctTrueFalse = f.correctTrueFalse;
    q.correctChoice = f.correctChoice;
    q.correctMinimum = f.correctMinimum;
    q.correctMaximum = f.correctMaximum;
    return q;
}

QuestionForm FormOf(const CPollQuestion& q) {
    QuestionForm f;
    f.kind = q.kind;
    f.text = q.text;
    if (q.answers) f.answers = *q.answers;
    f.minimum = q.minimum;
    f.maximum = q.maximum;
    f.noCorrectAnswer = q.noCorrectAnswer != 0;
    f.correctTrueFalse = q.correctTrueFalse;
    f.correctChoice = q.correctChoice;
    f.correctMinimum = q.correctMinimum;
    f.correctMaximum = q.correctMaximum;
    return f;
}

std::optional<std::string> CheckPoll(const PollForm& f) {
    if (f.start.year < 2009) return "The start date must occur in the year 2009 or later";
    if (f.end.year < 2009) return "The end date must occur in the year 2009 or later";
    if (f.questionCount == 0) return "The poll must have at least one question";
    if (f.maxVotes < 1 || f.maxVotes > 9999) return "Max votes must be between 1 and 9,999 inclusive";
    if (f.recurring) {
        if (f.intervalHours < 1 || f.intervalHours > 9999)
            return "Recurring interval must be between 1 and 9,999 hours inclusive";
        const int64_t length =
            int64_t(LocalTimeValue(f.end, -1)) - int64_t(LocalTimeValue(f.start, -1));
        if (!(length < int64_t(f.intervalHours) * 3600))
            return "The recurring time interval must be greater than the difference between the "
                   "start and end times (otherwise the poll will never finish)";
    }
    const auto date = [](const PollTime& t) { return int64_t(t.year) * 10000 + t.month * 100 + t.day; };
    const auto time = [](const PollTime& t) { return t.hour * 3600 + t.minute * 60 + t.second; };
    if (date(f.start) > date(f.end)) return "Start date must be earlier than the end date";
    if (date(f.start) == date(f.end) && !(time(f.start) < time(f.end)))
        return "Start time must be earlier than the end time";
    return std::nullopt;
}

std::vector<UploadField> PollUploadFields(const PollUpload& u) {
    std::vector<UploadField> out;
    out.push_back(u.mode);
    out.push_back(u.pollId);
    out.push_back(u.fileFollows ? 1 : 0);
    for (int v : {u.clientNow.tm_year, u.clientNow.tm_mon, u.clientNow.tm_mday,
                  u.clientNow.tm_hour, u.clientNow.tm_min, u.clientNow.tm_sec,
                  u.clientNow.tm_isdst})
        out.push_back(int32_t(v));
    out.push_back(u.sessionId);
    for (const PollTime& t : {u.form.start, u.form.end})
        for (int32_t v : {t.year, t.month, t.day, t.hour, t.minute, t.second}) out.push_back(v);
    out.push_back(u.form.maxVotes);
    out.push_back(u.othersMayView ? 1 : 0);
    out.push_back(u.form.recurring ? 1 : 0);
    out.push_back(u.form.recurring ? u.form.intervalHours : 1);
    out.push_back(int32_t(u.form.questionCount));
    return out;
}

std::optional<size_t> IndexAfterDelete(size_t editing, size_t deleted) {
    if (deleted == editing) return std::nullopt;
    return deleted < editing ? editing - 1 : editing;
}

}  // namespace polls
