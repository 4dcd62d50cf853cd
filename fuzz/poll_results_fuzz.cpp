// A results file as the network may send it: cut and read with the results
// window's bounds, then every question tallied, every ballot scored and
// every answer described. Whatever the bytes: a clear refusal or results
// within their bounds (fractions 0..1, scores no more than the gradable
// questions, rows no more than the answers).

#include <cstddef>
#include <cstdint>
#include <string>

#include "polls/model/PollFiles.h"
#include "polls/model/PollResults.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The bytes in memory, read as the file-based reading reads the file.
    const polls::ResultsRead read = polls::ReadResultsBytes(bytes);
    if (!read.error.empty() && (!read.questions.empty() || !read.ballots.empty())) __builtin_trap();
    const int gradable = polls::GradableCount(read.questions);
    for (size_t q = 0; q < read.questions.size(); ++q) {
        const polls::QuestionTally t = polls::TallyQuestion(read.questions, read.ballots, q);
        for (float f : {t.trueFraction, t.falseFraction, t.choiceFractions[0], t.choiceFractions[1],
                        t.choiceFractions[2], t.choiceFractions[3]})
            if (!(f >= 0.0f && f <= 1.0f)) __builtin_trap();
        int64_t shown = 0;
        for (const polls::NumericRow& r : t.rows) shown += r.count;
        if (shown > t.answered) __builtin_trap();
        for (const polls::CBallot& b : read.ballots)
            (void)polls::DescribeAnswer(read.questions, b, q);
    }
    for (const polls::CBallot& b : read.ballots) {
        const int score = polls::Score(read.questions, b);
        if (score < 0 || score > gradable) __builtin_trap();
        (void)polls::ScoreText(score, gradable);
    }
    return 0;
}
