#include "net/Transfers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "FakeServer.h"
#include "net/Protocol.h"
#include "support/TempDir.h"
#include "support/Wait.h"

namespace {

using namespace net;
using nettest::Received;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WaitUntil;
using testsupport::WriteFile;

struct Shown {
    std::string title, text;
    MessageIcon icon;
};
struct Response {
    std::string response, details;
};

class RecordingListener : public TransferListener {
public:
    void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override {
        std::lock_guard lock(mutex);
        messages.push_back({title, text, icon});
    }
    void ShowServerResponse(const std::string& response, const std::string& details) override {
        std::lock_guard lock(mutex);
        responses.push_back({response, details});
    }
    std::mutex mutex;
    std::vector<Shown> messages;
    std::vector<Response> responses;
};

// What the hooks of one slot saw.
struct SlotLog {
    std::mutex mutex;
    std::vector<int32_t> goAheads;
    std::vector<int> progress;
    std::vector<uint32_t> completed;
    std::vector<int32_t> refused;
    std::vector<std::time_t> clocks;

    SlotHooks Hooks() {
        SlotHooks h;
        h.goAhead = [this](int32_t v) { Add(goAheads, v); };
        h.progress = [this](int percent, int32_t, int32_t) { Add(progress, percent); };
        h.completed = [this](uint32_t purpose) { Add(completed, purpose); };
        h.refused = [this](uint32_t, int32_t code) { Add(refused, code); };
        h.serverClock = [this](std::time_t t) { Add(clocks, t); };
        return h;
    }
    template <typename T>
    void Add(std::vector<T>& v, T value) {
        std::lock_guard lock(mutex);
        v.push_back(value);
    }
    size_t Completed() {
        std::lock_guard lock(mutex);
        return completed.size();
    }
};

// Takes every queued message off the connection, as the peer would read it.
std::vector<Received> Drain(Connection& connection) {
    std::vector<Received> out;
    connection.Queue().Flush([&](MessageBuffer& b) {
        Received r;
        r.buffer = std::make_unique<MessageBuffer>();
        std::memcpy(r.buffer->data, b.data, static_cast<size_t>(b.remaining));
        r.buffer->done = b.remaining;
        EXPECT_EQ(r.buffer->ParseHeader(r.header), kParseComplete);
        out.push_back(std::move(r));
        return true;
    });
    return out;
}

// Puts a server response into the receive buffer and hands it to a handler,
// as the router would during a dispatch.
void Deliver(Connection& connection, Primary primary, MessageWriter& writer,
             void (*handler)(Connection&, const bufHeader&)) {
    auto message = writer.Finish(primary, Secondary::Response);
    ASSERT_TRUE(message);
    MessageBuffer& rb = connection.ReceiveBuffer();
    rb.Reset();
    std::memcpy(rb.data, message->data, static_cast<size_t>(message->remaining));
    rb.done = message->remaining;
    bufHeader header;
    ASSERT_EQ(rb.ParseHeader(header), kParseComplete);
    handler(connection, header);
    rb.Reset();
}

void DeliverDownload(Connection& c, MessageWriter& w) {
    Deliver(c, Primary::Download, w, HandleDownloadResponse);
}
void DeliverUpload(Connection& c, MessageWriter& w) {
    Deliver(c, Primary::Upload, w, HandleUploadResponse);
}

std::string Pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + 7) & 0xFF);
    return s;
}

bool SlotFree(Connection& c, int n) {
    auto lock = c.Slot(n).Lock();
    return !c.Slot(n).Busy() && c.Slot(n).file == nullptr && !c.Slot(n).sending;
}

class TransferTest : public ::testing::Test {
protected:
    TransferTest() : conn(kKindFile, owner, Endpoints{}, Timings::Fast()) {
        hooks.SetListener(&listener);
        conn.SetTransferHooks(&hooks);
    }

    std::string Remote(const std::string& relative) {
        std::string path = PrepareTransferFile(dir.path(), relative);
        EXPECT_FALSE(path.empty()) << relative;
        return path;
    }

    TempDir dir;
    nettest::TestOwner owner;
    RecordingListener listener;
    TransferHooks hooks;
    Connection conn;
};

TEST_F(TransferTest, DownloadStartHoldingEverythingCompletesAtOnce) {
    SlotLog log;
    hooks.Register(15, log.Hooks());
    const std::string path = Remote("files/remote/listfolder/listfolder");
    ASSERT_TRUE(StartDownload(conn, 15, path, 0, {0}));
    auto sent = Drain(conn);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].header.nDescPrimary, +Primary::Download);
    EXPECT_EQ(sent[0].Code(), 9);

    MessageWriter start(download::kStart);
    start.Int(15).Int(5).Raw("hello", 5);
    DeliverDownload(conn, start);
    EXPECT_EQ(log.completed.size(), 1u);
    EXPECT_TRUE(log.progress.empty());
    EXPECT_TRUE(SlotFree(conn, 15));
    EXPECT_EQ(ReadFile(path), "hello");

    // Total 0 completes on the start message, with an empty file.
    ASSERT_TRUE(StartDownload(conn, 15, path, 0, {0}));
    MessageWriter empty(download::kStart);
    empty.Int(15).Int(0);
    DeliverDownload(conn, empty);
    EXPECT_EQ(log.completed.size(), 2u);
    EXPECT_EQ(ReadFile(path), "");

    // Bytes beyond the announced total are not written.
    ASSERT_TRUE(StartDownload(conn, 15, path, 0, {0}));
    MessageWriter over(download::kStart);
    over.Int(15).Int(3).Raw("abcdef", 6);
    DeliverDownload(conn, over);
    EXPECT_EQ(log.completed.size(), 3u);
    EXPECT_EQ(ReadFile(path), "abc");
}

TEST_F(TransferTest, DownloadAcrossDataMessagesIgnoresStrayMessages) {
    SlotLog log, other;
    hooks.Register(5, log.Hooks());
    hooks.Register(16, other.Hooks());
    const std::string path = Remote("files/remote/sessionhistory/sessionhistory");
    ASSERT_TRUE(StartDownload(conn, 5, path, 0, {"a", "b", "c"}));

    // Data before the start is not written.
    MessageWriter early(download::kData);
    early.Int(5).Raw("zz", 2);
    DeliverDownload(conn, early);

    MessageWriter start(download::kStart);
    start.Int(5).Int(10).Raw("0123", 4);
    DeliverDownload(conn, start);
    EXPECT_EQ(log.progress, std::vector<int>{40});

    for (int32_t stray : {25, -1, 16}) {  // out of range, negative, not open
        MessageWriter data(download::kData);
        data.Int(stray).Raw("XXXXXXXXXX", 10);
        DeliverDownload(conn, data);
    }
    MessageWriter strayStart(download::kStart);
    strayStart.Int(16).Int(1).Raw("Y", 1);
    DeliverDownload(conn, strayStart);
    EXPECT_TRUE(other.completed.empty());
    EXPECT_TRUE(other.progress.empty());

    MessageWriter d1(download::kData);
    d1.Int(5).Raw("456", 3);
    DeliverDownload(conn, d1);
    EXPECT_EQ(log.progress, (std::vector<int>{40, 70}));
    EXPECT_TRUE(log.completed.empty());
    MessageWriter d2(download::kData);
    d2.Int(5).Raw("789", 3);
    DeliverDownload(conn, d2);
    EXPECT_EQ(log.completed.size(), 1u);
    EXPECT_EQ(ReadFile(path), "0123456789");
    EXPECT_TRUE(SlotFree(conn, 5));
}

TEST_F(TransferTest, StartHookComesFirstAndOnlyForAnOpenSlot) {
    std::vector<std::string> seen;
    SlotHooks h;
    h.started = [&](uint32_t purpose) { seen.push_back("started " + std::to_string(purpose)); };
    h.progress = [&](int percent, int32_t, int32_t) { seen.push_back(std::to_string(percent)); };
    h.completed = [&](uint32_t) { seen.push_back("completed"); };
    hooks.Register(5, h);
    const std::string path = Remote("files/remote/sessionhistory/sessionhistory");

    // A start for a slot that asked for nothing (or was cancelled) is no start.
    MessageWriter stray(download::kStart);
    stray.Int(5).Int(4).Raw("ab", 2);
    DeliverDownload(conn, stray);
    EXPECT_TRUE(seen.empty());

    ASSERT_TRUE(StartDownload(conn, 5, path, 3, {"ABCDEF", "logs", "a.txt"}));
    MessageWriter start(download::kStart);
    start.Int(5).Int(4).Raw("ab", 2);
    DeliverDownload(conn, start);
    MessageWriter data(download::kData);
    data.Int(5).Raw("cd", 2);
    DeliverDownload(conn, data);
    EXPECT_EQ(seen, (std::vector<std::string>{"started 3", "50", "completed"}));

    // A start that holds the whole file still starts before it completes.
    seen.clear();
    ASSERT_TRUE(StartDownload(conn, 5, path, 0, {"ABCDEF", "logs", "a.txt"}));
    MessageWriter whole(download::kStart);
    whole.Int(5).Int(2).Raw("ab", 2);
    DeliverDownload(conn, whole);
    EXPECT_EQ(seen, (std::vector<std::string>{"started 0", "completed"}));
}

TEST_F(TransferTest, PollListStartCarriesTheServerClock) {
    SlotLog log;
    hooks.Register(8, log.Hooks());
    ASSERT_TRUE(StartDownload(conn, 8, Remote("files/remote/poll/supported"), 0, {"ABCDEF", 1}));
    MessageWriter start(download::kStart);
    start.Int(8).Int(2);
    for (int32_t v : {124, 2, 15, 13, 30, 5, 0}) start.Int(v);
    start.Raw("ok", 2);
    DeliverDownload(conn, start);

    std::tm tm{};
    tm.tm_year = 124;
    tm.tm_mon = 2;
    tm.tm_mday = 15;
    tm.tm_hour = 13;
    tm.tm_min = 30;
    tm.tm_sec = 5;
    tm.tm_isdst = 0;
    EXPECT_EQ(log.clocks, std::vector<std::time_t>{std::mktime(&tm)});
    EXPECT_EQ(log.completed.size(), 1u);
}

TEST_F(TransferTest, BusySlotRequestIsNotSent) {
    const std::string page = Remote(RemoteNotepadPageName("alice", 2));
    ASSERT_TRUE(StartDownload(conn, 3, page, 1, {"alice", 2, 0}));
    EXPECT_FALSE(StartDownload(conn, 3, page, 0, {"alice", 3, 0}));
    auto sent = Drain(conn);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Code(), 1);
    EXPECT_EQ(conn.Slot(3).purpose, 1u);
    // Slots of the other direction, or of no purpose, take no request.
    EXPECT_FALSE(StartDownload(conn, 2, page, 0, {}));
    EXPECT_FALSE(StartDownload(conn, 4, page, 0, {}));
    EXPECT_FALSE(StartUpload(conn, 3, page, {}));
    EXPECT_TRUE(Drain(conn).empty());
}

TEST_F(TransferTest, CancelClosesTheSlotAndSendsCancelTransfer) {
    ASSERT_TRUE(StartDownload(conn, 24, dir.file("attachment.bin"), 0, {"id", 1, 2, 0}));
    ASSERT_TRUE(CancelTransfer(conn, 24));
    EXPECT_TRUE(SlotFree(conn, 24));
    auto sent = Drain(conn);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].header.nDescPrimary, +Primary::Control);
    auto reader = sent[1].Reader();
    int32_t slot = -1;
    EXPECT_EQ(reader.Code(), control::kCancelTransfer);
    ASSERT_TRUE(reader.Int(0, 24, slot));
    EXPECT_EQ(slot, 24);
}

TEST_F(TransferTest, UploadGoesOutInChunksOf4096) {
    SlotLog log;
    hooks.Register(2, log.Hooks());
    const std::string content = Pattern(10000);
    const std::string path = dir.file("page.png");
    ASSERT_TRUE(WriteFile(path, content));
    ASSERT_TRUE(StartUpload(conn, 2, path, {3}));
    auto request = Drain(conn);
    ASSERT_EQ(request.size(), 1u);
    EXPECT_EQ(request[0].header.nDescPrimary, +Primary::Upload);
    auto reader = request[0].Reader();
    int32_t size = 0, page = 0;
    EXPECT_EQ(reader.Code(), 1);
    ASSERT_TRUE(reader.Int(-1, -1, size));
    ASSERT_TRUE(reader.Int(-1, -1, page));
    EXPECT_EQ(size, 10000);
    EXPECT_EQ(page, 3);

    MessageWriter goAhead(upload::kGoAhead);
    goAhead.Int(2);
    DeliverUpload(conn, goAhead);
    EXPECT_EQ(log.goAheads, std::vector<int32_t>{0});
    EXPECT_TRUE(conn.Slot(2).sending);
    EXPECT_TRUE(SendNextChunk(conn, 2));
    EXPECT_TRUE(log.completed.empty());
    EXPECT_TRUE(SendNextChunk(conn, 2));
    EXPECT_EQ(log.completed.size(), 1u);
    EXPECT_EQ(log.progress, (std::vector<int>{40, 81}));
    EXPECT_TRUE(SlotFree(conn, 2));
    EXPECT_TRUE(SendNextChunk(conn, 2));  // nothing more to send

    auto chunks = Drain(conn);
    ASSERT_EQ(chunks.size(), 3u);
    std::string joined;
    const int sizes[] = {4096, 4096, 1808};
    for (int i = 0; i < 3; ++i) {
        const Received& c = chunks[static_cast<size_t>(i)];
        EXPECT_EQ(c.header.nDescPrimary, +Primary::Upload);
        EXPECT_EQ(c.header.nDescSecondary, +Secondary::Response);
        EXPECT_EQ(c.header.nMsgLength, 44 + sizes[i]);
        auto r = c.Reader();
        int32_t slot = -1;
        EXPECT_EQ(r.Code(), upload::kChunk);
        ASSERT_TRUE(r.Int(0, 24, slot));
        EXPECT_EQ(slot, 2);
        joined.append(reinterpret_cast<const char*>(r.Rest()), static_cast<size_t>(r.RestSize()));
    }
    EXPECT_EQ(joined, content);
}

TEST_F(TransferTest, PollStoredWithoutAFileFreesThePollSlot) {
    int stored = 0;
    SlotHooks h;
    h.pollStored = [&] { ++stored; };
    hooks.Register(6, h);
    const std::string path = dir.file("created");
    ASSERT_TRUE(WriteFile(path, Pattern(1)));
    // A schedule-only change: the server stores it and never sends a go-ahead.
    ASSERT_TRUE(StartUpload(conn, 6, path, {int32_t(1), int32_t(4), int32_t(0)}));
    EXPECT_FALSE(StartUpload(conn, 6, path, {int32_t(1), int32_t(4), int32_t(0)}));
    MessageWriter done(upload::kPollStored);
    DeliverUpload(conn, done);
    EXPECT_TRUE(SlotFree(conn, 6));
    EXPECT_EQ(stored, 1);
    EXPECT_TRUE(listener.responses.empty());
    EXPECT_TRUE(StartUpload(conn, 6, path, {int32_t(1), int32_t(4), int32_t(0)}))
        << "the next poll upload is not refused as busy";
}

TEST_F(TransferTest, RefusedPageUploadFreesTheSlotForTheNext) {
    SlotLog log;
    hooks.Register(2, log.Hooks());
    const std::string path = dir.file("page.png");
    ASSERT_TRUE(WriteFile(path, Pattern(100)));
    ASSERT_TRUE(StartUpload(conn, 2, path, {0}));
    EXPECT_FALSE(StartUpload(conn, 2, path, {1}));

    MessageWriter refused(upload::kRefusedNotepadTooLarge);
    refused.Str("limit 64 KiB");
    DeliverUpload(conn, refused);
    EXPECT_TRUE(SlotFree(conn, 2));
    ASSERT_EQ(listener.responses.size(), 1u);
    EXPECT_EQ(listener.responses[0].response, "The size of the notepad page is too large");
    EXPECT_EQ(listener.responses[0].details, "limit 64 KiB");
    EXPECT_EQ(log.refused, std::vector<int32_t>{upload::kRefusedNotepadTooLarge});
    ASSERT_TRUE(StartUpload(conn, 2, path, {1}));

    // Undecodable details: the slot is closed, nothing is shown, and the
    // slot's owner still hears the upload ended.
    MessageWriter bare(upload::kRefusedNotepadTooLarge);
    bare.Int(0);
    DeliverUpload(conn, bare);
    EXPECT_TRUE(SlotFree(conn, 2));
    EXPECT_EQ(listener.responses.size(), 1u);
    EXPECT_EQ(log.refused.size(), 2u);

    // Each refusal closes its own slot.
    ASSERT_TRUE(StartUpload(conn, 18, path, {"to"}));
    ASSERT_TRUE(StartUpload(conn, 0, path, {"/", "a.txt"}));
    MessageWriter attachments(upload::kRefusedTooManyAttachments);
    attachments.Str("x");
    DeliverUpload(conn, attachments);
    EXPECT_TRUE(SlotFree(conn, 18));
    EXPECT_FALSE(SlotFree(conn, 0));
    EXPECT_EQ(listener.responses.back().response,
              "Too many attachments; go to the outbox folder and delete a message that has an "
              "attachment");
}

TEST_F(TransferTest, EmptyOrShrinkingFileEndsItsUpload) {
    SlotLog log;
    hooks.Register(17, log.Hooks());
    const std::string empty = dir.file("empty");
    ASSERT_TRUE(WriteFile(empty, ""));
    ASSERT_TRUE(StartUpload(conn, 17, empty, {}));
    Drain(conn);
    MessageWriter goAhead(upload::kGoAhead);
    goAhead.Int(17);
    DeliverUpload(conn, goAhead);
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_EQ(listener.messages[0].text, kFailedToReadText);
    EXPECT_TRUE(SlotFree(conn, 17));
    EXPECT_TRUE(Drain(conn).empty());
    EXPECT_TRUE(log.completed.empty());

    // A file cut short after the request: no short or stale chunk goes out.
    const std::string path = dir.file("shrinks");
    ASSERT_TRUE(WriteFile(path, Pattern(10000)));
    ASSERT_TRUE(StartUpload(conn, 17, path, {}));
    MessageWriter again(upload::kGoAhead);
    again.Int(17);
    DeliverUpload(conn, again);
    ASSERT_EQ(::truncate(path.c_str(), 5000), 0);
    Drain(conn);
    EXPECT_FALSE(SendNextChunk(conn, 17));
    EXPECT_TRUE(SlotFree(conn, 17));
    EXPECT_TRUE(Drain(conn).empty());
}

TEST_F(TransferTest, GoAheadForAnUploadNeverRequestedIsIgnored) {
    SlotLog log;
    hooks.Register(9, log.Hooks());
    for (int32_t slot : {9, 4, 7}) {
        MessageWriter goAhead(upload::kGoAhead);
        goAhead.Int(slot);
        DeliverUpload(conn, goAhead);
    }
    EXPECT_TRUE(log.goAheads.empty());
    EXPECT_TRUE(listener.messages.empty());
    EXPECT_TRUE(Drain(conn).empty());

    // Slot 6's go-ahead carries the integer the poll window keeps.
    SlotLog poll;
    hooks.Register(6, poll.Hooks());
    const std::string path = dir.file("created");
    ASSERT_TRUE(WriteFile(path, Pattern(10)));
    ASSERT_TRUE(StartUpload(conn, 6, path, {"ABCDEF"}));
    MessageWriter goAhead(upload::kGoAhead);
    goAhead.Int(6).Int(1234);
    DeliverUpload(conn, goAhead);
    EXPECT_EQ(poll.goAheads, std::vector<int32_t>{1234});
    EXPECT_EQ(poll.completed.size(), 1u);
}

TEST_F(TransferTest, DownloadRefusalsShowTheirTexts) {
    SlotLog history;
    hooks.Register(11, history.Hooks());
    ASSERT_TRUE(StartDownload(conn, 11, Remote("files/remote/connhistory/connhistory"), 0, {"u"}));
    MessageWriter refused(download::kRefused);
    refused.Int(11);
    DeliverDownload(conn, refused);
    EXPECT_TRUE(SlotFree(conn, 11));
    ASSERT_EQ(listener.messages.size(), 1u);
    EXPECT_EQ(listener.messages[0].title, "Error");
    EXPECT_EQ(listener.messages[0].text,
              "Connection history is not currently available for viewing");
    EXPECT_EQ(listener.messages[0].icon, MessageIcon::Information);
    EXPECT_EQ(history.refused, std::vector<int32_t>{download::kRefused});

    ASSERT_TRUE(StartDownload(conn, 1, dir.file("doc"), 0, {"bob", "/", "a.txt"}));
    MessageWriter document(download::kRefused);
    document.Int(1).Str("locked");
    DeliverDownload(conn, document);
    ASSERT_EQ(listener.responses.size(), 1u);
    EXPECT_EQ(listener.responses[0].response, "Unable to retrieve document");
    EXPECT_EQ(listener.responses[0].details, "locked");

    MessageWriter attachment(download::kRefused);
    attachment.Int(24);
    DeliverDownload(conn, attachment);
    EXPECT_EQ(listener.responses.back().response, "Attachment deleted by sender");
    EXPECT_EQ(listener.responses.back().details,
              "File containing the attachment could not be found");

    MessageWriter missing(download::kAccountNotFound);
    missing.Int(3);
    DeliverDownload(conn, missing);
    EXPECT_EQ(listener.responses.back().response,
              "An account with the specified username could not be found");
    EXPECT_EQ(listener.responses.back().details,
              "Unable to locate the containing folder for the specified username");
    EXPECT_EQ(listener.responses.size(), 3u);
}

TEST_F(TransferTest, RepeatedStartCountsFromItsOwnBytes) {
    SlotLog log;
    hooks.Register(23, log.Hooks());
    const std::string path = Remote("files/remote/message/message");
    ASSERT_TRUE(StartDownload(conn, 23, path, 0, {"id"}));
    MessageWriter first(download::kStart);
    first.Int(23).Int(10).Raw("AAAAAAAA", 8);
    DeliverDownload(conn, first);
    // The server starts again (a re-request crossed the first start).
    MessageWriter again(download::kStart);
    again.Int(23).Int(10).Raw("01234567", 8);
    DeliverDownload(conn, again);
    MessageWriter rest(download::kData);
    rest.Int(23).Raw("89", 2);
    DeliverDownload(conn, rest);
    EXPECT_EQ(log.completed.size(), 1u);
    EXPECT_EQ(ReadFile(path), "0123456789");
    EXPECT_TRUE(SlotFree(conn, 23));
}

TEST_F(TransferTest, DownloadsAppearUnderTheirNameOnlyWhenComplete) {
    SlotLog log;
    hooks.Register(13, log.Hooks());
    const std::string path = Remote("files/remote/listaccount/listaccount");
    ASSERT_TRUE(WriteFile(path, "old list"));

    // Cancelled halfway: the old file stays as it was, and no partial file
    // is left beside it.
    ASSERT_TRUE(StartDownload(conn, 13, path, 1, {0}));
    MessageWriter start(download::kStart);
    start.Int(13).Int(8).Raw("new ", 4);
    DeliverDownload(conn, start);
    EXPECT_EQ(ReadFile(path), "old list");
    ASSERT_TRUE(CancelTransfer(conn, 13));
    EXPECT_EQ(ReadFile(path), "old list");
    const auto folder = std::filesystem::path(path).parent_path();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);

    // Complete: replaced whole.
    ASSERT_TRUE(StartDownload(conn, 13, path, 1, {0}));
    MessageWriter again(download::kStart);
    again.Int(13).Int(8).Raw("new ", 4);
    DeliverDownload(conn, again);
    MessageWriter data(download::kData);
    data.Int(13).Raw("list", 4);
    DeliverDownload(conn, data);
    EXPECT_EQ(log.completed, std::vector<uint32_t>{1});
    EXPECT_EQ(ReadFile(path), "new list");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder),
                            std::filesystem::directory_iterator()),
              1);

    // Refused: the file is left empty, as the request always left it for
    // the readers that open it on a refusal.
    ASSERT_TRUE(StartDownload(conn, 13, path, 1, {0}));
    MessageWriter refused(download::kRefused);
    refused.Int(13);
    DeliverDownload(conn, refused);
    EXPECT_EQ(log.refused, std::vector<int32_t>{download::kRefused});
    EXPECT_TRUE(testsupport::FileExists(path));
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_TRUE(SlotFree(conn, 13));
}

TEST_F(TransferTest, UploadRefusalWithUndecodableDetailsShowsNothingButEndsTheUpload) {
    SlotLog log;
    hooks.Register(6, log.Hooks());
    const std::string path = dir.file("poll");
    ASSERT_TRUE(WriteFile(path, Pattern(100)));
    ASSERT_TRUE(StartUpload(conn, 6, path, {"abcdef"}));
    MessageWriter refused(upload::kRefusedPollTooLarge);
    refused.Int(0);  // a count of 0 where the details need 1..512
    DeliverUpload(conn, refused);
    EXPECT_TRUE(SlotFree(conn, 6));
    // The slot's owner hears the upload is over (a window waiting for it
    // would wait for good); nothing is shown.
    EXPECT_EQ(log.refused, std::vector<int32_t>{upload::kRefusedPollTooLarge});
    EXPECT_TRUE(listener.responses.empty());

    ASSERT_TRUE(StartUpload(conn, 6, path, {"abcdef"}));
    MessageWriter decodable(upload::kRefusedPollTooLarge);
    decodable.Str("limit 64 KiB");
    DeliverUpload(conn, decodable);
    EXPECT_EQ(log.refused,
              (std::vector<int32_t>{upload::kRefusedPollTooLarge, upload::kRefusedPollTooLarge}));
    ASSERT_EQ(listener.responses.size(), 1u);
    EXPECT_EQ(listener.responses[0].response, "Poll file is too large");
    EXPECT_EQ(listener.responses[0].details, "limit 64 KiB");
}

TEST_F(TransferTest, DownloadProgressIsRationedToWholePercents) {
    SlotLog log;
    hooks.Register(1, log.Hooks());
    const std::string path = Remote("files/remote/document/document");
    ASSERT_TRUE(StartDownload(conn, 1, path, 0, {"a", "b"}));
    // 4000 bytes in 4-byte pieces: ten pieces to each whole percent.
    constexpr int kTotal = 4000;
    MessageWriter start(download::kStart);
    start.Int(1).Int(kTotal).Raw("abcd", 4);
    DeliverDownload(conn, start);
    for (int done = 4; done < kTotal; done += 4) {
        MessageWriter data(download::kData);
        data.Int(1).Raw("abcd", 4);
        DeliverDownload(conn, data);
    }
    EXPECT_EQ(log.completed.size(), 1u);
    EXPECT_EQ(ReadFile(path).size(), static_cast<size_t>(kTotal));
    // One call per percent (a stall of the test may add a repeat or two).
    EXPECT_GE(log.progress.size(), 99u);
    EXPECT_LT(log.progress.size(), 120u);
    EXPECT_TRUE(std::is_sorted(log.progress.begin(), log.progress.end()));
    EXPECT_EQ(log.progress.back(), 99);
}

TEST(TransferFilesTest, LocalNamesNeverLeaveTheDataDirectory) {
    for (const char* bad : {"", ".", "..", "a/b", "a\\b", "../x"}) {
        EXPECT_FALSE(IsSafePathName(bad)) << bad;
        EXPECT_TRUE(RemoteNotepadPageName(bad, 1).empty()) << bad;
    }
    EXPECT_FALSE(IsSafePathName(std::string_view("a\0b", 3)));
    EXPECT_EQ(RemoteNotepadPageName("alice", 4), "files/remote/accounts/alice/notepad/page4.png");

    TempDir dir;
    EXPECT_TRUE(CreateTransferDirectories(dir.path(), "files/remote/listfolder"));
    EXPECT_TRUE(CreateTransferDirectories(dir.path(), "files/remote/listfolder"));
    EXPECT_FALSE(CreateTransferDirectories(dir.path(), "files/../../escape"));
    EXPECT_FALSE(CreateTransferDirectories(dir.path(), "files//x"));
    EXPECT_FALSE(testsupport::FileExists(dir.path() + "/../escape"));
    const std::string path = PrepareTransferFile(dir.path(), "files/local/account/poll/take");
    EXPECT_EQ(path, dir.path() + "/files/local/account/poll/take");
    EXPECT_TRUE(WriteFile(path, "x"));
    EXPECT_TRUE(PrepareTransferFile(dir.path(), "files/local/..").empty());
    // A file where a directory level should be is refused.
    EXPECT_FALSE(CreateTransferDirectories(dir.path(), "files/local/account/poll/take"));
}

TEST(TransferFilesTest, ConnectionThatNeverRanClosesItsOpenSlotFiles) {
    TempDir dir;
    int fd = -1;
    {
        nettest::TestOwner owner;
        Connection conn(kKindFile, owner, Endpoints{}, Timings::Fast());
        ASSERT_TRUE(StartDownload(conn, 3, dir.file("page"), 0, {"ann", 1, 0}));
        auto lock = conn.Slot(3).Lock();
        ASSERT_NE(conn.Slot(3).file, nullptr);
        fd = ::fileno(conn.Slot(3).file);
    }
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

TEST(TransferFilesTest, SlotTableAndProgress) {
    EXPECT_EQ(UploadRequestCode(0), 0);
    EXPECT_EQ(UploadRequestCode(21), 8);
    EXPECT_EQ(UploadRequestCode(1), -1);
    EXPECT_EQ(DownloadRequestCode(7), 4);
    EXPECT_EQ(DownloadRequestCode(8), 3);
    EXPECT_EQ(DownloadRequestCode(24), 14);
    EXPECT_EQ(DownloadRequestCode(4), -1);
    EXPECT_EQ(DownloadRequestCode(25), -1);
    EXPECT_EQ(ProgressPercent(999, 1000), 99);
    EXPECT_EQ(ProgressPercent(2000000000, 2100000000), 95);
}

// ---- Over a real connection ------------------------------------------------

class LoopbackTransferTest : public ::testing::Test {
protected:
    LoopbackTransferTest() {
        owner.onDispatch = [](Connection& c, const bufHeader& h) {
            if (h.nDescPrimary == +Primary::Upload) HandleUploadResponse(c, h);
            if (h.nDescPrimary == +Primary::Download) HandleDownloadResponse(c, h);
        };
        Endpoints e;
        e.filePort = server.Port();
        conn = std::make_unique<Connection>(kKindFile, owner, e, Timings::Fast());
        hooks.SetListener(&listener);
        conn->SetTransferHooks(&hooks);
        conn->StartServer("127.0.0.1");
        Received login;
        EXPECT_TRUE(server.Accept());
        EXPECT_TRUE(server.Read(login));
    }
    ~LoopbackTransferTest() override { conn->Shutdown(); }

    TempDir dir;
    nettest::FakeServer server;
    nettest::TestOwner owner;
    RecordingListener listener;
    TransferHooks hooks;
    std::unique_ptr<Connection> conn;
};

TEST_F(LoopbackTransferTest, UploadChunksFlowFromTheNetworkThread) {
    SlotLog log;
    hooks.Register(19, log.Hooks());
    const std::string content = Pattern(10000);
    const std::string path = dir.file("message");
    ASSERT_TRUE(WriteFile(path, content));
    ASSERT_TRUE(StartUpload(*conn, 19, path, {"subject"}));
    Received request;
    ASSERT_TRUE(server.ReadPrimary(Primary::Upload, request));
    EXPECT_EQ(request.Code(), 7);

    MessageWriter goAhead(upload::kGoAhead);
    goAhead.Int(19);
    ASSERT_TRUE(server.Send(*nettest::Response(Primary::Upload, goAhead)));
    std::string joined;
    for (int size : {4096, 4096, 1808}) {
        Received chunk;
        ASSERT_TRUE(server.ReadPrimary(Primary::Upload, chunk));
        EXPECT_EQ(chunk.header.nMsgLength, 44 + size);
        auto r = chunk.Reader();
        int32_t slot = -1;
        ASSERT_TRUE(r.Int(0, 24, slot));
        joined.append(reinterpret_cast<const char*>(r.Rest()), static_cast<size_t>(r.RestSize()));
    }
    EXPECT_EQ(joined, content);
    ASSERT_TRUE(WaitUntil([&] { return log.Completed() == 1; }));
    EXPECT_EQ(conn->State(), kStateConnected);
}

TEST_F(LoopbackTransferTest, UploadProgressIsRationedAndTheCompletionComesLastOnce) {
    std::mutex mutex;
    std::vector<int> events;  // percents, then -1 for the completion
    SlotHooks h;
    h.progress = [&](int percent, int32_t, int32_t) {
        std::lock_guard lock(mutex);
        events.push_back(percent);
    };
    h.completed = [&](uint32_t) {
        std::lock_guard lock(mutex);
        events.push_back(-1);
    };
    hooks.Register(21, h);
    // 1 MiB: 256 chunks, 2.56 to each whole percent.
    const std::string content = Pattern(1 << 20);
    const std::string path = dir.file("actions");
    ASSERT_TRUE(WriteFile(path, content));
    ASSERT_TRUE(StartUpload(*conn, 21, path, {}));
    Received request;
    ASSERT_TRUE(server.ReadPrimary(Primary::Upload, request));
    MessageWriter goAhead(upload::kGoAhead);
    goAhead.Int(21);
    ASSERT_TRUE(server.Send(*nettest::Response(Primary::Upload, goAhead)));
    size_t got = 0;
    Received chunk;
    while (got < content.size() && server.ReadPrimary(Primary::Upload, chunk)) {
        got += static_cast<size_t>(chunk.header.nMsgLength - 44);
    }
    ASSERT_EQ(got, content.size());
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(mutex);
        return !events.empty() && events.back() == -1;
    }));
    std::lock_guard lock(mutex);
    EXPECT_EQ(std::count(events.begin(), events.end(), -1), 1);
    events.pop_back();
    EXPECT_GE(events.size(), 99u);
    EXPECT_LT(events.size(), 140u);  // one per percent, a stall or two aside
    EXPECT_TRUE(std::is_sorted(events.begin(), events.end()));
}

TEST_F(LoopbackTransferTest, DownloadDataIsWrittenOnTheNetworkThread) {
    std::mutex mutex;
    std::vector<int> events;  // percents, then -1 for the completion
    SlotHooks h;
    h.progress = [&](int percent, int32_t, int32_t) {
        std::lock_guard lock(mutex);
        events.push_back(percent);
    };
    h.completed = [&](uint32_t) {
        std::lock_guard lock(mutex);
        events.push_back(-1);
    };
    hooks.Register(15, h);
    const std::string path = PrepareTransferFile(dir.path(), "files/remote/listfolder/listfolder");
    ASSERT_TRUE(StartDownload(*conn, 15, path, 0, {0}));
    Received request;
    ASSERT_TRUE(server.ReadPrimary(Primary::Download, request));

    const std::string content = Pattern(300000);
    MessageWriter start(download::kStart);
    start.Int(15).Int(static_cast<int32_t>(content.size())).Raw(content.data(), 1000);
    std::string stream = nettest::WireBytes(*nettest::Response(Primary::Download, start));
    for (size_t at = 1000; at < content.size(); at += 2999) {
        MessageWriter data(download::kData);
        const size_t n = std::min<size_t>(2999, content.size() - at);
        data.Int(15).Raw(content.data() + at, static_cast<int>(n));
        stream += nettest::WireBytes(*nettest::Response(Primary::Download, data));
    }
    ASSERT_TRUE(server.SendRaw(stream));
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard lock(mutex);
        return !events.empty() && events.back() == -1;
    }));
    EXPECT_EQ(ReadFile(path), content);
    EXPECT_TRUE(SlotFree(*conn, 15));
    // Only the start went through the user-interface side.
    EXPECT_EQ(owner.Dispatched(), 1);
    std::lock_guard lock(mutex);
    EXPECT_EQ(std::count(events.begin(), events.end(), -1), 1);
    EXPECT_TRUE(std::is_sorted(events.begin(), events.end() - 1));
    EXPECT_LE(events.size(), 101u);
}

TEST_F(LoopbackTransferTest, CancelWhileDataPoursInLeavesNothingBehind) {
    const std::string path = PrepareTransferFile(dir.path(), "files/remote/attachment/file");
    ASSERT_TRUE(StartDownload(*conn, 24, path, 0, {"id", 1, 2, 0}));
    Received request;
    ASSERT_TRUE(server.ReadPrimary(Primary::Download, request));
    MessageWriter start(download::kStart);
    start.Int(24).Int(1 << 30).Raw("x", 1);
    ASSERT_TRUE(server.Send(*nettest::Response(Primary::Download, start)));
    ASSERT_TRUE(WaitUntil([&] { return owner.Dispatched() == 1; }));
    const std::string piece = Pattern(30000);
    std::thread pour([&] {
        for (int i = 0; i < 200; ++i) {
            MessageWriter data(download::kData);
            data.Int(24).Raw(piece.data(), static_cast<int>(piece.size()));
            if (!server.Send(*nettest::Response(Primary::Download, data))) break;
        }
    });
    ASSERT_TRUE(WaitUntil([&] {
        auto lock = conn->Slot(24).Lock();
        return conn->Slot(24).downloadReceived > 100000;
    }));
    ASSERT_TRUE(CancelTransfer(*conn, 24));
    pour.join();
    EXPECT_TRUE(SlotFree(*conn, 24));
    EXPECT_FALSE(testsupport::FileExists(path));
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(path).parent_path()));
}

TEST_F(LoopbackTransferTest, UnreadableChunkOnTheNetworkThreadEndsTheConnection) {
    const std::string path = dir.file("ballot");
    ASSERT_TRUE(WriteFile(path, Pattern(5000)));
    ASSERT_TRUE(StartUpload(*conn, 9, path, {"s", "o", 1, 2}));
    Received request;
    ASSERT_TRUE(server.ReadPrimary(Primary::Upload, request));
    // The first chunk still reads; the second, on the network thread, cannot.
    ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
    MessageWriter goAhead(upload::kGoAhead);
    goAhead.Int(9);
    ASSERT_TRUE(server.Send(*nettest::Response(Primary::Upload, goAhead)));

    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty(); }));
    EXPECT_EQ(owner.ReadFailures(), std::vector<int>{9});
    EXPECT_EQ(owner.Ends()[0].state, kStateConnected);
    EXPECT_TRUE(SlotFree(*conn, 9));
}

TEST_F(LoopbackTransferTest, DropMidTransferClosesEverySlot) {
    const std::string list =
        PrepareTransferFile(dir.path(), "files/remote/listmessage/listmessage");
    ASSERT_TRUE(StartDownload(*conn, 16, list, 0, {0, 1, "Inbox"}));
    const std::string upload = dir.file("listmessage");
    ASSERT_TRUE(WriteFile(upload, Pattern(20000)));
    ASSERT_TRUE(StartUpload(*conn, 21, upload, {}));
    Received request;
    ASSERT_TRUE(server.ReadPrimary(Primary::Download, request));
    ASSERT_TRUE(server.ReadPrimary(Primary::Upload, request));

    MessageWriter start(download::kStart);
    start.Int(16).Int(100).Raw("partial", 7);
    ASSERT_TRUE(server.Send(*nettest::Response(Primary::Download, start)));
    ASSERT_TRUE(WaitUntil([&] { return owner.Dispatched() == 1; }));
    server.CloseClient();

    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty(); }));
    for (int n = 0; n < kSlotCount; ++n) EXPECT_TRUE(SlotFree(*conn, n)) << n;
    // Nothing of the cut download is left, under its name or any other.
    EXPECT_FALSE(testsupport::FileExists(list));
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(list).parent_path()));
}

TEST_F(LoopbackTransferTest, RequestMadeAfterADropDoesNotHoldItsSlotIntoTheNextRun) {
    server.CloseClient();
    ASSERT_TRUE(WaitUntil([&] { return !owner.Ends().empty() && conn->State() == kStateIdle; }));
    // A refresh that raced the drop: its request waits on the ended connection.
    const std::string list = PrepareTransferFile(dir.path(), "files/remote/poll/supported");
    ASSERT_TRUE(StartDownload(*conn, 8, list, 0, {"abcdef", 0}));

    conn->StartServer("127.0.0.1");
    ASSERT_TRUE(server.Accept());
    Received login;
    ASSERT_TRUE(server.Read(login));
    // That request was discarded with the queue; its slot takes the next one.
    ASSERT_TRUE(StartDownload(*conn, 8, list, 0, {"abcdef", 0}));
    Received request;
    ASSERT_TRUE(server.ReadPrimary(Primary::Download, request));
    EXPECT_EQ(request.Code(), 3);
    EXPECT_TRUE(server.Silent(std::chrono::milliseconds(50)));
}

}  // namespace
