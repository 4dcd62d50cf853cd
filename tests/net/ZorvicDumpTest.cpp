// zorvic-dump's core: framing a captured stream exactly as the client does,
// the printed lines and exit codes, --fields, --follow and encode.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "Dump.h"
#include "support/TempDir.h"

namespace {

using namespace net;
using Bytes = std::vector<uint8_t>;

constexpr MessageKey kKey = {0x9C, 0x05, 0x31, 0xE7, 0xF0, 0x42, 0x8D, 0x1B,
                             0x77, 0x03, 0x10, 0xC8, 0x5A, 0xFE, 0x66, 0xA9};

Bytes Be(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {uint8_t(u >> 24), uint8_t(u >> 16), uint8_t(u >> 8), uint8_t(u)};
}
Bytes S(const std::string& text) {
    Bytes out = Be(static_cast<int32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    return out;
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Wire(int32_t primary, int32_t secondary, const Bytes& payload) {
    Bytes out;
    std::string error;
    EXPECT_TRUE(zdump::Encode(primary, secondary, payload, kKey, out, error)) << error;
    return out;
}
std::string Str(const Bytes& b) { return std::string(b.begin(), b.end()); }

// The header of a message whose length field says `length` (a value the
// encoder would also refuse to produce as a real payload).
Bytes HeaderOnly(int32_t primary, int32_t secondary, int32_t length) {
    MessageBuffer b;
    b.Finish(primary, secondary, length < kHeaderSize ? length : kHeaderSize, kKey);
    if (length >= kHeaderSize) {
        // Re-encode the header with the real length; the payload is not sent.
        std::memset(b.data + kHeaderSize, 0, static_cast<size_t>(kMaxMessageLength - kHeaderSize));
        b.Finish(primary, secondary, length, kKey);
    }
    return Bytes(b.data, b.data + kHeaderSize);
}

std::vector<std::string> Lines(const Bytes& stream, size_t chunk, zdump::StreamDecoder& decoder) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < stream.size(); at += chunk) {
        const size_t n = std::min(chunk, stream.size() - at);
        if (!decoder.Feed(stream.data() + at, n, [&](const zdump::Message& m) { lines.push_back(zdump::FormatLine(m)); }))
            break;
    }
    return lines;
}

// Runs the tool's command line with standard input from `input` and returns
// the exit code, collecting standard output and standard error.
struct Result {
    int code = -1;
    std::string out, err;
};
Result RunTool(const std::vector<std::string>& args, const Bytes& input = {}) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("in"), Str(input));
    Result r;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    const int in = ::open(dir.file("in").c_str(), O_RDONLY);
    zdump::Io io;
    io.in = in;
    io.out = out;
    io.err = err;
    r.code = zdump::Run(args, io);
    ::close(in);
    for (auto [file, text] : {std::pair{out, &r.out}, std::pair{err, &r.err}}) {
        std::fflush(file);
        std::rewind(file);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file)) > 0) text->append(buf, n);
        std::fclose(file);
    }
    return r;
}

TEST(ZorvicDump, LinesDoNotDependOnHowTheStreamIsCut) {
    const Bytes stream = Cat({
        Wire(+Primary::Download, +Secondary::Response, Cat({Be(0), Be(3), Be(1048576), S("hi")})),
        Wire(+Primary::Host, +Secondary::Response, {}),           // header only
        Wire(+Primary::Mailbox, +Secondary::Message, {0xAB, 0xCD}),  // too short for a code
        HeaderOnly(+Primary::Control, +Secondary::Notification, 20),  // length below the header
        Wire(+Primary::Control, +Secondary::Message, Be(-7)),
    });
    const std::vector<std::string> expected = {
        "primary=3 secondary=2 length=54 code=0 payload=000000000000000300100000000000026869",
        "primary=9 secondary=2 length=36 code=- payload=",
        "primary=14 secondary=1 length=38 code=- payload=abcd",
        "primary=0 secondary=0 length=20 code=- payload=",
        "primary=0 secondary=1 length=40 code=-7 payload=fffffff9",
    };
    for (const size_t chunk : {size_t{1}, size_t{7}, size_t{36}, size_t{37}, stream.size()}) {
        zdump::StreamDecoder decoder;
        EXPECT_EQ(Lines(stream, chunk, decoder), expected) << chunk;
        EXPECT_FALSE(decoder.Bad());
        EXPECT_FALSE(decoder.InsideMessage());
        EXPECT_EQ(decoder.Consumed(), static_cast<int64_t>(stream.size()));
    }
}

TEST(ZorvicDump, BadStreamsSayWhereAndWhy) {
    const Bytes good = Wire(+Primary::Control, +Secondary::Message, Be(0));
    struct Case {
        Bytes tail;
        int64_t offset;
        std::string text;
    };
    Bytes lateToken = good;
    lateToken[5] = 'x';
    const Case cases[] = {
        {lateToken, 40 + 5, "bad token (0x78 where '7' belongs)"},
        {HeaderOnly(1025, 2, 40), 40, "primary descriptor out of range 0..1024: 1025"},
        {HeaderOnly(3, -1, 40), 40, "secondary descriptor out of range 0..1024: -1"},
        {HeaderOnly(3, 2, 32768), 40, "message length out of range 0..32767: 32768"},
    };
    for (const Case& c : cases) {
        const Bytes stream = Cat({good, c.tail, good});
        zdump::StreamDecoder decoder;
        EXPECT_EQ(Lines(stream, 5, decoder).size(), 1u);
        ASSERT_TRUE(decoder.Bad()) << c.text;
        EXPECT_EQ(decoder.ErrorOffset(), c.offset) << c.text;
        EXPECT_EQ(decoder.ErrorText(), c.text);

        const Result r = RunTool({"decode"}, stream);
        EXPECT_EQ(r.code, zdump::kExitBadStream);
        EXPECT_EQ(r.out, "primary=0 secondary=1 length=40 code=0 payload=00000000\n");
        EXPECT_EQ(r.err, "zorvic-dump: byte offset " + std::to_string(c.offset) + ": " + c.text + "\n");
    }
    // The first byte alone is enough to refuse a stream.
    zdump::StreamDecoder decoder;
    const uint8_t k = 'k';
    EXPECT_FALSE(decoder.Feed(&k, 1, [](const zdump::Message&) {}));
}

TEST(ZorvicDump, ExitCodesOfTheCommandLine) {
    const Bytes one = Wire(+Primary::Control, +Secondary::Message, Be(1));
    EXPECT_EQ(RunTool({"decode"}, {}).code, zdump::kExitOk);

    Result r = RunTool({"decode", "-"}, Bytes(one.begin(), one.end() - 1));
    EXPECT_EQ(r.code, zdump::kExitTruncated);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "zorvic-dump: byte offset 0: stream ends inside a message (39 of 40 bytes)\n");

    r = RunTool({"decode"}, Cat({one, Bytes(one.begin(), one.begin() + 10)}));
    EXPECT_EQ(r.code, zdump::kExitTruncated);
    EXPECT_EQ(r.err, "zorvic-dump: byte offset 40: stream ends inside a message (10 of 36 header bytes)\n");

    testsupport::TempDir dir;
    testsupport::WriteFile(dir.file("capture"), Str(Cat({one, one})));
    r = RunTool({"decode", dir.file("capture")});
    EXPECT_EQ(r.code, zdump::kExitOk);
    EXPECT_EQ(r.out, "primary=0 secondary=1 length=40 code=1 payload=00000001\n"
                     "primary=0 secondary=1 length=40 code=1 payload=00000001\n");

    EXPECT_EQ(RunTool({"decode", dir.file("missing")}).code, zdump::kExitInput);
    EXPECT_EQ(RunTool({}).code, zdump::kExitUsage);
    EXPECT_EQ(RunTool({"decode", "--bogus"}).code, zdump::kExitUsage);
    EXPECT_EQ(RunTool({"decode", "a", "b"}).code, zdump::kExitUsage);
    EXPECT_EQ(RunTool({"encode", "--payload", "00"}).code, zdump::kExitUsage);
    EXPECT_EQ(RunTool({"encode", "--primary", "1025", "--payload", "00"}).code, zdump::kExitUsage);
    EXPECT_EQ(RunTool({"encode", "--primary", "1", "--payload", "0"}).code, zdump::kExitUsage);
    EXPECT_EQ(RunTool({"encode", "--primary", "1", "--payload", "zz"}).code, zdump::kExitUsage);
    EXPECT_EQ(RunTool({"encode", "--primary", "x1", "--payload", "00"}).code, zdump::kExitUsage);
    EXPECT_EQ(RunTool({"encode", "--primary", "1", "--payload", std::string(2 * 32732, '0')}).code,
              zdump::kExitUsage);
    EXPECT_EQ(RunTool({"--help"}).code, zdump::kExitOk);
}

TEST(ZorvicDump, EncodeWritesTheMessageTheCodecExpects) {
    // With a given key the bytes are those worked out by hand for the
    // keep-alive (see the codec's known answers).
    const Result keepAlive = RunTool({"encode", "--primary", "0", "--key", "9c0531e7f0428d1b770310c85afe66a9",
                                      "--payload", "00000000"});
    ASSERT_EQ(keepAlive.code, zdump::kExitOk) << keepAlive.err;
    EXPECT_EQ(zdump::Hex({reinterpret_cast<const uint8_t*>(keepAlive.out.data()), keepAlive.out.size()}),
              "4b7134546e3757649cf01b31105de7f09eb942b88d05885c4edf00c8fd5a0bfcf9770966f0428d1b");

    // A fresh key each time; both decode to the same line.
    const Result a = RunTool({"encode", "--primary=3", "--secondary=2", "--payload", "00 00 00 01 00000010 ffee"});
    const Result b = RunTool({"encode", "--primary", "3", "--secondary", "2", "--payload", "0000000100000010FFEE"});
    ASSERT_EQ(a.code, 0);
    ASSERT_EQ(b.code, 0);
    EXPECT_NE(a.out, b.out);
    const Result decoded = RunTool({"decode"}, Cat({Bytes(a.out.begin(), a.out.end()), Bytes(b.out.begin(), b.out.end())}));
    EXPECT_EQ(decoded.out, "primary=3 secondary=2 length=46 code=1 payload=0000000100000010ffee\n"
                           "primary=3 secondary=2 length=46 code=1 payload=0000000100000010ffee\n");

    // The largest payload there is still fits; the header-only message too.
    const Result largest = RunTool({"encode", "--primary", "1", "--payload", std::string(2 * 32731, 'a')});
    EXPECT_EQ(largest.code, 0);
    EXPECT_EQ(largest.out.size(), 32767u);
    EXPECT_EQ(RunTool({"encode", "--primary", "1", "--payload", ""}).out.size(), 36u);
}

std::vector<std::string> Fields(Primary primary, Secondary secondary, const Bytes& payload) {
    return zdump::DescribeFields(+primary, +secondary, payload);
}
using Texts = std::vector<std::string>;

TEST(ZorvicDump, FieldsOfTransferMessages) {
    EXPECT_EQ(Fields(Primary::Download, Secondary::Response, Cat({Be(0), Be(3), Be(1048576), S("abc")})),
              Texts{"  slot=3 total=1048576 bytes=7"});
    // The poll list's start carries the server's clock before the bytes.
    EXPECT_EQ(Fields(Primary::Download, Secondary::Response,
                     Cat({Be(0), Be(8), Be(10), Be(126), Be(11), Be(8), Be(23), Be(59), Be(1), Be(0), Be(5)})),
              Texts{"  slot=8 total=10 clock_year=126 clock_month=11 clock_day=8 clock_hour=23 clock_minute=59 "
                    "clock_second=1 clock_dst=0 bytes=4"});
    EXPECT_EQ(Fields(Primary::Download, Secondary::Response, Cat({Be(1), Be(25)})),
              Texts{"  error=\"slot: 25 outside 0..24\""});
    EXPECT_EQ(Fields(Primary::Download, Secondary::Response, Cat({Be(3), Be(1), S("gone")})),
              Texts{"  slot=1 details=\"gone\""});
    EXPECT_EQ(Fields(Primary::Download, Secondary::Response, Cat({Be(3), Be(11), S("gone")})),
              Texts{"  slot=11 extra_bytes=8"});
    // The go-ahead of slot 6 carries one more integer; the client's chunks
    // travel as responses.
    EXPECT_EQ(Fields(Primary::Upload, Secondary::Response, Cat({Be(5), Be(6), Be(10000)})),
              Texts{"  slot=6 error=\"poll_value: 10000 outside 0..9999\""});
    EXPECT_EQ(Fields(Primary::Upload, Secondary::Response, Cat({Be(6), Be(21), Bytes(4096, 1)})),
              Texts{"  slot=21 bytes=4096"});
    EXPECT_EQ(Fields(Primary::Upload, Secondary::Response, Cat({Be(7), S("")})),
              Texts{"  error=\"details: count 0 outside 1..512\""});
    // Requests, by the slot their code stands for.
    EXPECT_EQ(Fields(Primary::Upload, Secondary::Message, Cat({Be(0), Be(12), S("/docs"), S("a.txt")})),
              Texts{"  size=12 folder=\"/docs\" name=\"a.txt\""});
    EXPECT_EQ(Fields(Primary::Download, Secondary::Message, Cat({Be(3), S("abc123"), Be(1)})),
              Texts{"  session=\"abc123\" refresh=1"});
    EXPECT_EQ(Fields(Primary::Download, Secondary::Message, Cat({Be(0), S("bob"), S("/"), S("f")})),
              Texts{"  owner=\"bob\" folder=\"/\" name=\"f\""});
    EXPECT_EQ(Fields(Primary::Control, Secondary::Message, Cat({Be(1), Be(24)})), Texts{"  slot=24"});
    // Unknown codes and families print nothing.
    EXPECT_TRUE(Fields(Primary::Download, Secondary::Message, Cat({Be(15)})).empty());
    EXPECT_TRUE(Fields(Primary::Poll, Secondary::Response, Cat({Be(0), Be(1)})).empty());
    EXPECT_TRUE(zdump::DescribeFields(7, 2, Cat({Be(0), Be(1)})).empty());
}

TEST(ZorvicDump, FieldsOfSignInAndNetworkMessages) {
    // Direction decides: login code 1 from the client, code 4 from a server.
    EXPECT_EQ(Fields(Primary::Login, Secondary::Message,
                     Cat({Be(1), Be(2), S("123.4567"), Be(0), S("alice"), S("alicepass"), S("id")})),
              Texts{"  version=2 number=\"123.4567\" reserved=0 username=\"alice\" password=\"alicepass\" identity=\"id\""});
    EXPECT_TRUE(Fields(Primary::Login, Secondary::Response, Be(4)).empty());  // the file server's answer
    EXPECT_EQ(Fields(Primary::Login, Secondary::Response, Cat({Be(4), Be(1), Be(2)})),
              Texts{"  administrator=1 error=\"root: 2 outside 0..1\""});
    EXPECT_TRUE(Fields(Primary::Login, Secondary::Notification, Cat({Be(4), Be(1), Be(0)})).empty());

    EXPECT_EQ(Fields(Primary::Host, Secondary::Response, Cat({Be(5), S("2"), S("net.example")})),
              Texts{"  flags=\"2\" host=\"net.example\""});
    EXPECT_EQ(Fields(Primary::Host, Secondary::Response, Cat({Be(5), S("1234"), S("h")})),
              Texts{"  error=\"flags: count 4 outside 1..3\""});
    EXPECT_EQ(Fields(Primary::Control, Secondary::Notification,
                     Cat({Be(0), Be(1), Be(1), Be(6), S("say \"no\"\r\n\x01 caf\xc3\xa9 \xff")})),
              Texts{"  original_primary=1 original_secondary=1 response_code=6 "
                    "response_text=\"say \\\"no\\\"\\x0d\\x0a\\x01 caf\xc3\xa9 \\xff\""});
    EXPECT_EQ(Fields(Primary::Control, Secondary::Notification, Cat({Be(0), Be(1), Be(1)})),
              Texts{"  original_primary=1 original_secondary=1 error=\"response_code: the message ends at offset 48\""});

    // A string whose count runs past the end of the message.
    EXPECT_EQ(Fields(Primary::Host, Secondary::Message, Cat({Be(2), Be(100), Bytes{'1'}})),
              Texts{"  error=\"number: 100 bytes run past the end of the message\""});

    EXPECT_EQ(Fields(Primary::Session, Secondary::Message, Cat({Be(3), Be(0), Be(2), Be(20), Be(1), Be(0)})),
              Texts{"  sort=0 page=2 page_size=20 list=1 refresh=0"});
    EXPECT_EQ(Fields(Primary::Contact, Secondary::Message, Cat({Be(5), Be(2)})), Texts{"  status=2"});
    EXPECT_TRUE(Fields(Primary::Mailbox, Secondary::Message, Be(3)).empty());
}

TEST(ZorvicDump, FieldsOfNetworkInformationAndTheEnvelope) {
    const Bytes entry1 = Cat({Be(0), Be(2048), Be(1), S("logs"), S("today")});
    const Bytes badEntry = Cat({Be(3), Be(0), Be(0), S("x"), S("y")});
    EXPECT_EQ(Fields(Primary::Network, Secondary::Response,
                     Cat({Be(16), S("Home"), Be(5), Be(2), S("noon"), S("/"), entry1, badEntry, entry1})),
              (Texts{"  name=\"Home\" accounts=5 online=2 server_time=\"noon\" path=\"/\"",
                     "    entry kind=0 size=2048 flag=1 name=\"logs\" modified=\"today\"",
                     "    entry error=\"kind: 3 outside 0..2\""}));

    // Account creation inside the envelope: the inner fields are shown too.
    const Bytes inner = Cat({Be(0), S("765.4321"), S("Dee Doe"), S("dee"), S("secret"), S("id"), S("welcome")});
    EXPECT_EQ(Fields(Primary::Zorvic, Secondary::Message, Cat({Be(0), Be(0), Be(0), Be(0), Be(5), Be(1), inner})),
              (Texts{"  zero1=0 zero2=0 zero3=0 inner_primary=5 inner_secondary=1",
                     "  inner code=0",
                     "    number=\"765.4321\" full_name=\"Dee Doe\" username=\"dee\" password=\"secret\" "
                     "identity=\"id\" creation_code=\"welcome\""}));

    // Envelopes inside envelopes are expanded only so deep.
    Bytes nested = Cat({Be(3), Be(0), S("123.4567"), S("/")});
    int32_t primary = +Primary::Network;
    for (int i = 0; i < 50; ++i) {
        nested = Cat({Be(0), Be(0), Be(0), Be(0), Be(primary), Be(1), nested});
        primary = +Primary::Zorvic;
    }
    const Texts lines = Fields(Primary::Zorvic, Secondary::Message, nested);
    EXPECT_GT(lines.size(), 5u);
    EXPECT_LT(lines.size(), 20u);
}

// Reads one line from `fd` within a few seconds ("" on timeout).
std::string ReadLine(int fd) {
    std::string line;
    char c;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) return "";
        if (::read(fd, &c, 1) != 1) return line;
        if (c == '\n') return line;
        line += c;
    }
}

TEST(ZorvicDump, FollowPrintsEachMessageAsItCompletes) {
    const Bytes first = Wire(+Primary::Control, +Secondary::Message, Be(0));
    const Bytes second = Wire(+Primary::Control, +Secondary::Message, Cat({Be(1), Be(4)}));
    for (const bool growingFile : {false, true}) {
        testsupport::TempDir dir;
        int input[2], output[2];
        ASSERT_EQ(::pipe(output), 0);
        int writer = -1;
        zdump::Io io;
        std::atomic<bool> stop{false};
        if (growingFile) {
            writer = ::open(dir.file("capture").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            io.in = ::open(dir.file("capture").c_str(), O_RDONLY);
        } else {
            ASSERT_EQ(::pipe(input), 0);
            writer = input[1];
            io.in = input[0];
        }
        io.out = ::fdopen(output[1], "w");
        io.stop = &stop;
        io.followPollMs = 1;
        int code = -1;
        std::thread tool([&] { code = zdump::Run({"decode", "--follow", "--fields"}, io); });

        // Half a message prints nothing; its end prints its line at once.
        ASSERT_EQ(::write(writer, first.data(), 20), 20);
        ASSERT_EQ(::write(writer, first.data() + 20, first.size() - 20), ssize_t(first.size() - 20));
        EXPECT_EQ(ReadLine(output[0]), "primary=0 secondary=1 length=40 code=0 payload=00000000");
        ASSERT_EQ(::write(writer, second.data(), second.size()), ssize_t(second.size()));
        EXPECT_EQ(ReadLine(output[0]), "primary=0 secondary=1 length=44 code=1 payload=0000000100000004");
        EXPECT_EQ(ReadLine(output[0]), "  slot=4");

        ::close(writer);  // a pipe ends with its writer; a followed file when told
        stop = true;
        tool.join();
        EXPECT_EQ(code, zdump::kExitOk);
        std::fclose(io.out);
        ::close(output[0]);
        ::close(io.in);
    }
}

}  // namespace
