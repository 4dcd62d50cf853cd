#include "polls/model/PollFiles.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

#include "net/LocalFile.h"

namespace polls {
namespace {

// Field-by-field reading of little-endian values from memory or a file.
class Source {
  public:
    virtual ~Source() = default;
    virtual bool Read(void* into, size_t n) = 0;
    // False when fewer than `n` bytes are left, where that is known: a text
    // whose length runs past the end is refused before room is made for it.
    virtual bool Has(size_t) const { return true; }

    bool Int(int32_t& out) {
        unsigned char b[4];
        if (!Read(b, 4)) return false;
        out = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                      uint32_t(b[3]) << 24);
        return true;
    }
    bool Real(double& out) {
        unsigned char b[8];
        if (!Read(b, 8)) return false;
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i) bits = bits << 8 | b[i];
        std::memcpy(&out, &bits, 8);
        return true;
    }
    // A text of `min`..`max` bytes.
    bool Text(std::string& out, int32_t min, int32_t max) {
        int32_t n = 0;
        if (!Int(n) || n < min || n > max || !Has(size_t(n))) return false;
        out.assign(size_t(n), '\0');
        return n == 0 || Read(out.data(), size_t(n));
    }
};

class MemorySource : public Source {
  public:
    MemorySource(std::string_view bytes, size_t pos) : bytes_(bytes), pos_(pos) {}
    bool Read(void* into, size_t n) override {
        if (pos_ > bytes_.size() || bytes_.size() - pos_ < n) return false;
        std::memcpy(into, bytes_.data() + pos_, n);
        pos_ += n;
        return true;
    }
    bool Has(size_t n) const override { return pos_ <= bytes_.size() && bytes_.size() - pos_ >= n; }
    size_t Pos() const { return pos_; }

  private:
    std::string_view bytes_;
    size_t pos_;
};

class FileSource : public Source {
  public:
    explicit FileSource(std::FILE* f) : f_(f) {}
    bool Read(void* into, size_t n) override { return std::fread(into, 1, n, f_) == n; }

  private:
    std::FILE* f_;
};

void PutInt(std::string& out, int32_t v) { net::PutU32(out, uint32_t(v)); }

void PutReal(std::string& out, double v) {
    uint64_t bits = 0;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i) out.push_back(char(bits >> (8 * i) & 0xff));
}

void PutText(std::string& out, std::string_view text) {
    PutInt(out, int32_t(text.size()));
    out.append(text);
}

bool ReadQuestions(Source& in, std::vector<CPollQuestion>& out) {
    int32_t count = 0;
    if (!in.Int(count) || count < 1 || count > kMaxQuestions) return false;
    out.clear();
    for (int32_t i = 0; i < count; ++i) {
        CPollQuestion q;
        if (!in.Int(q.kind) || !in.Text(q.text, 1, kMaxQuestionText)) return false;
        if (q.kind == int32_t(QuestionKind::MultipleChoice)) {
            std::array<std::string, 4> answers;
            for (auto& a : answers)
                if (!in.Text(a, 1, kMaxChoiceText)) return false;
            q.answers = std::move(answers);
        }
        if (!in.Real(q.minimum) || !in.Real(q.maximum) || !in.Int(q.noCorrectAnswer) ||
            !in.Int(q.correctTrueFalse) || !in.Int(q.correctChoice) ||
            !in.Real(q.correctMinimum) || !in.Real(q.correctMaximum)) {
            return false;
        }
        out.push_back(std::move(q));
    }
    return true;
}

bool ReadOneBallot(Source& in, CBallot& ballot) {
    std::string masked;
    if (!in.Text(masked, 1, int32_t(CBallot::kMaxVoterName))) return false;
    ballot.voterName = UnmaskVoterName(masked);
    int32_t count = 0;
    if (!in.Int(count) || count < 1 || count > kMaxAnswers) return false;
    ballot.answers.clear();
    ballot.answers.reserve(size_t(count));
    for (int32_t i = 0; i < count; ++i) {
        CPollAnswer a;
        if (!in.Int(a.skipped)) return false;
        if (a.skipped == 0) {
            if (!in.Int(a.kind)) return false;
            switch (QuestionKind(a.kind)) {
                case QuestionKind::TrueFalse:
                    if (!in.Int(a.trueFalse)) return false;
                    break;
                case QuestionKind::MultipleChoice:
                    if (!in.Int(a.choice)) return false;
                    break;
                case QuestionKind::Numeric:
                    if (!in.Real(a.number)) return false;
                    break;
                case QuestionKind::Open:
                    if (!in.Text(a.text, 1, kMaxOpenAnswer)) return false;
                    break;
                default:
                    // An answer of no known kind has no known length.
                    return false;
            }
        }
        ballot.answers.push_back(std::move(a));
    }
    return true;
}

net::File Open(const std::string& path, const char* mode) {
    if (path.empty()) return nullptr;
    return net::File(std::fopen(path.c_str(), mode));
}

bool ApplyMaskToFile(const std::string& path, bool mask) {
    auto bytes = ReadWholeFile(path, kMaxMaskedFile);
    if (!bytes) return false;
    if (mask)
        MaskBytes(*bytes);
    else
        UnmaskBytes(*bytes);
    return WriteWholeFile(path, *bytes);
}

// Reads an integer field: an optional sign and the leading digits; no digits
// give 0. nullopt when the value does not fit in 32 bits.
std::optional<int32_t> ListNumber(std::string_view field) {
    size_t i = 0;
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
    int64_t value = 0;
    bool any = false;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        any = true;
        value = value * 10 + (field[i] - '0');
        if (value > int64_t(std::numeric_limits<int32_t>::max()) + 1) return std::nullopt;
    }
    if (!any) return 0;
    if (negative) value = -value;
    if (value > std::numeric_limits<int32_t>::max() || value < std::numeric_limits<int32_t>::min())
        return std::nullopt;
    return int32_t(value);
}

}  // namespace

void MaskBytes(std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char((static_cast<unsigned char>(bytes[i]) + 11 * i + 7) & 0xff);
}

void UnmaskBytes(std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char((static_cast<unsigned char>(bytes[i]) - 11 * i - 7) & 0xff);
}

bool MaskFile(const std::string& path) { return ApplyMaskToFile(path, true); }
bool UnmaskFile(const std::string& path) { return ApplyMaskToFile(path, false); }

std::string MaskVoterName(std::string_view name) {
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char((static_cast<unsigned char>(out[i]) + 13 * i + 17) & 0xff);
    return out;
}

std::string UnmaskVoterName(std::string_view masked) {
    std::string out(masked);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = char((static_cast<unsigned char>(out[i]) - 13 * i - 17) & 0xff);
    return out;
}

std::string WritePollBytes(const std::vector<CPollQuestion>& questions) {
    std::string out;
    PutInt(out, int32_t(questions.size()));
    for (const CPollQuestion& q : questions) {
        PutInt(out, q.kind);
        PutText(out, q.text);
        if (q.kind == int32_t(QuestionKind::MultipleChoice)) {
            // Always four answers, even when the model lacks them.
            for (int i = 0; i < 4; ++i) PutText(out, q.answers ? (*q.answers)[i] : std::string());
        }
        PutReal(out, q.minimum);
        PutReal(out, q.maximum);
        PutInt(out, q.noCorrectAnswer);
        PutInt(out, q.correctTrueFalse);
        PutInt(out, q.correctChoice);
        PutReal(out, q.correctMinimum);
        PutReal(out, q.correctMaximum);
    }
    return out;
}

std::optional<std::vector<CPollQuestion>> ReadPollBytes(std::string_view bytes) {
    MemorySource in(bytes, 0);
    std::vector<CPollQuestion> questions;
    if (!ReadQuestions(in, questions)) return std::nullopt;
    return questions;
}

bool WritePollFile(const std::string& path, const std::vector<CPollQuestion>& questions) {
    std::string bytes = WritePollBytes(questions);
    MaskBytes(bytes);
    return WriteWholeFile(path, bytes);
}

std::optional<std::vector<CPollQuestion>> ReadMaskedPollFile(const std::string& path) {
    if (!UnmaskFile(path)) return std::nullopt;
    auto questions = ReadPlainPollFile(path);
    // Masked again whatever the read gave.
    MaskFile(path);
    return questions;
}

std::optional<std::vector<CPollQuestion>> ReadPlainPollFile(const std::string& path) {
    net::File f = Open(path, "rb");
    if (!f) return std::nullopt;
    FileSource in(f.get());
    std::vector<CPollQuestion> questions;
    if (!ReadQuestions(in, questions)) return std::nullopt;
    return questions;
}

std::string WriteBallotBytes(const CBallot& ballot) {
    std::string out;
    PutText(out, MaskVoterName(ballot.voterName));
    PutInt(out, int32_t(ballot.answers.size()));
    for (const CPollAnswer& a : ballot.answers) {
        PutInt(out, a.skipped);
        if (a.skipped) continue;
        PutInt(out, a.kind);
        switch (QuestionKind(a.kind)) {
            case QuestionKind::TrueFalse: PutInt(out, a.trueFalse); break;
            case QuestionKind::MultipleChoice: PutInt(out, a.choice); break;
            case QuestionKind::Numeric: PutReal(out, a.number); break;
            case QuestionKind::Open: PutText(out, a.text); break;
        }
    }
    return out;
}

bool WriteBallotFile(const std::string& path, const CBallot& ballot) {
    return WriteWholeFile(path, WriteBallotBytes(ballot));
}

std::optional<CBallot> ReadBallot(std::string_view bytes, size_t& pos) {
    MemorySource in(bytes, pos);
    CBallot ballot;
    if (!ReadOneBallot(in, ballot)) return std::nullopt;
    pos = in.Pos();
    return ballot;
}

namespace {
std::optional<std::vector<CBallot>> ReadBallots(Source& in) {
    int32_t count = 0;
    if (!in.Int(count) || count < 0) return std::nullopt;
    std::vector<CBallot> ballots;
    // The count is not trusted for a reservation: each ballot must be there.
    for (int32_t i = 0; i < count; ++i) {
        CBallot b;
        if (!ReadOneBallot(in, b)) return std::nullopt;
        ballots.push_back(std::move(b));
    }
    return ballots;
}
}  // namespace

std::optional<std::vector<CBallot>> ReadBallotsBytes(std::string_view bytes) {
    MemorySource in(bytes, 0);
    return ReadBallots(in);
}

std::optional<std::vector<CBallot>> ReadBallotsFile(const std::string& path) {
    // Read whole and parsed from memory: a field-by-field read through the
    // stream costs more than the file does for tens of thousands of ballots.
    auto bytes = ReadWholeFile(path, kMaxBallotsFile);
    if (!bytes) return std::nullopt;
    return ReadBallotsBytes(*bytes);
}

std::string WriteBallotsBytes(const std::vector<CBallot>& ballots) {
    std::string out;
    PutInt(out, int32_t(ballots.size()));
    for (const CBallot& b : ballots) out += WriteBallotBytes(b);
    return out;
}

ResultsParts CutResultsBytes(std::string_view results) {
    ResultsParts parts;
    MemorySource source(results, 0);
    int32_t length = 0;
    if (!source.Int(length) || length < 1 || length > kMaxResultsPoll) return parts;
    if (results.size() - source.Pos() < size_t(length)) {
        parts.pollShort = true;
        return parts;
    }
    parts.poll.assign(results.substr(source.Pos(), size_t(length)));
    UnmaskBytes(parts.poll);
    parts.ballots = results.substr(source.Pos() + size_t(length));
    parts.result = CutResult::Done;
    return parts;
}

CutResult CutResultsFile(const std::string& resultsPath, const std::string& pollPath,
                         const std::string& ballotsPath) {
    const auto results = ReadWholeFile(resultsPath, std::numeric_limits<size_t>::max());
    if (!results) return CutResult::CannotOpen;
    const ResultsParts parts = CutResultsBytes(*results);
    if (parts.result != CutResult::Done) return parts.result;
    if (!WriteWholeFile(pollPath, parts.poll) || !WriteWholeFile(ballotsPath, parts.ballots))
        return CutResult::CannotWrite;
    return CutResult::Done;
}

std::string MakeResultsBytes(std::string_view maskedPoll, std::string_view ballotsFile) {
    std::string out;
    PutInt(out, int32_t(maskedPoll.size()));
    out.append(maskedPoll);
    out.append(ballotsFile);
    return out;
}

std::optional<CPollEntry> ParsePollListLine(std::string_view line) {
    std::string_view fields[22];
    size_t at = 0;
    for (int i = 0; i < 22; ++i) {
        const size_t tab = line.find('\t', at);
        if (i < 21) {
            if (tab == std::string_view::npos) return std::nullopt;
            fields[i] = line.substr(at, tab - at);
            at = tab + 1;
        } else {
            // The last field runs to the end of the line.
            fields[i] = line.substr(at, tab == std::string_view::npos ? line.npos : tab - at);
        }
    }
    CPollEntry e;
    e.owner = std::string(fields[1]);
    // A longer owner would be cut to a name that may be someone else's.
    if (e.owner.size() > CPollEntry::kMaxOwner) return std::nullopt;
    int32_t* numbers[] = {&e.pollId,        &e.status,     &e.version,    &e.start.year,
                          &e.start.month,   &e.start.day,  &e.start.hour, &e.start.minute,
                          &e.start.second,  &e.end.year,   &e.end.month,  &e.end.day,
                          &e.end.hour,      &e.end.minute, &e.end.second, &e.votes,
                          &e.maxVotes,      &e.othersMayView, &e.recurring,
                          &e.recurrenceHours, &e.questionCount};
    int field = 0;
    for (int32_t* target : numbers) {
        if (field == 1) ++field;  // the owner
        const auto value = ListNumber(fields[field++]);
        if (!value) return std::nullopt;
        *target = *value;
    }
    return e;
}

std::string FormatPollListLine(const CPollEntry& e) {
    std::string line = std::to_string(e.pollId) + '\t' + e.owner;
    for (int32_t v : {e.status, e.version, e.start.year, e.start.month, e.start.day, e.start.hour,
                      e.start.minute, e.start.second, e.end.year, e.end.month, e.end.day,
                      e.end.hour, e.end.minute, e.end.second, e.votes, e.maxVotes,
                      e.othersMayView, e.recurring, e.recurrenceHours, e.questionCount}) {
        line += '\t';
        line += std::to_string(v);
    }
    line += '\n';
    return line;
}

PollListRead ParsePollList(std::string_view text) {
    PollListRead read;
    size_t at = 0;
    while (at < text.size()) {
        const size_t lf = text.find('\n', at);
        // A last line without its line feed is incomplete; so is a line
        // longer than the reader's buffer.
        if (lf == std::string_view::npos || lf - at > kMaxPollListLine) {
            read.failed = true;
            break;
        }
        auto entry = ParsePollListLine(text.substr(at, lf - at));
        if (!entry) {
            read.failed = true;
            break;
        }
        read.entries.push_back(std::move(*entry));
        at = lf + 1;
    }
    return read;
}

std::optional<std::string> ReadWholeFile(const std::string& path, size_t limit) {
    net::File f = Open(path, "rb");
    if (!f) return std::nullopt;
    std::string out;
    char block[65536];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, f.get())) > 0) {
        if (out.size() + n > limit) return std::nullopt;
        out.append(block, n);
    }
    if (std::ferror(f.get())) return std::nullopt;
    return out;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    net::File f = Open(path, "wb");
    if (!f) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size())
        return false;
    return std::fflush(f.get()) == 0;
}

}  // namespace polls
