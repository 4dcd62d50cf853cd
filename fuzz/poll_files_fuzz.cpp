// The poll files as they come from the network: the poll list, a poll file,
// a ballots file and a results file, each read with the readers' bounds.
// Whatever the bytes, a reader gives a result or refuses, and what it accepts
// its writer gives back byte for byte.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

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

    // The results file goes through the file-based cut.
    char dir[] = "/tmp/poll_files_fuzzXXXXXX";
    if (!mkdtemp(dir)) return 0;
    const std::string base(dir);
    const std::string results = base + "/results", poll = base + "/poll", ballots = base + "/ballots";
    if (polls::WriteWholeFile(results, bytes) &&
        polls::CutResultsFile(results, poll, ballots) == polls::CutResult::Done) {
        (void)polls::ReadPlainPollFile(poll);
        (void)polls::ReadBallotsFile(ballots);
    }
    std::remove(results.c_str());
    std::remove(poll.c_str());
    std::remove(ballots.c_str());
    rmdir(dir);
    return 0;
}
