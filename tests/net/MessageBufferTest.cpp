#include "net/MessageBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace {

using namespace net;

MessageKey KeyOf(uint8_t k2, uint8_t k3, uint8_t fill) {
    MessageKey key;
    for (int i = 0; i < kKeySize; ++i)
        key[static_cast<size_t>(i)] = static_cast<uint8_t>(fill + 17 * i);
    key[2] = k2;
    key[3] = k3;
    return key;
}

// A receive buffer holding the first `n` wire bytes of `message`.
void Feed(MessageBuffer& rb, const MessageBuffer& message, int n) {
    std::memcpy(rb.data, message.data, static_cast<size_t>(n));
    rb.done = n;
}

// A finished sample message; `exchange` picks a key with K3 > K2, so that
// header bytes 10 and 21 travel exchanged.
std::unique_ptr<MessageBuffer> Sample(bool exchange = true) {
    auto message = std::make_unique<MessageBuffer>();
    int offset = kHeaderSize;
    message->PutInt(offset, 12);
    message->PutInt(offset, -5);
    message->PutString(offset, "hello");
    message->PutInt(offset, 77);
    message->Finish(+Primary::Contact, +Secondary::Response, offset,
                    exchange ? KeyOf(10, 20, 1) : KeyOf(20, 10, 1));
    return message;
}

TEST(MessageBufferTest, NewBufferIsIdle) {
    MessageBuffer b;
    EXPECT_EQ(b.remaining, -1);
    EXPECT_EQ(b.done, 0);
    EXPECT_EQ(b.payloadUnscrambled, 0);
    EXPECT_EQ(b.keyExchangeUndone, 0);
    EXPECT_STREQ(b.token, "Kq4Tn7Wd");
    // The data area is not cleared, so nothing past the header is readable
    // until it has been written or received.
    int offset = kFirstField;
    int32_t value = 0;
    EXPECT_FALSE(b.GetInt(offset, -1, -1, value));
    offset = kFirstField;
    ASSERT_TRUE(b.PutInt(offset, 7));
    offset = kFirstField;
    EXPECT_TRUE(b.GetInt(offset, -1, -1, value));
    EXPECT_EQ(value, 7);
    EXPECT_FALSE(b.GetInt(offset, -1, -1, value));
}

TEST(MessageBufferTest, ScramblingCoversEveryLengthAndAlignment) {
    // The payload is scrambled several bytes at a time; every length and
    // every byte value must still come back, and each byte must move by
    // exactly its own key byte.
    MessageKey key;
    for (int i = 0; i < kKeySize; ++i) key[static_cast<size_t>(i)] = static_cast<uint8_t>(0x80 + 37 * i);
    for (int length = kHeaderSize; length <= kHeaderSize + 70; ++length) {
        MessageBuffer out;
        for (int i = kHeaderSize; i < length; ++i) out.data[i] = static_cast<uint8_t>(i * 29 + length);
        out.Finish(5, 2, length, key);
        for (int i = kHeaderSize; i < length; ++i) {
            ASSERT_EQ(out.data[i], static_cast<uint8_t>(i * 29 + length + key[i % 16])) << length << " " << i;
        }
        MessageBuffer rb;
        Feed(rb, out, length);
        bufHeader header;
        ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
        for (int i = kHeaderSize; i < length; ++i) {
            ASSERT_EQ(rb.data[i], static_cast<uint8_t>(i * 29 + length)) << length << " " << i;
        }
        out.Unscramble(length);
        ASSERT_EQ(0, std::memcmp(out.data + kHeaderSize, rb.data + kHeaderSize,
                                 static_cast<size_t>(length - kHeaderSize)));
    }
}

class ByteAtATime : public ::testing::TestWithParam<bool> {};

TEST_P(ByteAtATime, DecodesOnlyOnceTheHeaderIsIn) {
    auto message = Sample(GetParam());
    const int length = message->remaining;
    MessageBuffer rb;
    for (int n = 1; n < length; ++n) {
        // Only the new byte arrives; earlier ones stay as the parser left them.
        rb.data[n - 1] = message->data[n - 1];
        rb.done = n;
        bufHeader header{-7, -7, -7};
        ASSERT_EQ(rb.ParseHeader(header), kParseMore) << n;
        if (n < kHeaderSize) {
            EXPECT_EQ(header.nDescPrimary, -7) << n;  // not decoded yet
        } else {
            EXPECT_EQ(header.nMsgLength, length) << n;
        }
    }
    rb.data[length - 1] = message->data[length - 1];
    rb.done = length;
    bufHeader header;
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
    EXPECT_EQ(header.nDescPrimary, +Primary::Contact);
    EXPECT_EQ(header.nDescSecondary, +Secondary::Response);
    // A repeated call neither swaps nor unscrambles again.
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
    MessageReader reader(rb, header);
    int32_t a = 0, c = 0;
    std::string s;
    EXPECT_EQ(reader.Code(), 12);
    ASSERT_TRUE(reader.Int(-1, -1, a));
    ASSERT_TRUE(reader.Str(1, 12, s));
    ASSERT_TRUE(reader.Int(-1, -1, c));
    EXPECT_EQ(a, -5);
    EXPECT_EQ(s, "hello");
    EXPECT_EQ(c, 77);
    EXPECT_TRUE(reader.AtEnd());
}

INSTANTIATE_TEST_SUITE_P(MessageBufferTest, ByteAtATime, ::testing::Bool());

TEST(MessageBufferTest, WrongTokenIsRejectedAtItsFirstByte) {
    MessageBuffer rb;
    rb.data[0] = 'k';
    rb.done = 1;
    bufHeader header;
    EXPECT_EQ(rb.ParseHeader(header), kParseBad);

    auto message = Sample();
    MessageBuffer late;
    Feed(late, *message, 7);
    EXPECT_EQ(late.ParseHeader(header), kParseMore);
    late.data[7] = 'X';
    late.done = 8;
    EXPECT_EQ(late.ParseHeader(header), kParseBad);
}

int ParseWith(int32_t primary, int32_t secondary, int32_t length) {
    MessageBuffer out;
    out.Finish(primary, secondary, length, KeyOf(9, 200, 3));
    MessageBuffer rb;
    Feed(rb, out, kHeaderSize);
    bufHeader header;
    return rb.ParseHeader(header);
}

TEST(MessageBufferTest, HeaderRangesAreChecked) {
    EXPECT_EQ(ParseWith(1025, 2, 40), kParseBad);
    EXPECT_EQ(ParseWith(-1, 2, 40), kParseBad);
    EXPECT_EQ(ParseWith(3, -1, 40), kParseBad);
    EXPECT_EQ(ParseWith(3, 1025, 40), kParseBad);
    EXPECT_EQ(ParseWith(3, 2, 32768), kParseBad);
    EXPECT_EQ(ParseWith(3, 2, -1), kParseBad);

    EXPECT_EQ(ParseWith(1024, 2, 40), kParseMore);
    EXPECT_EQ(ParseWith(0, 0, 40), kParseMore);
    EXPECT_EQ(ParseWith(3, 1024, 32767), kParseMore);
    // A length below the header size counts as complete once the header is in.
    EXPECT_EQ(ParseWith(3, 2, 0), kParseComplete);
}

TEST(MessageBufferTest, HeaderRoundTripsWithAnyKey) {
    std::mt19937 random(12345);
    auto any = [&] { return static_cast<int32_t>(random()); };
    for (int i = 0; i < 3000; ++i) {
        MessageKey key;
        for (auto& k : key) k = static_cast<uint8_t>(random());
        if (i % 3 == 0) key[3] = key[2];
        const int32_t p = any(), s = any(), l = any();
        MessageBuffer out;
        std::memset(out.data, 0, sizeof out.data);  // any length: the payload is scrambled too
        out.Finish(p, s, l, key);
        const bool exchanged = key[3] > key[2];
        EXPECT_EQ(out.data[10], exchanged ? key[7] : key[1]);
        EXPECT_EQ(out.data[21], exchanged ? key[1] : key[7]);

        MessageBuffer rb;
        Feed(rb, out, kHeaderSize);
        bufHeader header;
        rb.ParseHeader(header);
        ASSERT_EQ(header.nDescPrimary, p);
        ASSERT_EQ(header.nDescSecondary, s);
        ASSERT_EQ(header.nMsgLength, l);
        EXPECT_EQ(rb.Key(), key);
        EXPECT_EQ(rb.keyExchangeUndone, exchanged ? 1 : 0);
    }
}

TEST(MessageBufferTest, PayloadBytesAreShiftedByTheKeyOfTheirOffset) {
    MessageBuffer out;
    int offset = kHeaderSize;
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(out.PutInt(offset, 0));
    MessageKey key;
    for (int i = 0; i < kKeySize; ++i)
        key[static_cast<size_t>(i)] = static_cast<uint8_t>(101 + i * 9);
    out.Finish(4, +Secondary::Message, offset, key);
    EXPECT_EQ(out.data[36], key[4]);
    EXPECT_EQ(out.data[47], key[15]);
    EXPECT_EQ(out.data[48], key[0]);
    EXPECT_EQ(out.remaining, offset);
}

TEST(MessageBufferTest, HeaderOnlyMessageHasNoPayload) {
    MessageBuffer out;
    out.Finish(+Primary::Network, +Secondary::Response, kHeaderSize, KeyOf(1, 2, 3));
    MessageBuffer rb;
    Feed(rb, out, kHeaderSize);
    bufHeader header;
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
    MessageReader reader(rb, header);
    EXPECT_FALSE(reader.HasCode());
    int32_t value = 0;
    EXPECT_FALSE(reader.Int(-1, -1, value));
    EXPECT_EQ(reader.RestSize(), 0);
}

TEST(MessageBufferTest, StringsFitUpToTheMessageLimit) {
    const std::string fits(kMaxMessageLength - kFirstField - 4, 'a');
    auto message = MessageWriter(1).Str(fits).Finish(Primary::Network);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->remaining, kMaxMessageLength);
    EXPECT_FALSE(MessageWriter(1).Str(fits + "a").Finish(Primary::Network));

    MessageBuffer b;
    int offset = kFirstField;
    EXPECT_FALSE(b.PutString(offset, (fits + "a").data(), static_cast<int>(fits.size() + 1)));
    offset = kFirstField;
    EXPECT_TRUE(b.PutString(offset, fits.data(), static_cast<int>(fits.size())));
    EXPECT_EQ(offset, kMaxMessageLength);
    offset = kFieldLimit - 4;
    EXPECT_FALSE(b.PutInt(offset, 1));
    EXPECT_EQ(offset, kFieldLimit - 4);

    // A full-size message survives the round trip.
    MessageBuffer rb;
    Feed(rb, *message, message->remaining);
    bufHeader header;
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
    std::string back;
    MessageReader reader(rb, header);
    ASSERT_TRUE(reader.Str(1, kMaxMessageLength, back));
    EXPECT_EQ(back, fits);
}

TEST(MessageBufferTest, StreamOfMessagesIsFramedByTheirOwnLengths) {
    // Two messages in one stream; the second has an empty string where at
    // least one character is required, which fails that field only.
    auto first = MessageWriter(3).Int(1).Str("abc").Finish(Primary::Mailbox, Secondary::Response);
    auto second = MessageWriter(4).Str("").Int(9).Finish(Primary::Mailbox, Secondary::Response);
    std::string stream(reinterpret_cast<const char*>(first->data),
                       static_cast<size_t>(first->remaining));
    stream.append(reinterpret_cast<const char*>(second->data),
                  static_cast<size_t>(second->remaining));

    // The engine's rule: the rest of the header, then the rest of the message.
    MessageBuffer rb;
    size_t pos = 0;
    std::vector<std::pair<bufHeader, std::string>> got;
    while (pos < stream.size()) {
        const int want = rb.done < kHeaderSize ? kHeaderSize - rb.done : rb.remaining;
        ASSERT_GT(want, 0);
        std::memcpy(rb.data + rb.done, stream.data() + pos, static_cast<size_t>(want));
        pos += static_cast<size_t>(want);
        rb.done += want;
        bufHeader header;
        const int status = rb.ParseHeader(header);
        ASSERT_NE(status, kParseBad);
        if (status == kParseMore) {
            rb.remaining = header.nMsgLength - rb.done;
            continue;
        }
        MessageReader reader(rb, header);
        std::string s;
        int32_t i = 0;
        if (reader.Code() == 3) {
            EXPECT_TRUE(reader.Int(-1, -1, i));
            EXPECT_TRUE(reader.Str(1, 12, s));
        } else {
            EXPECT_FALSE(reader.Str(1, 12, s));
        }
        got.push_back({header, s});
        rb.Reset();
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].second, "abc");
    EXPECT_EQ(got[1].first.nMsgLength, second->remaining);
}

TEST(MessageBufferTest, ReaderStopsAtTheMessagesOwnLength) {
    // A long message leaves its bytes in the buffer; a short one read after it
    // must not see them.
    const std::string filler(200, 'z');
    auto longer = MessageWriter(1).Str(filler).Int(5).Finish(Primary::Session, Secondary::Response);
    auto shorter = MessageWriter(2).Int(8).Finish(Primary::Session, Secondary::Response);
    MessageBuffer rb;
    bufHeader header;
    Feed(rb, *longer, longer->remaining);
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
    rb.Reset();
    Feed(rb, *shorter, shorter->remaining);
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);

    MessageReader reader(rb, header);
    int32_t value = 0;
    ASSERT_TRUE(reader.Int(-1, -1, value));
    EXPECT_EQ(value, 8);
    EXPECT_FALSE(reader.Int(-1, -1, value));
    std::string s;
    EXPECT_FALSE(reader.Str(0, -1, s));
    EXPECT_EQ(reader.RestSize(), 0);

    int offset = kFirstField + 4;
    EXPECT_FALSE(rb.GetInt(offset, -1, -1, value));

    // A string count that runs past the end fails as well.
    auto lying = MessageWriter(1).Int(1000).Finish(Primary::Session, Secondary::Response);
    rb.Reset();
    Feed(rb, *lying, lying->remaining);
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
    MessageReader liar(rb, header);
    EXPECT_FALSE(liar.Str(0, -1, s));
}

TEST(MessageBufferTest, IntegerRangesAreInclusive) {
    auto message = MessageWriter(0).Int(0).Int(24).Int(25).Int(-1).Finish(Primary::Download,
                                                                          Secondary::Response);
    MessageBuffer rb;
    Feed(rb, *message, message->remaining);
    bufHeader header;
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
    MessageReader reader(rb, header);
    int32_t v = 0;
    EXPECT_TRUE(reader.Int(0, 24, v));
    EXPECT_TRUE(reader.Int(0, 24, v));
    EXPECT_FALSE(reader.Int(0, 24, v));
    EXPECT_FALSE(reader.Int(0, 24, v));
}

}  // namespace
