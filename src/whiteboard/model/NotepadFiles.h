#pragma once

// What crosses the wire and the disk for a whiteboard page: the MsgNotepad
// responses decoded into plain values, and the check that a stored page is
// a PNG picture of the page's size (its signature and header chunk), which
// the server makes without any picture library.

#include <cstddef>
#include <cstdint>
#include <string>

#include "net/MessageBuffer.h"

namespace whiteboard {

// One MsgNotepad response, as the drawing window applies it.
struct NotepadEvent {
    enum class Kind {
        Ready,      // codes 0 and 1: page 1, ready, repaint
        FetchPage,  // code 2 with a page of 1..5
        Ignored,    // code 2 with any other page
        Unusable,   // a field that does not decode, or an unknown code (see log)
    };
    Kind kind = Kind::Unusable;
    int32_t page = 0;
    // The family's log text for what it could not use; empty otherwise.
    std::string log;
};

namespace notepad {
enum Code : int32_t {
    kReady = 0,
    kReadyAlt = 1,
    kFetchPage = 2,  // integer page number
};
}  // namespace notepad

// Decodes the response in `buf` (secondary 2; the router checked it).
NotepadEvent DecodeNotepad(const net::MessageBuffer& buf, const net::bufHeader& header);

// The width and height a PNG's header chunk announces, if `bytes` start with
// the PNG signature and a well-formed IHDR chunk (length 13, valid bit depth
// and colour type, matching checksum).
struct PngSize {
    uint32_t width = 0;
    uint32_t height = 0;
};
bool ReadPngHeader(const uint8_t* bytes, size_t size, PngSize& out);
// A PNG of exactly 634 x 400 by its header.
bool IsPagePng(const uint8_t* bytes, size_t size);

// The fewest bytes that can hold a PNG's signature and header chunk.
inline constexpr size_t kPngHeaderBytes = 8 + 4 + 4 + 13 + 4;

}  // namespace whiteboard
