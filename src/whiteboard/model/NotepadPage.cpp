#include "whiteboard/model/NotepadPage.h"

#include <cstdio>
#include <cstdlib>

namespace whiteboard {

void CNotepadItems::Clear() {
    items_.clear();
    undo_.clear();
    redo_.clear();
    open_ = false;
}

void CNotepadItems::BeginStroke(Tool kind, PagePoint at) {
    items_.push_back(Item{kind, {}});
    open_ = true;
    last_ = at;
}

std::optional<Segment> CNotepadItems::ExtendStroke(PagePoint to) {
    if (!open_ || items_.empty()) return std::nullopt;
    const Segment s{last_, to};
    items_.back().segments.push_back(s);
    last_ = to;
    return s;
}

void CNotepadItems::EndStroke() {
    if (!open_ || items_.empty()) {
        open_ = false;
        return;
    }
    open_ = false;
    undo_.push_back(Record{items_.size() - 1, {}});
    redo_.clear();
}

bool CNotepadItems::Undo() {
    // An open stroke is the newest item; its record does not exist yet, so
    // the record's position would no longer name the item it was made for.
    if (undo_.empty() || open_) return false;
    Record r = std::move(undo_.back());
    undo_.pop_back();
    if (r.position >= items_.size()) return false;
    r.item = std::move(items_[r.position]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(r.position));
    redo_.push_back(std::move(r));
    return true;
}

bool CNotepadItems::Redo() {
    if (redo_.empty() || open_) return false;
    Record r = std::move(redo_.back());
    redo_.pop_back();
    if (r.position > items_.size()) return false;
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(r.position), std::move(r.item));
    r.item = Item{};
    undo_.push_back(std::move(r));
    return true;
}

size_t CNotepadItems::SegmentCount() const {
    size_t n = 0;
    for (const Item& item : items_) n += item.segments.size();
    return n;
}

bool InsidePage(int x, int y) {
    return x >= kPageLeft && x <= kPageLeft + kPageWidth && y >= kPageTop &&
           y <= kPageTop + kPageHeight;
}

CornerHit HitCorner(int x, int y) {
    constexpr int kLeft = 616, kTop = 381, kSide = 30;
    if (x < kLeft || x > kLeft + kSide || y < kTop || y > kTop + kSide) return CornerHit::None;
    return (x - kLeft) + (y - kTop) <= kSide ? CornerHit::Previous : CornerHit::Next;
}

std::optional<int> TurnTarget(CornerHit hit, int page) {
    if (hit == CornerHit::Previous && page > kFirstPage) return page - 1;
    if (hit == CornerHit::Next && page < kLastPage) return page + 1;
    return std::nullopt;
}

Rect SegmentRepaint(int x1, int y1, int x2, int y2) {
    constexpr int kWiden = 42;
    const int left = x1 < x2 ? x1 : x2;
    const int right = x1 < x2 ? x2 : x1;
    const int top = y1 < y2 ? y1 : y2;
    const int bottom = y1 < y2 ? y2 : y1;
    return Rect{left - kWiden, top - kWiden, right + kWiden, bottom + kWiden};
}

Rect DropArea(const Rect& w) {
    return Rect{w.left + 18, w.top + 37, w.right - 18, w.bottom - 61};
}

bool InDropArea(bool drawVisible, const Rect& drawWindow, const Rect& viewWindow, int x, int y) {
    return drawVisible && DropArea(drawWindow).Contains(x, y) && !viewWindow.Contains(x, y);
}

int LastAccessedPage(const std::optional<std::string>& text) {
    if (!text) return kFirstPage;
    // Read as the number at the start of at most 49 characters.
    const std::string head = text->substr(0, 49);
    const long value = std::strtol(head.c_str(), nullptr, 10);
    return value >= kFirstPage && value <= kLastPage ? static_cast<int>(value) : kFirstPage;
}

std::string LastAccessedText(int page) {
    char text[16];
    std::snprintf(text, sizeof text, "%i", page);
    return text;
}

std::string LocalPageName(int page) {
    char name[64];
    std::snprintf(name, sizeof name, "files/local/account/notepad/page%i.png", page);
    return name;
}

}  // namespace whiteboard
