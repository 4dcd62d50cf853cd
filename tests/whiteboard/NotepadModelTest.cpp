// The page model's rules in plain values: strokes with undo and redo, the
// page-turn corner, the repaint and drop rectangles, "last_accessed", the
// MsgNotepad decoder and the PNG header check the server relies on.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "whiteboard/model/NotepadFiles.h"
#include "whiteboard/model/NotepadPage.h"

namespace whiteboard {
namespace {

void Stroke(CNotepadItems& items, Tool kind, int x) {
    items.BeginStroke(kind, {x, 10});
    items.ExtendStroke({x + 5, 20});
    items.ExtendStroke({x + 9, 30});
    items.EndStroke();
}

TEST(NotepadItems, UndoTakesTheNewestStrokeAndRedoPutsItBack) {
    CNotepadItems items;
    Stroke(items, Tool::Pen, 1);
    Stroke(items, Tool::Eraser, 2);
    Stroke(items, Tool::Pen, 3);
    const std::vector<Item> three = items.Items();
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[1].kind, Tool::Eraser);
    EXPECT_EQ(three[2].segments, (std::vector<Segment>{{{3, 10}, {8, 20}}, {{8, 20}, {12, 30}}}));

    ASSERT_TRUE(items.Undo());
    ASSERT_EQ(items.Items().size(), 2u);
    EXPECT_EQ(items.Items()[1], three[1]);
    ASSERT_TRUE(items.Redo());
    EXPECT_EQ(items.Items(), three);
    EXPECT_FALSE(items.Redo()) << "an empty redo list does nothing";

    // A new stroke after an undo: redo has nothing left to do.
    ASSERT_TRUE(items.Undo());
    Stroke(items, Tool::Pen, 4);
    EXPECT_EQ(items.RedoCount(), 0u);
    EXPECT_FALSE(items.Redo());
    EXPECT_EQ(items.Items().size(), 3u);
    EXPECT_EQ(items.Items()[2].segments.front().from, (PagePoint{4, 10}));

    // Undo down to nothing, then once more: nothing happens.
    EXPECT_TRUE(items.Undo());
    EXPECT_TRUE(items.Undo());
    EXPECT_TRUE(items.Undo());
    EXPECT_FALSE(items.Undo());
    EXPECT_TRUE(items.Items().empty());
}

TEST(NotepadItems, ClearEndsAnOpenStrokeSoLaterPointsGoNowhere) {
    CNotepadItems items;
    items.BeginStroke(Tool::Pen, {1, 1});
    items.Clear();
    EXPECT_FALSE(items.ExtendStroke({5, 5}));
    items.EndStroke();
    EXPECT_TRUE(items.Items().empty());
    EXPECT_EQ(items.UndoCount(), 0u);
}

TEST(NotepadItems, UndoWaitsForAnOpenStrokeToEnd) {
    CNotepadItems items;
    Stroke(items, Tool::Pen, 1);
    items.BeginStroke(Tool::Pen, {50, 50});
    items.ExtendStroke({60, 60});
    // Undoing now would take the open stroke in place of the recorded one.
    EXPECT_FALSE(items.Undo());
    items.EndStroke();
    EXPECT_TRUE(items.Undo());
    ASSERT_EQ(items.Items().size(), 1u);
    EXPECT_EQ(items.Items()[0].segments.front().from, (PagePoint{1, 10}));
}

TEST(NotepadCorner, DiagonalGoesBackAndTheEndsStay) {
    // The corner square is x 616..646, y 381..411; its diagonal runs from
    // (616, 411) to (646, 381).
    EXPECT_EQ(HitCorner(616, 411), CornerHit::Previous);
    EXPECT_EQ(HitCorner(631, 396), CornerHit::Previous);
    EXPECT_EQ(HitCorner(646, 381), CornerHit::Previous);
    EXPECT_EQ(HitCorner(632, 396), CornerHit::Next);
    EXPECT_EQ(HitCorner(646, 411), CornerHit::Next);
    EXPECT_EQ(HitCorner(616, 381), CornerHit::Previous);
    EXPECT_EQ(HitCorner(615, 400), CornerHit::None);
    EXPECT_EQ(HitCorner(630, 380), CornerHit::None);
    EXPECT_EQ(HitCorner(647, 400), CornerHit::None);

    EXPECT_EQ(TurnTarget(CornerHit::Next, 5), std::nullopt);
    EXPECT_EQ(TurnTarget(CornerHit::Previous, 1), std::nullopt);
    EXPECT_EQ(TurnTarget(CornerHit::Next, 4), 5);
    EXPECT_EQ(TurnTarget(CornerHit::Previous, 2), 1);
    EXPECT_EQ(TurnTarget(CornerHit::None, 3), std::nullopt);

    EXPECT_TRUE(InsidePage(12, 11));
    EXPECT_TRUE(InsidePage(646, 411));
    EXPECT_FALSE(InsidePage(11, 200));
    EXPECT_FALSE(InsidePage(300, 412));
}

TEST(NotepadRects, RepaintWidensTheSegmentBy42) {
    EXPECT_EQ(SegmentRepaint(100, 50, 60, 80), (Rect{18, 8, 142, 122}));
}

TEST(NotepadRects, DropAreaEdges) {
    const Rect draw{100, 200, 800, 700};  // 700 x 500
    const Rect view{1000, 0, 1600, 400};  // well away
    EXPECT_EQ(DropArea(draw), (Rect{118, 237, 782, 639}));
    // Left and top edges are inside, right and bottom ones are not.
    EXPECT_TRUE(InDropArea(true, draw, view, 118, 237));
    EXPECT_FALSE(InDropArea(true, draw, view, 117, 300));
    EXPECT_FALSE(InDropArea(true, draw, view, 300, 236));
    EXPECT_TRUE(InDropArea(true, draw, view, 781, 638));
    EXPECT_FALSE(InDropArea(true, draw, view, 782, 300));
    EXPECT_FALSE(InDropArea(true, draw, view, 300, 639));
    // A hidden drawing window takes nothing.
    EXPECT_FALSE(InDropArea(false, draw, view, 300, 300));
    // Where the viewer lies over the drawing window, the viewer wins.
    const Rect over{250, 250, 400, 400};
    EXPECT_FALSE(InDropArea(true, draw, over, 300, 300));
    EXPECT_TRUE(InDropArea(true, draw, over, 400, 300));
}

TEST(NotepadLastAccessed, MissingOrOutOfRangeIsPageOne) {
    EXPECT_EQ(LastAccessedPage(std::nullopt), 1);
    EXPECT_EQ(LastAccessedPage(std::string("4")), 4);
    EXPECT_EQ(LastAccessedPage(std::string("5")), 5);
    EXPECT_EQ(LastAccessedPage(std::string("0")), 1);
    EXPECT_EQ(LastAccessedPage(std::string("6")), 1);
    EXPECT_EQ(LastAccessedPage(std::string("-3")), 1);
    EXPECT_EQ(LastAccessedPage(std::string("")), 1);
    EXPECT_EQ(LastAccessedPage(std::string("page")), 1);
    EXPECT_EQ(LastAccessedPage(std::string("99999999999999999999")), 1);
    // Only the first 49 characters count.
    EXPECT_EQ(LastAccessedPage(std::string(48, '0') + "3"), 3);
    EXPECT_EQ(LastAccessedPage(std::string(49, '0') + "3"), 1);
    EXPECT_EQ(LastAccessedText(3), "3");
    EXPECT_EQ(LocalPageName(2), "files/local/account/notepad/page2.png");
}

// ---- MsgNotepad ----------------------------------------------------------------

class NotepadDecode : public ::testing::Test {
  protected:
    NotepadEvent Decode(net::MessageWriter& w) {
        auto msg = w.Finish(+net::Primary::Notepad, +net::Secondary::Response);
        EXPECT_TRUE(msg);
        buf.Reset();
        std::memcpy(buf.data, msg->data, static_cast<size_t>(msg->remaining));
        buf.done = msg->remaining;
        net::bufHeader header;
        EXPECT_EQ(buf.ParseHeader(header), net::kParseComplete);
        return DecodeNotepad(buf, header);
    }
    net::MessageBuffer buf;
};

TEST_F(NotepadDecode, ReadyCodesAndPageFetches) {
    for (int32_t code : {0, 1}) {
        net::MessageWriter w(code);
        EXPECT_EQ(Decode(w).kind, NotepadEvent::Kind::Ready) << code;
    }
    net::MessageWriter fetch(notepad::kFetchPage);
    fetch.Int(3);
    const NotepadEvent e = Decode(fetch);
    EXPECT_EQ(e.kind, NotepadEvent::Kind::FetchPage);
    EXPECT_EQ(e.page, 3);
    EXPECT_TRUE(e.log.empty());

    for (int32_t page : {0, 6, -1}) {
        net::MessageWriter w(notepad::kFetchPage);
        w.Int(page);
        EXPECT_EQ(Decode(w).kind, NotepadEvent::Kind::Ignored) << page;
    }
}

TEST_F(NotepadDecode, UndecodableAndUnknownAreLogged) {
    net::MessageWriter bare(notepad::kFetchPage);
    const NotepadEvent missing = Decode(bare);
    EXPECT_EQ(missing.kind, NotepadEvent::Kind::Unusable);
    EXPECT_EQ(missing.log, "MsgNotepad.HandleResponseFetchPage(0): Unable to decode page number");

    net::MessageWriter unknown(9);
    const NotepadEvent e = Decode(unknown);
    EXPECT_EQ(e.kind, NotepadEvent::Kind::Unusable);
    EXPECT_EQ(e.log, "MsgNotepad.HandleResponse(1): Unknown response '9' received from server");
}

// ---- PNG header ----------------------------------------------------------------

std::vector<uint8_t> Header(uint32_t width, uint32_t height, uint8_t depth = 8, uint8_t colour = 2) {
    std::vector<uint8_t> b = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13,
                              'I',  'H', 'D', 'R'};
    for (uint32_t v : {width, height}) {
        for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
    }
    b.insert(b.end(), {depth, colour, 0, 0, 0});
    // CRC-32 over type and data.
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 12; i < b.size(); ++i) {
        c ^= b[i];
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    c ^= 0xFFFFFFFFu;
    for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(c >> s));
    return b;
}

TEST(NotepadPng, OnlyAWellFormedPageSizedHeaderPasses) {
    const std::vector<uint8_t> page = Header(634, 400);
    EXPECT_TRUE(IsPagePng(page.data(), page.size()));
    const std::vector<uint8_t> rgba = Header(634, 400, 8, 6);
    EXPECT_TRUE(IsPagePng(rgba.data(), rgba.size()));

    const std::vector<uint8_t> wide = Header(635, 400);
    EXPECT_FALSE(IsPagePng(wide.data(), wide.size()));
    const std::vector<uint8_t> tall = Header(634, 401);
    EXPECT_FALSE(IsPagePng(tall.data(), tall.size()));
    const std::vector<uint8_t> badDepth = Header(634, 400, 3, 2);
    EXPECT_FALSE(IsPagePng(badDepth.data(), badDepth.size()));
    EXPECT_FALSE(IsPagePng(page.data(), page.size() - 1)) << "cut short";
    EXPECT_FALSE(IsPagePng(nullptr, 0));

    std::vector<uint8_t> crc = page;
    crc.back() ^= 1;
    EXPECT_FALSE(IsPagePng(crc.data(), crc.size()));
    std::vector<uint8_t> signature = page;
    signature[1] = 'p';
    EXPECT_FALSE(IsPagePng(signature.data(), signature.size()));
    std::vector<uint8_t> length = page;
    length[11] = 14;
    EXPECT_FALSE(IsPagePng(length.data(), length.size()));
}

}  // namespace
}  // namespace whiteboard
