#pragma once

// The results of a poll as comma-separated values (RFC 4180, UTF-8, lines
// ended by CR LF): a header row, then one row per answer of each question
// with the question's number and text, the answer as the results window
// names it, its votes and its share of the question's counted answers.

#include <string>
#include <string_view>
#include <vector>

#include "polls/model/PollFiles.h"

namespace polls {

// One field: quoted (quotes doubled) when it holds a comma, a quote, a CR or
// an LF; as it is otherwise.
std::string CsvField(std::string_view text);

// The whole file. True/false questions give the rows "True" and "False",
// multiple choice "A: ..." to "D: ..."; numeric questions the most frequent
// numbers the window lists (most frequent first), or one "<no votes>" row;
// open questions one row without an answer whose votes are the answers
// given. The share is "%.1f%%" of the counted answers, empty when none.
std::string ResultsCsv(const std::vector<CPollQuestion>& questions,
                       const std::vector<CBallot>& ballots);

}  // namespace polls
