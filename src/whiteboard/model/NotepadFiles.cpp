#include "whiteboard/model/NotepadFiles.h"

#include <array>
#include <cstdio>

#include "whiteboard/model/NotepadPage.h"

namespace whiteboard {

NotepadEvent DecodeNotepad(const net::MessageBuffer& buf, const net::bufHeader& header) {
    net::MessageReader reader(buf, header);
    NotepadEvent e;
    char log[160];
    if (!reader.HasCode()) {
        e.log = "MsgNotepad.HandleResponse(0): Unable to decode response code";
        return e;
    }
    const int32_t code = reader.Code();
    switch (code) {
        case notepad::kReady:
        case notepad::kReadyAlt:
            e.kind = NotepadEvent::Kind::Ready;
            return e;
        case notepad::kFetchPage: {
            int32_t page = 0;
            if (!reader.Int(-1, -1, page)) {
                e.log = "MsgNotepad.HandleResponseFetchPage(0): Unable to decode page number";
                return e;
            }
            e.page = page;
            e.kind = ValidPage(page) ? NotepadEvent::Kind::FetchPage : NotepadEvent::Kind::Ignored;
            return e;
        }
        default:
            std::snprintf(log, sizeof log,
                          "MsgNotepad.HandleResponse(1): Unknown response '%i' received from server",
                          code);
            e.log = log;
            return e;
    }
}

namespace {

uint32_t BigEndian(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

uint32_t Crc32(const uint8_t* p, size_t n) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

}  // namespace

bool ReadPngHeader(const uint8_t* bytes, size_t size, PngSize& out) {
    static constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes == nullptr || size < kPngHeaderBytes) return false;
    for (size_t i = 0; i < 8; ++i) {
        if (bytes[i] != kSignature[i]) return false;
    }
    const uint8_t* chunk = bytes + 8;
    if (BigEndian(chunk) != 13 || chunk[4] != 'I' || chunk[5] != 'H' || chunk[6] != 'D' ||
        chunk[7] != 'R') {
        return false;
    }
    const uint8_t* data = chunk + 8;
    if (Crc32(chunk + 4, 4 + 13) != BigEndian(data + 13)) return false;
    const uint32_t width = BigEndian(data);
    const uint32_t height = BigEndian(data + 4);
    const uint8_t depth = data[8], colour = data[9];
    if (width == 0 || height == 0 || width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) return false;
    // The depths each colour type allows.
    bool depthOk = false;
    switch (colour) {
        case 0:
            depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
            break;
        case 3:
            depthOk = depth == 1 || depth == 2 || depth == 4 || depth == 8;
            break;
        case 2:
        case 4:
        case 6:
            depthOk = depth == 8 || depth == 16;
            break;
        default:
            return false;
    }
    // Compression and filter methods 0, interlace 0 or 1.
    if (!depthOk || data[10] != 0 || data[11] != 0 || data[12] > 1) return false;
    out.width = width;
    out.height = height;
    return true;
}

bool IsPagePng(const uint8_t* bytes, size_t size) {
    PngSize s;
    return ReadPngHeader(bytes, size, s) && s.width == uint32_t{kPageWidth} &&
           s.height == uint32_t{kPageHeight};
}

}  // namespace whiteboard
