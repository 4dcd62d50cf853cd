// What reaches the whiteboard from outside: a MsgNotepad response's payload,
// a stored page's header, and "last_accessed". Whatever the bytes, each
// gives a bounded answer.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "net/MessageBuffer.h"
#include "net/Protocol.h"
#include "whiteboard/model/NotepadFiles.h"
#include "whiteboard/model/NotepadPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The bytes as a response's payload, from its code on.
    net::MessageWriter w(size >= 4 ? int32_t((uint32_t(data[0]) << 24) | (uint32_t(data[1]) << 16) |
                                             (uint32_t(data[2]) << 8) | uint32_t(data[3]))
                                   : 0);
    if (size > 4) w.Raw(data + 4, static_cast<int>(std::min<size_t>(size - 4, 30000)));
    if (auto msg = w.Finish(+net::Primary::Notepad, +net::Secondary::Response)) {
        net::MessageBuffer in;
        std::memcpy(in.data, msg->data, static_cast<size_t>(msg->remaining));
        in.done = msg->remaining;
        net::bufHeader header;
        if (in.ParseHeader(header) == net::kParseComplete) {
            const whiteboard::NotepadEvent e = whiteboard::DecodeNotepad(in, header);
            if (e.kind == whiteboard::NotepadEvent::Kind::FetchPage && !whiteboard::ValidPage(e.page))
                __builtin_trap();
        }
    }

    whiteboard::PngSize png;
    if (whiteboard::ReadPngHeader(data, size, png) && (png.width == 0 || png.height == 0))
        __builtin_trap();
    whiteboard::IsPagePng(data, size);

    const int page = whiteboard::LastAccessedPage(
        std::string(reinterpret_cast<const char*>(data), size));
    if (!whiteboard::ValidPage(page)) __builtin_trap();
    return 0;
}
