// Writing and reading a message without any window: the recipients, the
// attachment's name, the checks, the prefills, the date and the body.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "mailbox/ComposeFormats.h"

namespace mailbox {
namespace {

class TimeZone {
  public:
    explicit TimeZone(const char* tz) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
            had_ = true;
        }
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone() {
        if (had_) {
            setenv("TZ", old_.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::string old_;
    bool had_ = false;
};

const std::string kEmoji = "\xF0\x9F\x98\x80";  // U+1F600, a surrogate pair in UTF-16

TEST(SplitRecipients, FourNamesOfBothTypesInFieldOrder) {
    const auto list = SplitRecipients("alice, bob;(Team Alpha),carol");
    const std::vector<Recipient> expected{{0, "alice"}, {0, "bob"}, {1, "Team Alpha"}, {0, "carol"}};
    EXPECT_EQ(list, expected);
    EXPECT_EQ(OutgoingRecipientsText(list), "0 alice\n0 bob\n1 Team Alpha\n0 carol\n");
}

TEST(SplitRecipients, SeparatorsOnlyGiveNoRecipient) {
    EXPECT_TRUE(SplitRecipients(" , ,,  ;\t, ").empty());
    EXPECT_TRUE(SplitRecipients("").empty());
}

TEST(SplitRecipients, SessionNamesKeepSeparatorsAndNestedParentheses) {
    const auto list = SplitRecipients("bob(A, (b) c)dave (unclosed, x");
    const std::vector<Recipient> expected{
        {0, "bob"}, {1, "A, (b) c"}, {0, "dave"}, {1, "unclosed, x"}};
    EXPECT_EQ(list, expected);
}

TEST(IncomingRecipients, TypeSkippedFieldAndRestOfLineWithToText) {
    const auto list = ParseIncomingRecipients("0 bob bob\n1 17 Team Alpha\n2 x other\n0 c carol\n");
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[1].name, "Team Alpha");
    EXPECT_EQ(ToText(list), "bob, (Team Alpha), carol");
    EXPECT_EQ(ToText({}), "");
}

TEST(IncomingRecipients, BadLinesAreLeftOutAndReadingIsBounded) {
    const std::string longName(600, 'n');
    const auto list = ParseIncomingRecipients("junk\nx 1 y\n0 1\n0 1 " + longName + "\n0 1 ok\n");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name.size(), kRecipientLineLength - 4);
    EXPECT_EQ(list[1].name, "ok");

    std::string many;
    for (int i = 0; i < 50; ++i) many += "0 1 n\n";
    EXPECT_EQ(ParseIncomingRecipients(many, 10).size(), 10u);
}

TEST(AppendRecipient, AfterCommaOnlyWhenTheFieldHoldsSomething) {
    EXPECT_EQ(AppendRecipientText("", "bob", false), "bob");
    EXPECT_EQ(AppendRecipientText("bob", "Team Alpha", true), "bob, (Team Alpha)");
}

TEST(AttachmentName, PlainCharactersOfTheLastPathPart) {
    EXPECT_EQ(AttachmentNameFromPath("C:\\docs\\.profile two.txt"), "x.profiletwo.txt");
    EXPECT_EQ(AttachmentNameFromPath("/home/u/r\xC3\xA9sum\xC3\xA9.pdf"), "rsum.pdf");
    EXPECT_EQ(AttachmentNameFromPath("../../.bashrc"), "x.bashrc");
    EXPECT_EQ(AttachmentNameFromPath("/tmp/"), "x");
    EXPECT_EQ(AttachmentNameFromPath(std::string(80, 'a')), std::string(49, 'a'));
    EXPECT_EQ(AttachmentNameFromPath("~" + std::string(60, 'b')), "x~" + std::string(48, 'b'));
}

ComposeFields Valid() { return {"bob", "", "Hello", "Body"}; }

TEST(CheckSend, RulesInOrderAndTheirLimits) {
    EXPECT_EQ(CheckSend(Valid(), AttachmentState::None, 0), "");

    ComposeFields f = Valid();
    f.recipients = std::string(4001, 'a');
    f.subject.clear();
    EXPECT_EQ(CheckSend(f, AttachmentState::None, 0), "Too many characters in recipient field");
    f.recipients = std::string(4000, 'a');
    EXPECT_EQ(CheckSend(f, AttachmentState::None, 0), "Please type a subject");

    f = Valid();
    f.recipients.clear();
    EXPECT_EQ(CheckSend(f, AttachmentState::None, 0), "Please specify a recipient");

    f = Valid();
    f.subject = std::string(100, 's');
    EXPECT_EQ(CheckSend(f, AttachmentState::None, 0), "");
    f.subject = std::string(101, 's');
    EXPECT_EQ(CheckSend(f, AttachmentState::None, 0),
              "The subject may be at most 100 characters in length");

    f = Valid();
    f.body.clear();
    EXPECT_EQ(CheckSend(f, AttachmentState::None, 0), "Please type a message for the recipient(s)");
    // Characters are counted as the window counts them: an emoji is two.
    f.body = std::string(99998, 'b') + kEmoji;
    EXPECT_EQ(CheckSend(f, AttachmentState::None, 0), "");
    f.body = std::string(99999, 'b') + kEmoji;
    EXPECT_EQ(CheckSend(f, AttachmentState::None, 0),
              "Message must not exceed 100,000 characters in length");
}

TEST(CheckSend, AttachmentReadableNonEmptyAndAtMostTenMebibytes) {
    ComposeFields f = Valid();
    f.attachmentPath = "/tmp/a.bin";
    EXPECT_EQ(CheckSend(f, AttachmentState::Readable, 10485760), "");
    EXPECT_EQ(CheckSend(f, AttachmentState::Readable, 10485761),
              "The attached file is too large; it must be 10Mbyte or less in size");
    EXPECT_EQ(CheckSend(f, AttachmentState::Readable, 0),
              "Attached file is empty; cannot send a file of zero bytes");
    EXPECT_EQ(CheckSend(f, AttachmentState::Unreadable, 5),
              "Unable to open attached file for reading; please ensure that the file exists");
}

TEST(Prefill, ReplyReplyAllForwardAndReplyingToAReply) {
    const Prefill reply = ReplyPrefill("alice", "Hi");
    EXPECT_EQ(reply.recipients, "alice");
    EXPECT_EQ(reply.subject, "RE: Hi");
    EXPECT_EQ(reply.body, "");
    EXPECT_EQ(ReplyPrefill("bob", reply.subject).subject, "RE: RE: Hi");

    const Prefill all = ReplyAllPrefill("alice", "bob, (Team Alpha)", "Hi");
    EXPECT_EQ(all.recipients, "alice, bob, (Team Alpha)");
    EXPECT_EQ(all.subject, "RE: Hi");

    const Prefill forward = ForwardPrefill("Hi", "text");
    EXPECT_EQ(forward.recipients, "");
    EXPECT_EQ(forward.subject, "FW: Hi");
    EXPECT_EQ(forward.body, "\r\n\r\n---- Begin forwarded message ----\r\n\r\ntext");
    // A reply made after a forward starts with an empty body again.
    EXPECT_EQ(ReplyPrefill("alice", forward.subject).body, "");
}

TEST(ReaderDate, SecondsTwelveHourClockAndUnpaddedDay) {
    TimeZone tz("EST5");
    EXPECT_EQ(ReaderDateText(0), "7:00:00 PM 12/31/1969");
    EXPECT_EQ(ReaderDateText(5 * 3600 + 7), "12:00:07 AM 1/1/1970");
    EXPECT_EQ(ReaderDateText(17 * 3600 + 5 * 60 + 59), "12:05:59 PM 1/1/1970");
}

TEST(Body, AnEmojiAtCharacter2048ArrivesWhole) {
    std::u16string body(2047, u'a');
    body += u"\U0001F600";
    body += u"z";
    const std::string utf8 = BodyToUtf8(body);
    EXPECT_EQ(utf8, std::string(2047, 'a') + kEmoji + "z");
    EXPECT_EQ(BodyToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
}

TEST(Body, ReaderCarriesACharacterCutAtAPieceIntoTheNext) {
    // The emoji's four bytes straddle the first 2046-byte piece.
    const std::string file = std::string(2044, 'a') + kEmoji + "tail\n" + "\xC3\xA9";
    EXPECT_EQ(ReaderBodyText(file), file);
    // Invalid bytes and a character cut at the end of the file are replaced, not dropped silently.
    EXPECT_EQ(ReaderBodyText("a\xFF" "b\xF0\x9F"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(ReaderBodyText(std::string(100, 'x'), 10), std::string(10, 'x'));
}

}  // namespace
}  // namespace mailbox
