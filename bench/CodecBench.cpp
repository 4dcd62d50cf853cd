// Building and parsing messages: the work done for every message sent and
// received. The argument is the whole message length on the wire: 40 is a
// bare message code (keep-alive), 4140 an upload chunk, 32767 the largest
// message there is.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "net/MessageBuffer.h"

namespace {

using namespace net;

// A message of `length` bytes: the code, then (when there is room) a slot
// number and unframed bytes, as a file chunk travels.
std::unique_ptr<MessageBuffer> Build(int length, const std::string& bytes) {
    MessageWriter writer(upload::kChunk);
    if (length >= kFirstField + 4) writer.Int(21).Raw(bytes.data(), length - kFirstField - 4);
    return writer.Finish(Primary::Upload, Secondary::Response);
}

void BM_BuildMessage(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    const std::string bytes(static_cast<size_t>(length), 'c');
    for (auto _ : state) {
        auto message = Build(length, bytes);
        benchmark::DoNotOptimize(message->data[kHeaderSize]);
    }
    state.SetBytesProcessed(state.iterations() * length);
}
BENCHMARK(BM_BuildMessage)->Arg(40)->Arg(4140)->Arg(32767);

// As the network thread receives: the wire bytes land in the connection's
// receive buffer, ParseHeader checks and unscrambles, the handler reads.
void BM_ParseMessage(benchmark::State& state) {
    const int length = static_cast<int>(state.range(0));
    const std::string bytes(static_cast<size_t>(length), 'b');
    auto message = Build(length, bytes);
    MessageBuffer rb;
    for (auto _ : state) {
        std::memcpy(rb.data, message->data, static_cast<size_t>(length));
        rb.done = length;
        bufHeader header;
        const int status = rb.ParseHeader(header);
        MessageReader reader(rb, header);
        int32_t slot = 0;
        reader.Int(0, 24, slot);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(slot);
        benchmark::DoNotOptimize(reader.Rest());
        rb.Reset();
    }
    state.SetBytesProcessed(state.iterations() * length);
}
BENCHMARK(BM_ParseMessage)->Arg(40)->Arg(4140)->Arg(32767);

void BM_BuildFieldMessage(benchmark::State& state) {
    int64_t bytes = 0;
    for (auto _ : state) {
        auto message = MessageWriter(10)
                           .Int(0)
                           .Int(3)
                           .Str("Inbox")
                           .Str("someone@network")
                           .Int(1)
                           .Finish(Primary::Download);
        bytes += message->remaining;
        benchmark::DoNotOptimize(message->data[40]);
    }
    state.SetBytesProcessed(bytes);
}
BENCHMARK(BM_BuildFieldMessage);

}  // namespace
