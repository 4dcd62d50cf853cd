#include "Dump.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace zdump {

using net::kHeaderSize;

StreamDecoder::StreamDecoder() : buffer_(std::make_unique<net::MessageBuffer>()) {}

bool StreamDecoder::Feed(const uint8_t* bytes, size_t n,
                         const std::function<void(const Message&)>& onMessage) {
    net::MessageBuffer& b = *buffer_;
    while (!bad_ && n > 0) {
        const int want = b.done < kHeaderSize ? kHeaderSize - b.done : b.remaining;
        if (want <= 0) {
            // ParseHeader never leaves a partly read message without a count.
            bad_ = true;
            errorOffset_ = start_;
            errorText_ = "framing lost";
            break;
        }
        const size_t take = std::min(static_cast<size_t>(want), n);
        std::memcpy(b.data + b.done, bytes, take);
        b.done += static_cast<int32_t>(take);
        bytes += take;
        n -= take;

        net::bufHeader header;
        net::ParseFault fault = net::ParseFault::None;
        const int status = b.ParseHeader(header, fault);
        if (status == net::kParseBad) {
            bad_ = true;
            errorOffset_ = start_;
            errorText_ = net::ParseFaultText(fault);
            if (fault == net::ParseFault::Token) {
                const int in = std::min(b.done, net::kTokenSize);
                int at = 0;
                while (at < in && b.data[at] == static_cast<uint8_t>(net::kToken[at])) ++at;
                errorOffset_ = start_ + at;
                char detail[64];
                std::snprintf(detail, sizeof detail, " (0x%02x where '%c' belongs)", b.data[at],
                              net::kToken[at]);
                errorText_ += detail;
            } else {
                const int32_t value = fault == net::ParseFault::Primary     ? header.nDescPrimary
                                      : fault == net::ParseFault::Secondary ? header.nDescSecondary
                                                                            : header.nMsgLength;
                errorText_ += ": " + std::to_string(value);
            }
            break;
        }
        if (status == net::kParseMore) {
            if (b.done >= kHeaderSize) {
                header_ = header;
                b.remaining = header.nMsgLength - b.done;
            }
            continue;
        }
        Message message;
        message.offset = start_;
        message.header = header;
        if (header.nMsgLength > kHeaderSize)
            message.payload.assign(b.data + kHeaderSize, b.data + header.nMsgLength);
        start_ += b.done;
        b.Reset();
        onMessage(message);
    }
    return !bad_;
}

std::string StreamDecoder::TruncationText() const {
    const int done = buffer_->done;
    char text[128];
    if (done < kHeaderSize) {
        std::snprintf(text, sizeof text, "stream ends inside a message (%i of %i header bytes)", done,
                      kHeaderSize);
    } else {
        std::snprintf(text, sizeof text, "stream ends inside a message (%i of %i bytes)", done,
                      header_.nMsgLength);
    }
    return text;
}

std::string Hex(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

bool ParseHex(std::string_view text, std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    size_t i = 0;
    while (i < text.size()) {
        if (IsSpace(text[i])) {
            ++i;
            continue;
        }
        const int high = HexValue(text[i]);
        const int low = i + 1 < text.size() ? HexValue(text[i + 1]) : -2;
        if (high < 0 || low == -1) {
            error = "not a hex digit at position " + std::to_string(high < 0 ? i : i + 1);
            return false;
        }
        if (low == -2) {
            error = "odd number of hex digits";
            return false;
        }
        out.push_back(static_cast<uint8_t>(high * 16 + low));
        i += 2;
    }
    return true;
}

std::string FormatLine(const Message& message) {
    const auto& h = message.header;
    std::string code = "-";
    if (message.payload.size() >= 4) {
        const auto* p = message.payload.data();
        const uint32_t u = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        code = std::to_string(static_cast<int32_t>(u));
    }
    return "primary=" + std::to_string(h.nDescPrimary) + " secondary=" + std::to_string(h.nDescSecondary) +
           " length=" + std::to_string(h.nMsgLength) + " code=" + code + " payload=" + Hex(message.payload);
}

bool Encode(int32_t primary, int32_t secondary, std::span<const uint8_t> payload,
            const net::MessageKey& key, std::vector<uint8_t>& out, std::string& error) {
    if (primary < 0 || primary > 1024) {
        error = "primary descriptor must be 0..1024";
        return false;
    }
    if (secondary < 0 || secondary > 1024) {
        error = "secondary descriptor must be 0..1024";
        return false;
    }
    if (payload.size() > static_cast<size_t>(net::kMaxMessageLength - kHeaderSize)) {
        error = "payload longer than " + std::to_string(net::kMaxMessageLength - kHeaderSize) + " bytes";
        return false;
    }
    auto buffer = std::make_unique<net::MessageBuffer>();
    if (!payload.empty()) std::memcpy(buffer->data + kHeaderSize, payload.data(), payload.size());
    const int length = kHeaderSize + static_cast<int>(payload.size());
    buffer->Finish(primary, secondary, length, key);
    out.assign(buffer->data, buffer->data + length);
    return true;
}

namespace {

const char kUsage[] =
    "usage: zorvic-dump decode [--follow] [--fields] [FILE]\n"
    "       zorvic-dump encode --primary P [--secondary S] [--key HEX] --payload HEX\n"
    "\n"
    "decode  reads one direction of a connection (FILE, or standard input when\n"
    "        FILE is missing or -) and prints one line per complete message:\n"
    "        primary=P secondary=S length=L code=C payload=HEX\n"
    "        (payload: the unscrambled bytes from offset 36 on; code - when\n"
    "        the payload is shorter than 4 bytes).\n"
    "  --follow  keep reading a growing file or a pipe; print each message as\n"
    "            it completes\n"
    "  --fields  after each message of a known family, its fields by name\n"
    "encode  writes one finished message to standard output: HEX is the plain\n"
    "        payload from offset 36 (the message code included); secondary\n"
    "        defaults to 1 (client to server); a fresh key unless --key gives\n"
    "        its 16 bytes.\n"
    "\n"
    "exit status: 0 done; 1 bad stream (byte offset and reason on standard\n"
    "error); 2 stream ends inside a message; 64 usage; 66 unreadable input\n";

bool ParseInt(const std::string& text, int32_t& out) {
    if (text.empty() || text.size() > 11) return false;
    size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    if (text[0] == '-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    out = static_cast<int32_t>(value);
    return true;
}

int Usage(const Io& io, const std::string& problem) {
    std::fprintf(io.err, "zorvic-dump: %s\n%s", problem.c_str(), kUsage);
    return kExitUsage;
}

// Splits "--name=value" and "--name value" alike.
struct Args {
    std::vector<std::string> items;
    size_t at = 0;
    bool Next(std::string& name, std::string* value, bool& hasInline) {
        if (at >= items.size()) return false;
        name = items[at++];
        hasInline = false;
        const size_t eq = name.find('=');
        if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
            if (value) *value = name.substr(eq + 1);
            name.resize(eq);
            hasInline = true;
        }
        return true;
    }
};

int RunEncode(const std::vector<std::string>& args, const Io& io) {
    Args a{args, 1};
    int32_t primary = -1, secondary = +net::Secondary::Message;
    bool havePrimary = false, havePayload = false, haveKey = false;
    std::vector<uint8_t> payload, keyBytes;
    std::string name, value;
    bool hasInline = false;
    while (a.Next(name, &value, hasInline)) {
        if (name != "--primary" && name != "--secondary" && name != "--payload" && name != "--key")
            return Usage(io, "unknown argument '" + name + "'");
        if (!hasInline) {
            if (a.at >= a.items.size()) return Usage(io, name + " needs a value");
            value = a.items[a.at++];
        }
        std::string error;
        if (name == "--primary") {
            if (!ParseInt(value, primary)) return Usage(io, "--primary takes a number");
            havePrimary = true;
        } else if (name == "--secondary") {
            if (!ParseInt(value, secondary)) return Usage(io, "--secondary takes a number");
        } else if (name == "--payload") {
            if (!ParseHex(value, payload, error)) return Usage(io, "--payload: " + error);
            havePayload = true;
        } else {
            if (!ParseHex(value, keyBytes, error)) return Usage(io, "--key: " + error);
            if (keyBytes.size() != net::kKeySize) return Usage(io, "--key takes 16 bytes");
            haveKey = true;
        }
    }
    if (!havePrimary) return Usage(io, "encode needs --primary");
    if (!havePayload) return Usage(io, "encode needs --payload");
    net::MessageKey key = net::DrawMessageKey();
    if (haveKey) std::copy(keyBytes.begin(), keyBytes.end(), key.begin());
    std::vector<uint8_t> out;
    std::string error;
    if (!Encode(primary, secondary, payload, key, out, error)) {
        std::fprintf(io.err, "zorvic-dump: %s\n", error.c_str());
        return kExitUsage;
    }
    if (std::fwrite(out.data(), 1, out.size(), io.out) != out.size() || std::fflush(io.out) != 0) {
        std::fprintf(io.err, "zorvic-dump: cannot write the message: %s\n", std::strerror(errno));
        return kExitInput;
    }
    return kExitOk;
}

void Sleep(const Io& io) {
    std::this_thread::sleep_for(std::chrono::milliseconds(io.followPollMs));
}

int RunDecode(const std::vector<std::string>& args, const Io& io) {
    bool follow = false, fields = false;
    std::string path;
    bool havePath = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--follow") {
            follow = true;
        } else if (arg == "--fields") {
            fields = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage(io, "unknown argument '" + arg + "'");
        } else if (havePath) {
            return Usage(io, "decode reads one stream");
        } else {
            path = arg;
            havePath = true;
        }
    }

    int fd = io.in;
    bool ownFd = false;
    if (havePath && path != "-") {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            std::fprintf(io.err, "zorvic-dump: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
            return kExitInput;
        }
        ownFd = true;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    const std::string source = havePath ? path : "standard input";

    StreamDecoder decoder;
    const auto print = [&](const Message& message) {
        std::fprintf(io.out, "%s\n", FormatLine(message).c_str());
        if (fields) {
            for (const std::string& line :
                 DescribeFields(message.header.nDescPrimary, message.header.nDescSecondary, message.payload))
                std::fprintf(io.out, "%s\n", line.c_str());
        }
        if (follow) std::fflush(io.out);
    };

    int result = kExitOk;
    std::vector<uint8_t> chunk(65536);
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            std::fprintf(io.err, "zorvic-dump: cannot read %s: %s\n", source.c_str(), std::strerror(errno));
            result = kExitInput;
            break;
        }
        if (n == 0) {
            // The end of a pipe is the end of the stream; a regular file may
            // still grow while it is followed.
            if (!follow || !regular || (io.stop && io.stop->load())) break;
            struct stat now {};
            if (::fstat(fd, &now) == 0 && now.st_size < decoder.Consumed()) {
                std::fprintf(io.err, "zorvic-dump: %s: file truncated at byte offset %lld\n", source.c_str(),
                             static_cast<long long>(now.st_size));
                result = kExitBadStream;
                break;
            }
            Sleep(io);
            continue;
        }
        if (!decoder.Feed(chunk.data(), static_cast<size_t>(n), print)) break;
    }
    std::fflush(io.out);
    if (result == kExitOk) {
        if (decoder.Bad()) {
            std::fprintf(io.err, "zorvic-dump: byte offset %lld: %s\n",
                         static_cast<long long>(decoder.ErrorOffset()), decoder.ErrorText().c_str());
            result = kExitBadStream;
        } else if (decoder.InsideMessage()) {
            std::fprintf(io.err, "zorvic-dump: byte offset %lld: %s\n",
                         static_cast<long long>(decoder.MessageOffset()), decoder.TruncationText().c_str());
            result = kExitTruncated;
        }
    }
    if (ownFd) ::close(fd);
    return result;
}

}  // namespace

int Run(const std::vector<std::string>& args, const Io& io) {
    if (args.empty()) return Usage(io, "say decode or encode");
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        std::fputs(kUsage, io.out);
        return kExitOk;
    }
    if (args[0] == "decode") return RunDecode(args, io);
    if (args[0] == "encode") return RunEncode(args, io);
    return Usage(io, "unknown command '" + args[0] + "'");
}

}  // namespace zdump
