#pragma once

// One message on the wire, outgoing or incoming, and the field encodings
// inside it. A message is a 36-byte header (the plain token, then three
// integers mixed with a 16-byte key) followed by a payload scrambled with the
// same key. The payload starts with a big-endian message code at offset 36;
// the fields follow from offset 40.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/Protocol.h"

namespace net {

inline constexpr int kHeaderSize = 36;
inline constexpr int kFirstField = 40;
inline constexpr int kMaxMessageLength = 32767;
// Field writes and reads must end below this offset.
inline constexpr int kFieldLimit = 32768;
inline constexpr int kDataSize = 32788;
inline constexpr int kKeySize = 16;
inline constexpr char kToken[] = "Kq4Tn7Wd";
inline constexpr int kTokenSize = 8;

// The decoded header record.
struct bufHeader {
    int32_t nDescPrimary = 0;
    int32_t nDescSecondary = 0;
    int32_t nMsgLength = 0;
};

using MessageKey = std::array<uint8_t, kKeySize>;

// Results of ParseHeader.
enum ParseStatus : int { kParseBad = 0, kParseMore = 1, kParseComplete = 2 };

// Why ParseHeader called a stream bad; tools report it, the client only
// closes the connection.
enum class ParseFault : uint8_t {
    None,
    Token,      // the first bytes differ from the token
    Primary,    // nDescPrimary outside 0..1024
    Secondary,  // nDescSecondary outside 0..1024
    Length,     // nMsgLength outside 0..32767
};
const char* ParseFaultText(ParseFault fault);

class MessageBuffer {
public:
    // A buffer is made and freed for every message. Each thread keeps a few
    // freed buffers' storage for its next ones, so that a small message does
    // not pay for a 32 KiB trip through the general allocator.
    static void* operator new(std::size_t size);
    static void operator delete(void* storage, std::size_t size) noexcept;

    // remaining -1, done 0, flags 0, the token set. The data area is left
    // uninitialised: clearing 32 KiB for every message cost more than
    // building it, and no byte is read before it has been written (reads
    // stop at what was written or at the received message's own length).
    MessageBuffer();

    // Field encodings. Each advances `offset` on success.
    bool PutInt(int& offset, int32_t value);
    bool PutString(int& offset, const void* bytes, int n);
    bool PutString(int& offset, std::string_view text) {
        return PutString(offset, text.data(), static_cast<int>(text.size()));
    }
    // min/max of -1 mean "no bound", as on the wire's reader side.
    bool GetInt(int& offset, int32_t min, int32_t max, int32_t& out) const;
    bool GetString(int& offset, int32_t min, int32_t max, std::string& out) const;

    // Encodes the header with secondary 1 (every client message), scrambles
    // the payload with a freshly drawn key and sets remaining = length.
    void Finish(int32_t primary, int32_t length);
    // The same with any secondary descriptor (upload chunks go out as
    // responses; the local network server sends notifications and responses).
    void Finish(int32_t primary, int32_t secondary, int32_t length);
    // The same with a given key; for tests and reproducible captures.
    void Finish(int32_t primary, int32_t secondary, int32_t length, const MessageKey& key);

    // Checks and decodes what has been received so far (`done` bytes).
    // kParseBad: the stream is bad; kParseMore: more bytes are needed;
    // kParseComplete: the message is complete, checked and unscrambled.
    int ParseHeader(bufHeader& out);
    // The same, saying why when the result is kParseBad.
    int ParseHeader(bufHeader& out, ParseFault& fault);

    // After a message has been handled or fully sent.
    void Reset();

    // Removes the payload scrambling of a finished outgoing message (the
    // envelope re-wraps a finished inner message).
    void Unscramble(int32_t length);

    // The offset up to which fields may be read: the message's own length
    // once an incoming message is complete (a handler of a short message
    // never reads stale bytes of an earlier one), the end of what was written
    // on a buffer being built, and nothing beyond the header otherwise.
    int ReadEnd() const { return readEnd_; }
    void SetReadEnd(int end) { readEnd_ = end; }

    const MessageKey& Key() const { return key; }

    // Fields, in the order the format gives them.
    uint8_t payloadUnscrambled = 0;
    uint8_t keyExchangeUndone = 0;
    int32_t remaining = -1;
    int32_t done = 0;
    char token[kTokenSize + 1];
    MessageKey key{};
    uint8_t data[kDataSize];

private:
    void EncodeHeader(int32_t primary, int32_t secondary, int32_t length);
    int readEnd_ = kHeaderSize;
};

// Draws a fresh message key from a generator seeded once per thread.
MessageKey DrawMessageKey();

// Builds one outgoing message: the code at offset 36, then the fields. A field
// that does not fit marks the writer failed, and Finish then returns nullptr,
// so a sender can chain its fields and check once.
class MessageWriter {
public:
    explicit MessageWriter(int32_t code);

    MessageWriter& Int(int32_t value);
    MessageWriter& Str(std::string_view text);
    // Unframed bytes running to the end of the message (file chunks).
    MessageWriter& Raw(const void* bytes, int n);

    bool ok() const { return ok_; }
    int length() const { return offset_; }
    MessageBuffer& buffer() { return *buf_; }

    // Finishes with the given descriptors and hands the buffer over; nullptr
    // when a field did not fit (nothing is to be sent then).
    std::unique_ptr<MessageBuffer> Finish(int32_t primary, int32_t secondary = +Secondary::Message);
    std::unique_ptr<MessageBuffer> Finish(Primary primary, Secondary secondary = Secondary::Message) {
        return Finish(+primary, +secondary);
    }

private:
    std::unique_ptr<MessageBuffer> buf_;
    int offset_ = kHeaderSize;
    bool ok_ = true;
};

// Reads the fields of a complete incoming message, from offset 40, bounded by
// the message's own length.
class MessageReader {
public:
    MessageReader(const MessageBuffer& buf, const bufHeader& header);

    int32_t Code() const { return code_; }
    bool HasCode() const { return hasCode_; }
    bool Int(int32_t min, int32_t max, int32_t& out);
    bool Str(int32_t min, int32_t max, std::string& out);

    int Offset() const { return offset_; }
    int End() const { return end_; }
    bool AtEnd() const { return offset_ >= end_; }
    // The unframed bytes from the current offset to the end of the message.
    const uint8_t* Rest() const { return buf_.data + offset_; }
    int RestSize() const { return offset_ < end_ ? end_ - offset_ : 0; }

private:
    const MessageBuffer& buf_;
    int offset_ = kFirstField;
    int end_;
    int32_t code_ = -1;
    bool hasCode_ = false;
};

}  // namespace net
