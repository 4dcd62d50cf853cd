#pragma once

// The whiteboard page as plain values: its size and place in a window, the
// strokes drawn on it since its picture was loaded (pen and eraser items of
// line segments) with their undo and redo records, the page-turn corner and
// the rectangles the windows repaint and drop into. No Qt: the server and
// the benchmark use the same rules.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace whiteboard {

inline constexpr int kPageWidth = 634;
inline constexpr int kPageHeight = 400;
// The page's top-left corner in a window's client area.
inline constexpr int kPageLeft = 12;
inline constexpr int kPageTop = 11;
inline constexpr int kFirstPage = 1;
inline constexpr int kLastPage = 5;
// A picture larger than this either way is not decoded.
inline constexpr int kMaxPictureSide = 4096;

inline bool ValidPage(int page) {
    return page >= kFirstPage && page <= kLastPage;
}

struct PagePoint {
    int x = 0;
    int y = 0;
    bool operator==(const PagePoint&) const = default;
};

struct Segment {
    PagePoint from;
    PagePoint to;
    bool operator==(const Segment&) const = default;
};

// 0 = pen, 1 = eraser: the item kinds and the tools alike.
enum class Tool : int32_t { Pen = 0, Eraser = 1 };

struct Item {
    Tool kind = Tool::Pen;
    std::vector<Segment> segments;
    bool operator==(const Item&) const = default;
};

// 0 loading, 1 ready, 2 saving.
enum class ViewState : int32_t { Loading = 0, Ready = 1, Saving = 2 };

// A rectangle with Windows' rule: left and top inside, right and bottom not.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const Rect&) const = default;
};

// The strokes on a page and their history. A stroke is opened at a point,
// grows a segment at a time, and is recorded for undo when it ends.
class CNotepadItems {
  public:
    // Removes every item and empties both lists; an open stroke is closed.
    void Clear();

    // Opens a stroke of `kind` at `at` as the newest item.
    void BeginStroke(Tool kind, PagePoint at);
    bool StrokeOpen() const { return open_; }
    // Appends the segment from the stroke's last point to `to`; nothing (and
    // no segment) when no stroke is open.
    std::optional<Segment> ExtendStroke(PagePoint to);
    // Records the stroke for undo and empties the redo list.
    void EndStroke();

    // Take the newest record off one list, apply it, put it on the other.
    // False when the list was empty.
    bool Undo();
    bool Redo();

    const std::vector<Item>& Items() const { return items_; }
    size_t UndoCount() const { return undo_.size(); }
    size_t RedoCount() const { return redo_.size(); }
    // Segments in every item.
    size_t SegmentCount() const;

  private:
    // That an item was added at `position` of the list; the item rides
    // along while the record is on the redo list.
    struct Record {
        size_t position = 0;
        Item item;
    };
    std::vector<Item> items_;
    std::vector<Record> undo_;
    std::vector<Record> redo_;
    bool open_ = false;
    PagePoint last_;
};

// Where a click inside the page goes.
enum class CornerHit { None, Previous, Next };

// A window point inside the page: x 12..646, y 11..411.
bool InsidePage(int x, int y);
// The page-turn corner of a window point: the square x 616..646, y
// 381..411, split by its diagonal from (616, 411) to (646, 381); the upper-
// left half, diagonal included, goes back.
CornerHit HitCorner(int x, int y);
// The page a click in the corner leads to, or nothing at the ends.
std::optional<int> TurnTarget(CornerHit hit, int page);

// The window rectangle around two window points widened by 42 pixels each
// way: what a new segment repaints.
Rect SegmentRepaint(int x1, int y1, int x2, int y2);

// The area of the drawing window that takes a dragged page: its window
// rectangle shrunk by 18 left and right, 37 at the top and 61 at the bottom.
Rect DropArea(const Rect& drawWindow);
// Whether a cursor at (x, y), screen coordinates, drops the page: the
// drawing window is visible, the cursor is in its drop area and not inside
// the viewing window.
bool InDropArea(bool drawVisible, const Rect& drawWindow, const Rect& viewWindow, int x, int y);

// The page number kept in "last_accessed": at most 49 characters read as a
// decimal number; a missing file, or anything outside 1..5, is page 1.
int LastAccessedPage(const std::optional<std::string>& text);
// The file's whole content for a page ("%i", no line end).
std::string LastAccessedText(int page);

// Relative names under the data directory.
inline constexpr char kLocalNotepadFolder[] = "files/local/account/notepad";
inline constexpr char kLastAccessedName[] = "files/local/account/notepad/last_accessed";
// "files/local/account/notepad/page%i.png"
std::string LocalPageName(int page);

}  // namespace whiteboard
