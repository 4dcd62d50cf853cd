// The poll files: masks, the poll, ballot, ballots and results layouts, the
// readers' bounds and the poll list.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "polls/model/PollFiles.h"
#include "support/TempDir.h"

namespace polls {
namespace {

std::string Int(int32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(char(uint32_t(v) >> (8 * i) & 0xff));
    return s;
}

std::string Real(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, 8);
    std::string s;
    for (int i = 0; i < 8; ++i) s.push_back(char(bits >> (8 * i) & 0xff));
    return s;
}

std::string Text(std::string_view t) { return Int(int32_t(t.size())) + std::string(t); }

std::vector<CPollQuestion> SampleQuestions() {
    CPollQuestion tf;
    tf.kind = 0;
    tf.text = "Is the sky blue?";
    tf.correctTrueFalse = 0;
    CPollQuestion mc;
    mc.kind = 1;
    mc.text = "Pick one";
    mc.answers = std::array<std::string, 4>{"a", "b", "c", "d"};
    mc.correctChoice = 2;
    CPollQuestion num;
    num.kind = 2;
    num.text = "How many?";
    num.minimum = -5;
    num.maximum = 10.5;
    num.correctMinimum = 1;
    num.correctMaximum = 2;
    CPollQuestion open;
    open.kind = 3;
    open.text = "Why?";
    open.noCorrectAnswer = 1;
    return {tf, mc, num, open};
}

TEST(PollMasks, PositionsAddTheirAmountAndWrapAndAnyFileRoundTrips) {
    std::string bytes("\0\0\0", 3);
    MaskBytes(bytes);
    EXPECT_EQ(uint8_t(bytes[0]), 7);
    EXPECT_EQ(uint8_t(bytes[1]), 18);
    EXPECT_EQ(uint8_t(bytes[2]), 29);
    std::string wraps(1, char(0xfa));
    MaskBytes(wraps);
    EXPECT_EQ(uint8_t(wraps[0]), 1) << "250 + 7 wraps to 1";

    std::string all;
    for (int i = 0; i < 4096; ++i) all.push_back(char(i * 37 + 5));
    std::string masked = all;
    MaskBytes(masked);
    EXPECT_NE(masked, all);
    UnmaskBytes(masked);
    EXPECT_EQ(masked, all);

    const std::string name = MaskVoterName("abc");
    ASSERT_EQ(name.size(), 3u);
    EXPECT_EQ(uint8_t(name[0]), 0x72);
    EXPECT_EQ(uint8_t(name[1]), 0x80);
    EXPECT_EQ(uint8_t(name[2]), 0x8E);
    EXPECT_EQ(UnmaskVoterName(name), "abc");
}

TEST(PollFile, AnswerStringsOnlyForMultipleChoiceAlwaysFourAndItReadsBack) {
    const auto questions = SampleQuestions();
    const std::string bytes = WritePollBytes(questions);
    // The layout, field by field.
    std::string expected = Int(4);
    expected += Int(0) + Text("Is the sky blue?") + Real(0) + Real(0) + Int(0) + Int(0) + Int(-1) +
                Real(0) + Real(0);
    expected += Int(1) + Text("Pick one") + Text("a") + Text("b") + Text("c") + Text("d") +
                Real(0) + Real(0) + Int(0) + Int(-1) + Int(2) + Real(0) + Real(0);
    expected += Int(2) + Text("How many?") + Real(-5) + Real(10.5) + Int(0) + Int(-1) + Int(-1) +
                Real(1) + Real(2);
    expected += Int(3) + Text("Why?") + Real(0) + Real(0) + Int(1) + Int(-1) + Int(-1) + Real(0) +
                Real(0);
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(ReadPollBytes(bytes), questions);

    // A multiple-choice question without its answers still writes four.
    CPollQuestion bare;
    bare.kind = 1;
    bare.text = "x";
    const std::string four = WritePollBytes({bare});
    EXPECT_EQ(four.substr(4 + 4 + 5, 16), Int(0) + Int(0) + Int(0) + Int(0));
}

TEST(PollFile, ReadersRefuseWhatBreaksABoundOrEndsEarly) {
    const std::string good = WritePollBytes(SampleQuestions());
    EXPECT_FALSE(ReadPollBytes(good.substr(0, good.size() - 1)));
    EXPECT_FALSE(ReadPollBytes(Int(0)));
    EXPECT_FALSE(ReadPollBytes(Int(10000) + good.substr(4)));
    // Question text of 0 bytes and of more than 10 MiB.
    EXPECT_FALSE(ReadPollBytes(Int(1) + Int(0) + Int(0)));
    EXPECT_FALSE(ReadPollBytes(Int(1) + Int(0) + Int(10485761) + "x"));
    // A choice of 1,025 bytes.
    EXPECT_FALSE(ReadPollBytes(Int(1) + Int(1) + Text("q") + Text(std::string(1025, 'a'))));
    std::string kind1 = Int(1) + Int(1) + Text("q") + Text(std::string(1024, 'a')) + Text("b") +
                        Text("c") + Text("d") + Real(0) + Real(0) + Int(0) + Int(0) + Int(0) +
                        Real(0) + Real(0);
    EXPECT_TRUE(ReadPollBytes(kind1));
}

TEST(PollFile, DownloadedFileIsMaskedAgainAfterEveryReadFailedOrNot) {
    testsupport::TempDir dir;
    const std::string path = dir.file("take");
    ASSERT_TRUE(WritePollFile(path, SampleQuestions()));
    const auto masked = ReadWholeFile(path, 1 << 20);
    ASSERT_TRUE(masked);
    EXPECT_EQ(ReadMaskedPollFile(path), SampleQuestions());
    EXPECT_EQ(ReadWholeFile(path, 1 << 20), masked);

    // A corrupt file: refused, and left as it came.
    std::string broken = masked->substr(0, 10);
    ASSERT_TRUE(WriteWholeFile(path, broken));
    EXPECT_FALSE(ReadMaskedPollFile(path));
    EXPECT_EQ(ReadWholeFile(path, 1 << 20), broken);
    EXPECT_FALSE(ReadMaskedPollFile(dir.file("missing")));
}

TEST(Ballot, SkippedAnswerIsOneIntAndEachKindCarriesItsValue) {
    CBallot b;
    b.voterName = "abc";
    CPollAnswer skipped;
    skipped.skipped = 1;
    CPollAnswer tf;
    tf.kind = 0;
    tf.trueFalse = 1;
    CPollAnswer num;
    num.kind = 2;
    num.number = 3.25;
    CPollAnswer open;
    open.kind = 3;
    open.text = "because";
    b.answers = {skipped, tf, num, open};
    const std::string bytes = WriteBallotBytes(b);
    EXPECT_EQ(bytes, Text(MaskVoterName("abc")) + Int(4) + Int(1) + Int(0) + Int(0) + Int(1) +
                         Int(0) + Int(2) + Real(3.25) + Int(0) + Int(3) + Text("because"));
    size_t pos = 0;
    auto back = ReadBallot(bytes, pos);
    ASSERT_TRUE(back);
    EXPECT_EQ(pos, bytes.size());
    EXPECT_EQ(back->voterName, "abc");
    EXPECT_EQ(back->answers.size(), 4u);
    EXPECT_EQ(back->answers[2].number, 3.25);
    EXPECT_EQ(back->answers[3].text, "because");
}

TEST(Ballot, BallotsFileBoundsNameAnswersAndOpenText) {
    CBallot one;
    one.voterName = "carol";
    CPollAnswer a;
    a.kind = 3;
    a.text = std::string(3000, 'x');
    one.answers = {a};
    CBallot two = one;
    two.voterName = "bob";
    const std::string file = WriteBallotsBytes({one, two});
    auto read = ReadBallotsBytes(file);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), 2u);
    EXPECT_EQ((*read)[1].voterName, "bob");

    // 3,001 characters of open text, a 13-character name, no answers, a
    // count larger than the ballots there: refused whole.
    CBallot longText = one;
    longText.answers[0].text += 'x';
    EXPECT_FALSE(ReadBallotsBytes(WriteBallotsBytes({one, longText})));
    CBallot longName = one;
    longName.voterName = "thirteenchars";
    EXPECT_FALSE(ReadBallotsBytes(WriteBallotsBytes({longName})));
    CBallot empty = one;
    empty.answers.clear();
    EXPECT_FALSE(ReadBallotsBytes(WriteBallotsBytes({empty})));
    EXPECT_FALSE(ReadBallotsBytes(Int(2000000000) + WriteBallotBytes(one)));
    // An answer of an unknown kind has no length to skip.
    EXPECT_FALSE(ReadBallotsBytes(Int(1) + Text("bob") + Int(1) + Int(0) + Int(7) + Int(0)));
    EXPECT_EQ(ReadBallotsBytes(Int(0))->size(), 0u);
}

TEST(ResultsFile, CutIntoPollAndBallotsAndRefusedForBadLengths) {
    testsupport::TempDir dir;
    std::string poll = WritePollBytes(SampleQuestions());
    MaskBytes(poll);
    CBallot b;
    b.voterName = "bob";
    CPollAnswer a;
    a.kind = 0;
    b.answers = {a, a, a, a};
    const std::string ballots = WriteBallotsBytes({b});
    const std::string results = dir.file("results");
    const std::string pollOut = dir.file("poll"), ballotsOut = dir.file("ballots");

    ASSERT_TRUE(WriteWholeFile(results, MakeResultsBytes(poll, ballots)));
    ASSERT_EQ(CutResultsFile(results, pollOut, ballotsOut), CutResult::Done);
    EXPECT_EQ(ReadPlainPollFile(pollOut), SampleQuestions()) << "the cut poll file is unmasked";
    EXPECT_EQ(ReadWholeFile(ballotsOut, 1 << 20), ballots);

    for (int32_t length : {0, -1, 10485761}) {
        ASSERT_TRUE(WriteWholeFile(results, Int(length) + poll + ballots));
        EXPECT_EQ(CutResultsFile(results, pollOut, ballotsOut), CutResult::Corrupt) << length;
    }
    // A length past the end of the file.
    ASSERT_TRUE(WriteWholeFile(results, Int(int32_t(poll.size()) + 100) + poll));
    EXPECT_EQ(CutResultsFile(results, pollOut, ballotsOut), CutResult::Corrupt);
    EXPECT_EQ(CutResultsFile(dir.file("none"), pollOut, ballotsOut), CutResult::CannotOpen);
    ASSERT_TRUE(WriteWholeFile(results, MakeResultsBytes(poll, ballots)));
    EXPECT_EQ(CutResultsFile(results, dir.file("none/poll"), ballotsOut), CutResult::CannotWrite);
}

TEST(ResultsFile, CutInMemoryTellsAShortPollFromABadLength) {
    std::string poll = WritePollBytes(SampleQuestions());
    MaskBytes(poll);
    const std::string ballots = WriteBallotsBytes({});
    const std::string whole = MakeResultsBytes(poll, ballots);
    const ResultsParts parts = CutResultsBytes(whole);
    ASSERT_EQ(parts.result, CutResult::Done);
    EXPECT_EQ(ReadPollBytes(parts.poll), SampleQuestions()) << "the poll part is unmasked";
    EXPECT_EQ(parts.ballots, ballots);
    EXPECT_EQ(CutResultsBytes(MakeResultsBytes(poll, "")).ballots, "");

    for (const std::string& bad : {std::string(), std::string("\x05\x00\x00", 3), Int(0) + poll,
                                   Int(-1) + poll, Int(10485761) + poll}) {
        const ResultsParts refused = CutResultsBytes(bad);
        EXPECT_EQ(refused.result, CutResult::Corrupt) << bad.size();
        EXPECT_FALSE(refused.pollShort) << bad.size();
    }
    const ResultsParts shortPoll = CutResultsBytes(whole.substr(0, 4 + poll.size() - 1));
    EXPECT_EQ(shortPoll.result, CutResult::Corrupt);
    EXPECT_TRUE(shortPoll.pollShort);
    EXPECT_TRUE(shortPoll.poll.empty());
}

std::string Line(std::string_view id = "7", std::string_view owner = "alice") {
    return std::string(id) + "\t" + std::string(owner) +
           "\t1\t3\t2025\t3\t4\t10\t0\t0\t2025\t3\t4\t11\t0\t0\t2\t20\t1\t0\t1\t5";
}

TEST(PollList, TwentyTwoFieldsALineAndALastLineWithoutLineFeedIsLost) {
    const auto read = ParsePollList(Line() + "\n" + Line("8", "bob") + "\n");
    EXPECT_FALSE(read.failed);
    ASSERT_EQ(read.entries.size(), 2u);
    const CPollEntry& e = read.entries[0];
    EXPECT_EQ(e.pollId, 7);
    EXPECT_EQ(e.owner, "alice");
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.version, 3);
    EXPECT_EQ(e.start, (PollTime{2025, 3, 4, 10, 0, 0}));
    EXPECT_EQ(e.end, (PollTime{2025, 3, 4, 11, 0, 0}));
    EXPECT_EQ(e.votes, 2);
    EXPECT_EQ(e.maxVotes, 20);
    EXPECT_EQ(e.othersMayView, 1);
    EXPECT_EQ(e.recurring, 0);
    EXPECT_EQ(e.recurrenceHours, 1);
    EXPECT_EQ(e.questionCount, 5);
    EXPECT_EQ(FormatPollListLine(e), Line() + "\n");

    const auto cut = ParsePollList(Line() + "\n" + Line("8"));
    EXPECT_TRUE(cut.failed);
    EXPECT_EQ(cut.entries.size(), 1u);
    const auto shortLine = ParsePollList(Line() + "\n1\talice\t1\n" + Line() + "\n");
    EXPECT_TRUE(shortLine.failed);
    EXPECT_EQ(shortLine.entries.size(), 1u) << "rows after the bad line are not read";
}

TEST(PollList, NumbersReadLikeLeadingDigitsAndRefuseMoreThan32Bits) {
    auto e = ParsePollListLine(Line("12abc"));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->pollId, 12);
    EXPECT_EQ(ParsePollListLine(Line("x"))->pollId, 0) << "no digits give 0";
    EXPECT_EQ(ParsePollListLine(Line("-2147483648"))->pollId, INT32_MIN);
    EXPECT_FALSE(ParsePollListLine(Line("2147483648")));
    EXPECT_FALSE(ParsePollListLine(Line("99999999999999999999999")));
    // An owner that fills the 32-byte buffer could be cut to someone else's.
    EXPECT_TRUE(ParsePollListLine(Line("1", std::string(31, 'o'))));
    EXPECT_FALSE(ParsePollListLine(Line("1", std::string(32, 'o'))));
}

}  // namespace
}  // namespace polls
