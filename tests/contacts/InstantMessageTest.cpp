// The plain rules of instant messages: stamps, formats, the request's and
// the notification's fields, mutes, links and the cutting of long texts.

#include <gtest/gtest.h>

#include <QFont>

#include "contacts/InstantMessage.h"
#include "contacts/api/ContactsApi.h"
#include "net/Protocol.h"
#include "shell/Settings.h"

namespace contacts {
namespace {

namespace wire = net::contact;

TEST(InstantMessageText, TimeStampsAcrossTheDay) {
    EXPECT_EQ(TimeStampText(0, 5), "[12:05 am] ");
    EXPECT_EQ(TimeStampText(1, 0), "[1:00 am] ");
    EXPECT_EQ(TimeStampText(11, 59), "[11:59 am] ");
    EXPECT_EQ(TimeStampText(12, 30), "[12:30 pm] ");
    EXPECT_EQ(TimeStampText(13, 7), "[1:07 pm] ");
    EXPECT_EQ(TimeStampText(23, 59), "[11:59 pm] ");
}

TEST(InstantMessageText, CharacterFormatFromIndexColourEffectsAndSize) {
    MessageFormat f{2, 255, 0, 10, true, false, true};
    QTextCharFormat c = CharFormatFor(f, 17);
    EXPECT_EQ(c.font().family(), "Courier New");
    EXPECT_EQ(c.font().pixelSize(), 17) << "the size setting, in pixels";
    EXPECT_TRUE(c.font().bold());
    EXPECT_FALSE(c.font().italic());
    EXPECT_TRUE(c.font().underline());
    EXPECT_EQ(c.foreground().color(), QColor(255, 0, 10));

    f.fontIndex = 9;
    EXPECT_EQ(CharFormatFor(f, 12).font().family(), "defaultswitch");
    f.fontIndex = 6;
    EXPECT_EQ(CharFormatFor(f, 12).font().family(), "Verdana");
}

TEST(InstantMessageText, OwnFormatComesFromTheSettings) {
    shell::SettingsValues s;
    s.fontIndex = 5;
    s.red = 1;
    s.green = 2;
    s.blue = 3;
    s.italic = true;
    EXPECT_EQ(FormatFromSettings(s), (MessageFormat{5, 1, 2, 3, false, true, false}));
}

TEST(InstantMessageText, LongTextsAreCutOnCharacterBoundaries) {
    // 600 three-byte characters: 1,800 bytes, three messages.
    std::string text;
    for (int i = 0; i < 600; ++i) text += "\xE2\x82\xAC";
    auto pieces = SplitUtf8(text, 600);
    ASSERT_EQ(pieces.size(), 3u);
    for (const auto& p : pieces) EXPECT_EQ(p.size(), 600u);

    // A character across the limit moves whole to the next piece.
    text = std::string(599, 'a') + "\xC3\xA9" + "b";
    pieces = SplitUtf8(text, 600);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0], std::string(599, 'a'));
    EXPECT_EQ(pieces[1], "\xC3\xA9" "b");

    EXPECT_TRUE(SplitUtf8("", 600).empty());
    EXPECT_EQ(SplitUtf8("short", 600), std::vector<std::string>{"short"});
    // Stray continuation bytes cannot make a piece empty or loop for ever.
    pieces = SplitUtf8(std::string(10, '\x80'), 4);
    std::string joined;
    for (const auto& p : pieces) {
        EXPECT_FALSE(p.empty());
        joined += p;
    }
    EXPECT_EQ(joined, std::string(10, '\x80'));
}

TEST(InstantMessageText, LineBreaksTravelAsCrLf) {
    EXPECT_EQ(ToWireLineBreaks(QStringLiteral("a\nb")), "a\r\nb");
    EXPECT_EQ(ToWireLineBreaks(QStringLiteral("a\r\nb")), "a\r\nb");
    EXPECT_EQ(ToWireLineBreaks(QString("a") + QChar(QChar::ParagraphSeparator) + "b"), "a\r\nb");
}

// Reads a message built for sending.
struct Fields {
    explicit Fields(std::unique_ptr<net::MessageBuffer> m) : buffer(std::move(m)) {
        header.nDescPrimary = +net::Primary::Contact;
        header.nMsgLength = buffer->remaining;
        buffer->Unscramble(buffer->remaining);
    }
    net::MessageReader Reader() const { return net::MessageReader(*buffer, header); }
    std::unique_ptr<net::MessageBuffer> buffer;
    net::bufHeader header;
};

TEST(InstantMessageWire, RequestCarriesRecipientFormatOneAndText) {
    Fields m(BuildInstantMessage("bob", {2, 255, 1, 2, true, false, true}, "hi\r\nthere"));
    auto r = m.Reader();
    EXPECT_EQ(r.Code(), wire::kInstantMessage);
    std::string recipient, text;
    ASSERT_TRUE(r.Str(1, 12, recipient));
    EXPECT_EQ(recipient, "bob");
    const int32_t want[] = {2, 255, 1, 2, 1, 0, 1, 1};
    for (int32_t w : want) {
        int32_t v = -1;
        ASSERT_TRUE(r.Int(-1, -1, v));
        EXPECT_EQ(v, w);
    }
    ASSERT_TRUE(r.Str(1, 600, text));
    EXPECT_EQ(text, "hi\r\nthere");
    EXPECT_TRUE(r.AtEnd());
}

struct Note {
    std::string sender = "alice";
    int32_t ints[8] = {2, 255, 0, 0, 1, 0, 0, 1};
    std::string text = "hello";
};

std::optional<IncomingMessage> Decode(const Note& n, const char** fault = nullptr) {
    net::MessageWriter w(wire::kIncomingMessage);
    w.Str(n.sender);
    for (int32_t v : n.ints) w.Int(v);
    w.Str(n.text);
    net::bufHeader h{+net::Primary::Contact, +net::Secondary::Notification, w.length()};
    net::MessageReader r(w.buffer(), h);
    return DecodeIncomingMessage(r, fault);
}

TEST(InstantMessageWire, NotificationFieldsAtBothEndsOfEachRange) {
    Note low;
    low.sender = "a";
    for (int32_t& v : low.ints) v = 0;
    low.text = "x";
    auto m = Decode(low);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->format, (MessageFormat{}));
    EXPECT_EQ(m->kind, 0);

    Note high;
    high.sender = "twelve_chars";
    const int32_t top[8] = {99, 255, 255, 255, 1, 1, 1, 2};
    std::copy(std::begin(top), std::end(top), high.ints);
    high.text = std::string(600, 't');
    m = Decode(high);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->sender, "twelve_chars");
    EXPECT_EQ(m->format, (MessageFormat{99, 255, 255, 255, true, true, true}));
    EXPECT_EQ(m->kind, 2);
    EXPECT_EQ(m->text.size(), 600u);

    // One past either end of each field drops the message.
    std::vector<Note> bad;
    for (int i = 0; i < 8; ++i) {
        Note under;
        under.ints[i] = -1;
        bad.push_back(under);
        Note over;
        over.ints[i] = top[i] + 1;
        bad.push_back(over);
    }
    bad.push_back(Note{.sender = ""});
    bad.push_back(Note{.sender = "thirteenchars"});
    bad.push_back(Note{.text = ""});
    bad.push_back(Note{.text = std::string(601, 'x')});
    for (size_t i = 0; i < bad.size(); ++i) {
        const char* fault = nullptr;
        EXPECT_FALSE(Decode(bad[i], &fault)) << i;
        EXPECT_NE(fault, nullptr) << i;
    }
}

TEST(InstantMessageWire, OfflineResponseNamesTheRecipient) {
    for (const std::string name : {"", "carol", "thirteenchars"}) {
        net::MessageWriter w(wire::kRecipientOffline);
        w.Str(name);
        net::bufHeader h{+net::Primary::Contact, +net::Secondary::Response, w.length()};
        net::MessageReader r(w.buffer(), h);
        auto got = DecodeRecipientOffline(r, nullptr);
        EXPECT_EQ(got.has_value(), name == "carol") << name;
    }
}

TEST(InstantMessageRules, MutedContactsAndMutedStrangersAreDropped) {
    ContactInfo muted{"bob", "1", 1};
    ContactInfo open{"bob", "0", 1};
    ContactInfo otherText{"bob", "yes", 1};
    EXPECT_TRUE(IsMessageMuted(muted, false));
    EXPECT_TRUE(IsMessageMuted(otherText, false)) << "any text but \"0\" is muted";
    EXPECT_FALSE(IsMessageMuted(open, false));
    EXPECT_TRUE(IsMessageMuted(std::nullopt, true)) << "a stranger muted during the run";
    EXPECT_FALSE(IsMessageMuted(std::nullopt, false));
}

TEST(InstantMessageRules, OnlyWebAndMailLinksOpen) {
    EXPECT_EQ(LinkTarget("http://example.org/a"), QString("http://example.org/a"));
    EXPECT_EQ(LinkTarget("HTTPS://example.org"), QString("HTTPS://example.org"));
    EXPECT_EQ(LinkTarget("ftp://host/file"), QString("ftp://host/file"));
    EXPECT_EQ(LinkTarget("mailto:bob@example.org"), QString("mailto:bob@example.org"));
    EXPECT_EQ(LinkTarget("www.example.org"), QString("http://www.example.org"));
    for (const char* refused : {"file:///etc/passwd", "file:C:/x.exe", "javascript:alert(1)",
                                "/usr/bin/xterm", "http://", "www.", "", "smb://host/share"})
        EXPECT_FALSE(LinkTarget(refused)) << refused;
    const QString longLink = "http://e.org/" + QString(2000, 'a');
    auto cut = LinkTarget(longLink);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->size(), kMaxLinkCharacters);
}

}  // namespace
}  // namespace contacts
