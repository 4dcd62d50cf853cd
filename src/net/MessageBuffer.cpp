#include "net/MessageBuffer.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace net {

namespace {

inline uint8_t B(int v) { return static_cast<uint8_t>(v & 0xFF); }

void StoreBE(uint8_t* p, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    p[0] = B(u >> 24);
    p[1] = B(u >> 16);
    p[2] = B(u >> 8);
    p[3] = B(u);
}

int32_t LoadBE(const uint8_t* p) {
    const uint32_t u = (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
    return static_cast<int32_t>(u);
}

int32_t Assemble(uint8_t b3, uint8_t b2, uint8_t b1, uint8_t b0) {
    const uint8_t bytes[4] = {b3, b2, b1, b0};
    return LoadBE(bytes);
}

// Adds K[i mod 16] (or subtracts it) to every byte at message offsets
// kHeaderSize..end-1. Eight bytes at a time with carries kept inside each
// byte, so scrambling a full message costs a few microseconds.
void ApplyKey(uint8_t* data, int end, const MessageKey& key, bool subtract) {
    if (end <= kHeaderSize) return;
    uint8_t* p = data + kHeaderSize;
    const int count = end - kHeaderSize;
    // Offset 36 takes K4: payload byte j takes K[(j + 4) mod 16].
    constexpr int kFirstKey = kHeaderSize % kKeySize;
    if (count < 2 * kKeySize) {
        if (subtract) {
            for (int j = 0; j < count; ++j) p[j] = B(p[j] - key[static_cast<size_t>((j + kFirstKey) & 15)]);
        } else {
            for (int j = 0; j < count; ++j) p[j] = B(p[j] + key[static_cast<size_t>((j + kFirstKey) & 15)]);
        }
        return;
    }
    // The key bytes in the order they meet the payload, negated to subtract.
    uint8_t pattern[kKeySize];
    for (int j = 0; j < kKeySize; ++j) {
        const uint8_t k = key[static_cast<size_t>((j + kFirstKey) & 15)];
        pattern[j] = subtract ? B(-k) : k;
    }
    uint64_t lanes[2];
    std::memcpy(lanes, pattern, sizeof lanes);
    constexpr uint64_t kHigh = 0x8080808080808080ULL;
    int i = 0;
    for (; i + kKeySize <= count; i += kKeySize) {
        for (int half = 0; half < 2; ++half) {
            uint64_t x;
            std::memcpy(&x, p + i + 8 * half, 8);
            const uint64_t y = lanes[half];
            x = ((x & ~kHigh) + (y & ~kHigh)) ^ ((x ^ y) & kHigh);
            std::memcpy(p + i + 8 * half, &x, 8);
        }
    }
    for (; i < count; ++i) p[i] = B(p[i] + pattern[i % kKeySize]);
}

}  // namespace

const char* ParseFaultText(ParseFault fault) {
    switch (fault) {
        case ParseFault::None: return "no fault";
        case ParseFault::Token: return "bad token";
        case ParseFault::Primary: return "primary descriptor out of range 0..1024";
        case ParseFault::Secondary: return "secondary descriptor out of range 0..1024";
        case ParseFault::Length: return "message length out of range 0..32767";
    }
    return "unknown fault";
}

MessageKey DrawMessageKey() {
    // Seeded once per thread: reseeding from the millisecond tick for every
    // message would give two messages of the same millisecond the same key.
    // A splitmix64 step gives eight key bytes; the key only has to change
    // from message to message, it protects nothing.
    thread_local uint64_t state = (uint64_t{std::random_device{}()} << 32) ^ std::random_device{}();
    MessageKey key;
    for (int half = 0; half < 2; ++half) {
        uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        for (int j = 0; j < 8; ++j) key[static_cast<size_t>(8 * half + j)] = B(static_cast<int>(z >> (8 * j)));
    }
    return key;
}

namespace {

// Sanitizer builds keep every buffer on the general allocator, so that a use
// after free is still caught.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCacheBuffers = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kCacheBuffers = false;
#else
constexpr bool kCacheBuffers = true;
#endif
#else
constexpr bool kCacheBuffers = true;
#endif

// Plain data, so that it stays usable while the thread (or, for the main
// thread, the program) ends and later buffers are freed.
struct BufferCache {
    static constexpr size_t kKeep = 8;
    void* blocks[kKeep];
    size_t count;
    bool closed;
};
thread_local BufferCache tBufferCache{};

// Gives the cached storage back when the thread ends; buffers freed after
// that go straight to the allocator.
struct BufferCacheCloser {
    bool armed = false;
    ~BufferCacheCloser() {
        while (tBufferCache.count > 0) ::operator delete(tBufferCache.blocks[--tBufferCache.count]);
        tBufferCache.closed = true;
    }
};
thread_local BufferCacheCloser tBufferCacheCloser;

}  // namespace

void* MessageBuffer::operator new(std::size_t size) {
    if (kCacheBuffers && size == sizeof(MessageBuffer) && tBufferCache.count > 0) {
        return tBufferCache.blocks[--tBufferCache.count];
    }
    return ::operator new(size);
}

void MessageBuffer::operator delete(void* storage, std::size_t size) noexcept {
    if (kCacheBuffers && storage != nullptr && size == sizeof(MessageBuffer) &&
        !tBufferCache.closed && tBufferCache.count < BufferCache::kKeep) {
        tBufferCacheCloser.armed = true;  // so that the cache is emptied at thread end
        tBufferCache.blocks[tBufferCache.count++] = storage;
        return;
    }
    ::operator delete(storage);
}

MessageBuffer::MessageBuffer() {
    std::memcpy(token, kToken, kTokenSize + 1);
}

bool MessageBuffer::PutInt(int& offset, int32_t value) {
    if (offset < 0 || offset + 4 >= kFieldLimit) return false;
    StoreBE(data + offset, value);
    offset += 4;
    readEnd_ = std::max(readEnd_, offset);
    return true;
}

bool MessageBuffer::PutString(int& offset, const void* bytes, int n) {
    if (n < 0) return false;
    if (!PutInt(offset, n)) return false;
    // The count is already written; the caller discards the buffer.
    if (static_cast<int64_t>(offset) + n >= kFieldLimit) return false;
    if (n > 0) std::memcpy(data + offset, bytes, static_cast<size_t>(n));
    offset += n;
    readEnd_ = std::max(readEnd_, offset);
    return true;
}

bool MessageBuffer::GetInt(int& offset, int32_t min, int32_t max, int32_t& out) const {
    if (offset < 0 || offset + 4 > readEnd_) return false;
    const int32_t value = LoadBE(data + offset);
    offset += 4;
    if (min != -1 && value < min) return false;
    if (max != -1 && value > max) return false;
    out = value;
    return true;
}

bool MessageBuffer::GetString(int& offset, int32_t min, int32_t max, std::string& out) const {
    int32_t n = 0;
    if (!GetInt(offset, min, max, n)) return false;
    if (n < 0 || static_cast<int64_t>(offset) + n > readEnd_) return false;
    out.assign(reinterpret_cast<const char*>(data + offset), static_cast<size_t>(n));
    offset += n;
    return true;
}

void MessageBuffer::EncodeHeader(int32_t primary, int32_t secondary, int32_t length) {
    const MessageKey& K = key;
    uint8_t A[4], Bs[4], C[4];  // [3] is the most significant byte
    for (int i = 0; i < 4; ++i) {
        A[i] = B(static_cast<int>(static_cast<uint32_t>(primary) >> (8 * i)));
        Bs[i] = B(static_cast<int>(static_cast<uint32_t>(secondary) >> (8 * i)));
        C[i] = B(static_cast<int>(static_cast<uint32_t>(length) >> (8 * i)));
    }
    std::memcpy(data, kToken, kTokenSize);
    uint8_t* h = data;
    h[8] = K[0];
    h[9] = B(K[3] + K[13] + A[3] + 11);
    h[10] = K[1];
    h[11] = K[2];
    h[12] = B(K[0] + K[9] + Bs[2] + 113);
    h[13] = B(K[6] + K[15] + A[1] + 39);
    h[14] = K[3];
    h[15] = K[4];
    h[16] = B(K[5] + K[12] + A[0] + 2);
    h[17] = B(2 * K[4] + K[6] + A[2] + 76);
    h[18] = K[5];
    h[19] = B(K[7] + K[14] + Bs[3] + 55);
    h[20] = K[6];
    h[21] = K[7];
    h[22] = B(K[1] + K[8] + C[1] + 12);
    h[23] = B(K[2] + K[3] + Bs[0] + 67);
    h[24] = B(2 * K[0] + C[3] + 22);
    h[25] = B(K[3] + K[7] + Bs[1] - 35);
    h[26] = B(K[2] + K[11] + C[2] + 7);
    h[27] = K[11];
    h[28] = B(K[3] + K[6] + K[10] + C[0] + 81);
    h[29] = K[12];
    h[30] = B(K[15] + 98);
    h[31] = B(K[9] - 7);
    h[32] = B(K[10] - 23);
    h[33] = K[8];
    h[34] = B(K[13] + 11);
    h[35] = K[14];
    if (K[3] > K[2]) std::swap(h[10], h[21]);
}

void MessageBuffer::Finish(int32_t primary, int32_t length) { Finish(primary, +Secondary::Message, length); }

void MessageBuffer::Finish(int32_t primary, int32_t secondary, int32_t length) {
    Finish(primary, secondary, length, DrawMessageKey());
}

void MessageBuffer::Finish(int32_t primary, int32_t secondary, int32_t length, const MessageKey& k) {
    key = k;
    EncodeHeader(primary, secondary, length);
    ApplyKey(data, std::min(length, kMaxMessageLength), key, false);
    remaining = length;
    done = 0;
}

void MessageBuffer::Unscramble(int32_t length) {
    ApplyKey(data, std::min(length, kMaxMessageLength), key, true);
}

int MessageBuffer::ParseHeader(bufHeader& out) {
    ParseFault fault;
    return ParseHeader(out, fault);
}

int MessageBuffer::ParseHeader(bufHeader& out, ParseFault& fault) {
    fault = ParseFault::None;
    const int received = done;
    const int tokenBytes = std::min(kTokenSize, std::max(received, 0));
    if (std::memcmp(data, token, static_cast<size_t>(tokenBytes)) != 0) {
        fault = ParseFault::Token;
        return kParseBad;
    }
    if (received < kHeaderSize) return kParseMore;

    uint8_t* h = data;
    if (h[14] > h[11] && !keyExchangeUndone) {
        std::swap(h[10], h[21]);
        keyExchangeUndone = 1;
    }
    MessageKey& K = key;
    K[0] = h[8];
    K[1] = h[10];
    K[2] = h[11];
    K[3] = h[14];
    K[4] = h[15];
    K[5] = h[18];
    K[6] = h[20];
    K[7] = h[21];
    K[8] = h[33];
    K[9] = B(h[31] + 7);
    K[10] = B(h[32] + 23);
    K[11] = h[27];
    K[12] = h[29];
    K[13] = B(h[34] - 11);
    K[14] = h[35];
    K[15] = B(h[30] - 98);

    const uint8_t A3 = B(h[9] - K[13] - K[3] - 11);
    const uint8_t A2 = B(h[17] - 2 * K[4] - K[6] - 76);
    const uint8_t A1 = B(h[13] - K[6] - K[15] - 39);
    const uint8_t A0 = B(h[16] - K[5] - K[12] - 2);
    const uint8_t B3 = B(h[19] - K[7] - K[14] - 55);
    const uint8_t B2 = B(h[12] - K[0] - K[9] - 113);
    const uint8_t B1 = B(h[25] - K[7] - K[3] + 35);
    const uint8_t B0 = B(h[23] - K[2] - K[3] - 67);
    const uint8_t C3 = B(h[24] - 2 * K[0] - 22);
    const uint8_t C2 = B(h[26] - K[2] - K[11] - 7);
    const uint8_t C1 = B(h[22] - K[1] - K[8] - 12);
    const uint8_t C0 = B(h[28] - K[3] - K[6] - K[10] - 81);

    bufHeader hdr;
    hdr.nDescPrimary = Assemble(A3, A2, A1, A0);
    hdr.nDescSecondary = Assemble(B3, B2, B1, B0);
    hdr.nMsgLength = Assemble(C3, C2, C1, C0);
    out = hdr;

    if (hdr.nDescPrimary < 0 || hdr.nDescPrimary > 1024) {
        fault = ParseFault::Primary;
        return kParseBad;
    }
    if (hdr.nDescSecondary < 0 || hdr.nDescSecondary > 1024) {
        fault = ParseFault::Secondary;
        return kParseBad;
    }
    if (hdr.nMsgLength < 0 || hdr.nMsgLength > kMaxMessageLength) {
        fault = ParseFault::Length;
        return kParseBad;
    }

    if (received < hdr.nMsgLength) return kParseMore;

    if (!payloadUnscrambled) {
        payloadUnscrambled = 1;
        ApplyKey(data, hdr.nMsgLength, K, true);
    }
    readEnd_ = std::max(hdr.nMsgLength, kHeaderSize);
    return kParseComplete;
}

void MessageBuffer::Reset() {
    done = 0;
    remaining = -1;
    payloadUnscrambled = 0;
    keyExchangeUndone = 0;
    readEnd_ = kHeaderSize;
}

MessageWriter::MessageWriter(int32_t code) : buf_(std::make_unique<MessageBuffer>()) {
    ok_ = buf_->PutInt(offset_, code);
}

MessageWriter& MessageWriter::Int(int32_t value) {
    if (ok_) ok_ = buf_->PutInt(offset_, value);
    return *this;
}

MessageWriter& MessageWriter::Str(std::string_view text) {
    if (ok_) ok_ = text.size() < static_cast<size_t>(kFieldLimit) && buf_->PutString(offset_, text);
    return *this;
}

MessageWriter& MessageWriter::Raw(const void* bytes, int n) {
    if (!ok_) return *this;
    if (n < 0 || static_cast<int64_t>(offset_) + n > kMaxMessageLength) {
        ok_ = false;
        return *this;
    }
    if (n > 0) std::memcpy(buf_->data + offset_, bytes, static_cast<size_t>(n));
    offset_ += n;
    buf_->SetReadEnd(std::max(buf_->ReadEnd(), offset_));
    return *this;
}

std::unique_ptr<MessageBuffer> MessageWriter::Finish(int32_t primary, int32_t secondary) {
    if (!ok_ || !buf_ || offset_ > kMaxMessageLength) return nullptr;
    buf_->Finish(primary, secondary, offset_);
    return std::move(buf_);
}

MessageReader::MessageReader(const MessageBuffer& buf, const bufHeader& header)
    : buf_(buf), end_(std::clamp(header.nMsgLength, 0, kMaxMessageLength)) {
    hasCode_ = end_ >= kFirstField;
    if (hasCode_) code_ = LoadBE(buf_.data + kHeaderSize);
}

bool MessageReader::Int(int32_t min, int32_t max, int32_t& out) {
    if (offset_ + 4 > end_) return false;
    const int32_t value = LoadBE(buf_.data + offset_);
    offset_ += 4;
    if ((min != -1 && value < min) || (max != -1 && value > max)) return false;
    out = value;
    return true;
}

bool MessageReader::Str(int32_t min, int32_t max, std::string& out) {
    int32_t n = 0;
    if (!Int(min, max, n)) return false;
    if (n < 0 || static_cast<int64_t>(offset_) + n > end_) return false;
    out.assign(reinterpret_cast<const char*>(buf_.data + offset_), static_cast<size_t>(n));
    offset_ += n;
    return true;
}

}  // namespace net
