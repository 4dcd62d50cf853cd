// The poll files as they come from the network: the poll list, a poll file,
// a ballots file and a results file, each read with the readers' bounds.
// Whatever the bytes, a reader gives a result or refuses, and what it accepts
// its writer gives back byte for byte.

#include <cstddef>
#include <cstdint>
#include <string>

#include "polls/model/PollFiles.h"
#include "polls/model/PollSchedule.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const polls::PollListView list = polls::ReadPollListAt(bytes, 1700000000, 1700003600);
    for (const polls::CPollEntry& e : list.entries) {
        std::string line = polls::FormatPollListLine(e);
        line.pop_back();
        if (!polls::ParsePollListLine(line)) __builtin_trap();
    }

    // What a reader accepts, its writer gives back byte for byte.
    if (auto questions = polls::ReadPollBytes(bytes)) {
        const std::string again = polls::WritePollBytes(*questions);
        if (bytes.substr(0, again.size()) != again) __builtin_trap();
    }
    if (auto ballots = polls::ReadBallotsBytes(bytes)) {
        const std::string again = polls::WriteBallotsBytes(*ballots);
        if (bytes.substr(0, again.size()) != again) __builtin_trap();
    }

    // The results file's cut, in memory as the file-based cut does it.
    const polls::ResultsParts parts = polls::CutResultsBytes(bytes);
    if (parts.result == polls::CutResult::Done) {
        if (parts.poll.size() > size_t(polls::kMaxResultsPoll) ||
            parts.ballots.size() + 4 > bytes.size())
            __builtin_trap();
        (void)polls::ReadPollBytes(parts.poll);
        (void)polls::ReadBallotsBytes(parts.ballots);
    } else if (!parts.poll.empty() || !parts.ballots.empty()) {
        __builtin_trap();
    }
    return 0;
}
