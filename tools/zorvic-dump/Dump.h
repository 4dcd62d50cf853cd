#pragma once

// The core of zorvic-dump: reads one direction of a connection as raw bytes,
// exactly as the client's network thread frames and checks them, and prints
// each message; builds single messages for feeding a peer by hand. Plain C++
// over the protocol core, no Qt, so tests and the fuzzer call it directly.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "net/MessageBuffer.h"

namespace zdump {

// Exit codes of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitBadStream = 1;
inline constexpr int kExitTruncated = 2;
inline constexpr int kExitUsage = 64;
inline constexpr int kExitInput = 66;

// One complete message of a stream.
struct Message {
    int64_t offset = 0;  // stream offset of its first byte
    net::bufHeader header;
    std::vector<uint8_t> payload;  // unscrambled bytes from offset 36 to the end
};

// Frames a byte stream the way the network thread does: at most the rest of
// the header, then at most the rest of the message, ParseHeader after each.
class StreamDecoder {
public:
    StreamDecoder();

    // Feeds the next bytes; calls `onMessage` for every message completed.
    // False once the stream is bad: later bytes are ignored.
    bool Feed(const uint8_t* bytes, size_t n, const std::function<void(const Message&)>& onMessage);

    bool Bad() const { return bad_; }
    // Where and why the stream went bad.
    int64_t ErrorOffset() const { return errorOffset_; }
    const std::string& ErrorText() const { return errorText_; }

    // Some bytes of an unfinished message are in.
    bool InsideMessage() const { return !bad_ && buffer_->done > 0; }
    // Offset of the unfinished message and what is missing of it.
    int64_t MessageOffset() const { return start_; }
    std::string TruncationText() const;

    int64_t Consumed() const { return start_ + (bad_ ? 0 : buffer_->done); }

private:
    std::unique_ptr<net::MessageBuffer> buffer_;
    net::bufHeader header_;
    int64_t start_ = 0;
    bool bad_ = false;
    int64_t errorOffset_ = 0;
    std::string errorText_;
};

std::string Hex(std::span<const uint8_t> bytes);
// Hex digits in either case; white space between pairs is allowed.
bool ParseHex(std::string_view text, std::vector<uint8_t>& out, std::string& error);

// "primary=P secondary=S length=L code=C payload=HEX"
std::string FormatLine(const Message& message);

// The decoded fields of a message of a known family, one text per line, each
// starting with two spaces; empty for an unknown family or code, or when the
// message has no fields. Client messages are those with secondary 1.
std::vector<std::string> DescribeFields(int32_t primary, int32_t secondary,
                                        std::span<const uint8_t> payload);

// One finished message with the given key; false (and why) when the values
// could not travel: descriptors outside 0..1024 or a payload over the limit.
bool Encode(int32_t primary, int32_t secondary, std::span<const uint8_t> payload,
            const net::MessageKey& key, std::vector<uint8_t>& out, std::string& error);

// Where the tool reads and writes. `stop` ends a --follow run from outside
// (tests); `followPollMs` is how long a follow run waits at the end of a
// growing file before looking again.
struct Io {
    int in = 0;
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    const std::atomic<bool>* stop = nullptr;
    int followPollMs = 100;
};

// The whole command line after the program name; returns the exit code.
int Run(const std::vector<std::string>& args, const Io& io);

}  // namespace zdump
