// Known answers for the codec: fixed keys and headers, with the bytes on the
// wire written out here (worked from the header table by hand, not taken from
// the encoder), so that a mistake made alike in the encoder and the decoder
// cannot pass. The comments show the sums for a few bytes of each.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/MessageBuffer.h"

namespace {

using namespace net;
using Bytes = std::vector<uint8_t>;

// K3 > K2: header bytes 10 and 21 travel exchanged.
constexpr MessageKey kKeyA = {0x9C, 0x05, 0x31, 0xE7, 0xF0, 0x42, 0x8D, 0x1B,
                              0x77, 0x03, 0x10, 0xC8, 0x5A, 0xFE, 0x66, 0xA9};
// K3 < K2: no exchange; large bytes so that most sums wrap.
constexpr MessageKey kKeyB = {0x01, 0xB3, 0xD4, 0x2A, 0x80, 0xFF, 0x00, 0xC1,
                              0x3E, 0xF9, 0x55, 0x17, 0xE0, 0x0A, 0x9F, 0x62};
// K3 == K2: no exchange either.
constexpr MessageKey kKeyC = {0x44, 0x44, 0x44, 0x44, 0x44, 0x00, 0x44, 0x44,
                              0x44, 0xFF, 0x44, 0x44, 0x44, 0x44, 0x44, 0x44};

// Lookup refused: primary 9, secondary 2, header only (36 bytes), key B.
//   byte 9  = K3 + K13 + A3 + 11 = 0x2A + 0x0A + 0 + 11 = 0x3F
//   byte 16 = K5 + K12 + A0 + 2  = 0xFF + 0xE0 + 9 + 2 = 0x1EA -> 0xEA
//   byte 23 = K2 + K3 + B0 + 67  = 0xD4 + 0x2A + 2 + 67 = 0x143 -> 0x43
//   byte 28 = K3 + K6 + K10 + C0 + 81 = 0x2A + 0 + 0x55 + 36 + 81 = 0xF4
const Bytes kHeaderOnly = {
    0x4B, 0x71, 0x34, 0x54, 0x6E, 0x37, 0x57, 0x64, 0x01, 0x3F, 0xB3, 0xD4,
    0x6B, 0x89, 0x2A, 0x80, 0xEA, 0x4C, 0xFF, 0x97, 0x00, 0xC1, 0xFD, 0x43,
    0x18, 0xC8, 0xF2, 0x17, 0xF4, 0xE0, 0xC4, 0xF2, 0x3E, 0x3E, 0x15, 0x9F,
};

// The largest header values: primary 1024, secondary 0, length 32767, key C.
// 1024 is 0x00000400 (A1 = 0x04), 32767 is 0x00007FFF (C1 = 0x7F, C0 = 0xFF).
//   byte 13 = K6 + K15 + A1 + 39 = 0x44 + 0x44 + 0x04 + 39 = 0xB3
//   byte 22 = K1 + K8 + C1 + 12 = 0x44 + 0x44 + 0x7F + 12 = 0x113 -> 0x13
//   byte 24 = 2 x K0 + C3 + 22 = 0x88 + 0 + 22 = 0x9E
//   byte 31 = K9 - 7 = 0xF8
const Bytes kLimitsHeader = {
    0x4B, 0x71, 0x34, 0x54, 0x6E, 0x37, 0x57, 0x64, 0x44, 0x93, 0x44, 0x44,
    0xB4, 0xB3, 0x44, 0x44, 0x46, 0x18, 0x00, 0xBF, 0x44, 0x44, 0x13, 0xCB,
    0x9E, 0x65, 0x8F, 0x44, 0x1C, 0x44, 0xA6, 0xF8, 0x2D, 0x44, 0x4F, 0x44,
};

// Keep-alive: primary 0, secondary 1, 40 bytes, code 0, key A (exchanged:
// byte 10 carries K7 = 0x1B, byte 21 carries K1 = 0x05). The code's four zero
// bytes are sent as K4..K7.
const Bytes kKeepAlive = {
    0x4B, 0x71, 0x34, 0x54, 0x6E, 0x37, 0x57, 0x64, 0x9C, 0xF0, 0x1B, 0x31,
    0x10, 0x5D, 0xE7, 0xF0, 0x9E, 0xB9, 0x42, 0xB8, 0x8D, 0x05, 0x88, 0x5C,
    0x4E, 0xDF, 0x00, 0xC8, 0xFD, 0x5A, 0x0B, 0xFC, 0xF9, 0x77, 0x09, 0x66,
    0xF0, 0x42, 0x8D, 0x1B,
};

// Host lookup: primary 9, secondary 1, code 2, string "123.4567", key B.
//   byte 40 (count 0x00) = 0x00 + K8 = 0x3E; byte 44 ('1') = 0x31 + K12 = 0x111 -> 0x11
const Bytes kHostLookup = {
    0x4B, 0x71, 0x34, 0x54, 0x6E, 0x37, 0x57, 0x64, 0x01, 0x3F, 0xB3, 0xD4,
    0x6B, 0x89, 0x2A, 0x80, 0xEA, 0x4C, 0xFF, 0x97, 0x00, 0xC1, 0xFD, 0x42,
    0x18, 0xC8, 0xF2, 0x17, 0x04, 0xE0, 0xC4, 0xF2, 0x3E, 0x3E, 0x15, 0x9F,
    0x80, 0xFF, 0x00, 0xC3, 0x3E, 0xF9, 0x55, 0x1F, 0x11, 0x3C, 0xD2, 0x90,
    0x35, 0xE8, 0x0A, 0x61,
};

// Download start as a server sends it: primary 3, secondary 2, 65 bytes, key
// A; code 0, then 3, -2, 2147483647, -2147483648 and the string "hello". The
// payload runs past offset 48, where the key starts over at K0:
//   byte 48 (0x7F of 2147483647) = 0x7F + K0 = 0x11B -> 0x1B
//   byte 44 (0xFF of -2) = 0xFF + K12 = 0x159 -> 0x59
const Bytes kWrapped = {
    0x4B, 0x71, 0x34, 0x54, 0x6E, 0x37, 0x57, 0x64, 0x9C, 0xF0, 0x1B, 0x31,
    0x10, 0x5D, 0xE7, 0xF0, 0xA1, 0xB9, 0x42, 0xB8, 0x8D, 0x05, 0x88, 0x5D,
    0x4E, 0xDF, 0x00, 0xC8, 0x16, 0x5A, 0x0B, 0xFC, 0xF9, 0x77, 0x09, 0x66,
    0xF0, 0x42, 0x8D, 0x1B, 0x77, 0x03, 0x10, 0xCB, 0x59, 0xFD, 0x65, 0xA7,
    0x1B, 0x04, 0x30, 0xE6, 0x70, 0x42, 0x8D, 0x1B, 0x77, 0x03, 0x10, 0xCD,
    0xC2, 0x63, 0xD2, 0x15, 0x0B,
};

Bytes Wire(const MessageBuffer& b, int n) { return Bytes(b.data, b.data + n); }

// Decodes hand-written wire bytes as a receiver does.
struct Decoded {
    int status = -1;
    bufHeader header;
    MessageBuffer buffer;
};
std::unique_ptr<Decoded> Decode(const Bytes& wire) {
    auto d = std::make_unique<Decoded>();
    std::memcpy(d->buffer.data, wire.data(), wire.size());
    d->buffer.done = static_cast<int32_t>(wire.size());
    d->status = d->buffer.ParseHeader(d->header);
    return d;
}

TEST(CodecKnownAnswer, HeadersEncodeToTheWrittenBytes) {
    MessageBuffer headerOnly;
    headerOnly.Finish(+Primary::Host, +Secondary::Response, kHeaderSize, kKeyB);
    EXPECT_EQ(Wire(headerOnly, kHeaderSize), kHeaderOnly);

    MessageBuffer limits;
    std::memset(limits.data, 0, sizeof limits.data);
    limits.Finish(1024, 0, kMaxMessageLength, kKeyC);
    EXPECT_EQ(Wire(limits, kHeaderSize), kLimitsHeader);
}

TEST(CodecKnownAnswer, HeadersDecodeFromTheWrittenBytes) {
    auto headerOnly = Decode(kHeaderOnly);
    ASSERT_EQ(headerOnly->status, kParseComplete);
    EXPECT_EQ(headerOnly->header.nDescPrimary, 9);
    EXPECT_EQ(headerOnly->header.nDescSecondary, 2);
    EXPECT_EQ(headerOnly->header.nMsgLength, 36);
    EXPECT_EQ(headerOnly->buffer.Key(), kKeyB);
    EXPECT_EQ(headerOnly->buffer.keyExchangeUndone, 0);
    EXPECT_FALSE(MessageReader(headerOnly->buffer, headerOnly->header).HasCode());

    // Only the header of the longest message is in: decoded, more to come.
    auto limits = Decode(kLimitsHeader);
    ASSERT_EQ(limits->status, kParseMore);
    EXPECT_EQ(limits->header.nDescPrimary, 1024);
    EXPECT_EQ(limits->header.nDescSecondary, 0);
    EXPECT_EQ(limits->header.nMsgLength, 32767);
    EXPECT_EQ(limits->buffer.Key(), kKeyC);
}

TEST(CodecKnownAnswer, ShortPayloadsEncodeAndDecode) {
    MessageBuffer keepAlive;
    int offset = kHeaderSize;
    ASSERT_TRUE(keepAlive.PutInt(offset, control::kKeepAlive));
    keepAlive.Finish(+Primary::Control, +Secondary::Message, offset, kKeyA);
    EXPECT_EQ(Wire(keepAlive, offset), kKeepAlive);

    MessageBuffer lookup;
    offset = kHeaderSize;
    ASSERT_TRUE(lookup.PutInt(offset, host::kLookup));
    ASSERT_TRUE(lookup.PutString(offset, "123.4567"));
    lookup.Finish(+Primary::Host, +Secondary::Message, offset, kKeyB);
    EXPECT_EQ(Wire(lookup, offset), kHostLookup);

    auto d = Decode(kKeepAlive);
    ASSERT_EQ(d->status, kParseComplete);
    EXPECT_EQ(d->header.nDescPrimary, 0);
    EXPECT_EQ(d->header.nDescSecondary, 1);
    EXPECT_EQ(d->header.nMsgLength, 40);
    EXPECT_EQ(d->buffer.keyExchangeUndone, 1);
    EXPECT_EQ(d->buffer.Key(), kKeyA);
    MessageReader keepAliveReader(d->buffer, d->header);
    EXPECT_EQ(keepAliveReader.Code(), 0);
    EXPECT_TRUE(keepAliveReader.AtEnd());

    d = Decode(kHostLookup);
    ASSERT_EQ(d->status, kParseComplete);
    EXPECT_EQ(d->header.nDescPrimary, 9);
    EXPECT_EQ(d->header.nMsgLength, 52);
    MessageReader reader(d->buffer, d->header);
    EXPECT_EQ(reader.Code(), host::kLookup);
    std::string number;
    ASSERT_TRUE(reader.Str(1, 255, number));
    EXPECT_EQ(number, "123.4567");
    EXPECT_TRUE(reader.AtEnd());
}

TEST(CodecKnownAnswer, PayloadPastOneKeyLengthWrapsTheKey) {
    MessageBuffer start;
    int offset = kHeaderSize;
    for (const int32_t v : {0, 3, -2, 2147483647, -2147483647 - 1}) ASSERT_TRUE(start.PutInt(offset, v));
    ASSERT_TRUE(start.PutString(offset, "hello"));
    ASSERT_EQ(offset, 65);
    start.Finish(+Primary::Download, +Secondary::Response, offset, kKeyA);
    EXPECT_EQ(Wire(start, offset), kWrapped);

    auto d = Decode(kWrapped);
    ASSERT_EQ(d->status, kParseComplete);
    EXPECT_EQ(d->header.nDescPrimary, 3);
    EXPECT_EQ(d->header.nDescSecondary, 2);
    EXPECT_EQ(d->header.nMsgLength, 65);
    MessageReader reader(d->buffer, d->header);
    EXPECT_EQ(reader.Code(), download::kStart);
    int32_t slot = 0, small = 0, large = 0, smallest = 0;
    ASSERT_TRUE(reader.Int(0, 24, slot));
    ASSERT_TRUE(reader.Int(-1, -1, small));
    ASSERT_TRUE(reader.Int(-1, -1, large));
    ASSERT_TRUE(reader.Int(-1, -1, smallest));
    EXPECT_EQ(slot, 3);
    EXPECT_EQ(small, -2);
    EXPECT_EQ(large, 2147483647);
    EXPECT_EQ(smallest, -2147483647 - 1);
    std::string text;
    ASSERT_TRUE(reader.Str(1, 12, text));
    EXPECT_EQ(text, "hello");
    EXPECT_TRUE(reader.AtEnd());

    // The same bytes field by field through the buffer's own readers.
    int at = kFirstField;
    int32_t value = 0;
    ASSERT_TRUE(d->buffer.GetInt(at, 0, 24, value));
    at += 12;
    ASSERT_TRUE(d->buffer.GetString(at, 1, 5, text));
    EXPECT_EQ(text, "hello");
    EXPECT_EQ(at, 65);
    EXPECT_FALSE(d->buffer.GetInt(at, -1, -1, value));  // nothing past the message
}

TEST(CodecKnownAnswer, OneChangedHeaderByteIsCaught) {
    // Decoding is checked, not trusted: a primary pushed out of range by one
    // wrong byte is refused, and the refusal says why.
    Bytes bad = kHeaderOnly;
    bad[9] = static_cast<uint8_t>(bad[9] + 0x80);  // A3 becomes 0x80: negative
    auto d = std::make_unique<MessageBuffer>();
    std::memcpy(d->data, bad.data(), bad.size());
    d->done = kHeaderSize;
    bufHeader header;
    ParseFault fault = ParseFault::None;
    EXPECT_EQ(d->ParseHeader(header, fault), kParseBad);
    EXPECT_EQ(fault, ParseFault::Primary);

    bad = kHeaderOnly;
    bad[24] = static_cast<uint8_t>(bad[24] + 1);  // C3 becomes 1: far too long
    std::memcpy(d->data, bad.data(), bad.size());
    EXPECT_EQ(d->ParseHeader(header, fault), kParseBad);
    EXPECT_EQ(fault, ParseFault::Length);
    EXPECT_EQ(header.nMsgLength, 0x01000024);

    bad = kHeaderOnly;
    bad[19] = static_cast<uint8_t>(bad[19] + 0xFF);  // B3 becomes 0xFF: secondary negative
    d->Reset();
    std::memcpy(d->data, bad.data(), bad.size());
    d->done = kHeaderSize;
    EXPECT_EQ(d->ParseHeader(header, fault), kParseBad);
    EXPECT_EQ(fault, ParseFault::Secondary);

    bad = kHeaderOnly;
    bad[5] = '8';
    std::memcpy(d->data, bad.data(), bad.size());
    EXPECT_EQ(d->ParseHeader(header, fault), kParseBad);
    EXPECT_EQ(fault, ParseFault::Token);
}

}  // namespace
