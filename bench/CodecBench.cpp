// Building and parsing messages: the work done for every message sent and
// received.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "net/MessageBuffer.h"

namespace {

using namespace net;

void BM_BuildChunkMessage(benchmark::State& state) {
    const std::string chunk(static_cast<size_t>(state.range(0)), 'c');
    for (auto _ : state) {
        auto message = MessageWriter(upload::kChunk)
                           .Int(21)
                           .Raw(chunk.data(), static_cast<int>(chunk.size()))
                           .Finish(Primary::Upload, Secondary::Response);
        benchmark::DoNotOptimize(message->data[40]);
    }
    state.SetBytesProcessed(state.iterations() * (44 + state.range(0)));
}
BENCHMARK(BM_BuildChunkMessage)->Arg(64)->Arg(4096)->Arg(32000);

void BM_BuildFieldMessage(benchmark::State& state) {
    for (auto _ : state) {
        auto message = MessageWriter(10)
                           .Int(0)
                           .Int(3)
                           .Str("Inbox")
                           .Str("someone@network")
                           .Int(1)
                           .Finish(Primary::Download);
        benchmark::DoNotOptimize(message->data[40]);
    }
}
BENCHMARK(BM_BuildFieldMessage);

void BM_ParseMessage(benchmark::State& state) {
    const std::string body(static_cast<size_t>(state.range(0)), 'b');
    auto message =
        MessageWriter(1).Int(16).Str(body).Finish(Primary::Download, Secondary::Response);
    const int length = message->remaining;
    MessageBuffer rb;
    for (auto _ : state) {
        std::memcpy(rb.data, message->data, static_cast<size_t>(length));
        rb.done = length;
        bufHeader header;
        const int status = rb.ParseHeader(header);
        MessageReader reader(rb, header);
        int32_t slot = 0;
        std::string text;
        reader.Int(0, 24, slot);
        reader.Str(0, -1, text);
        benchmark::DoNotOptimize(status);
        benchmark::DoNotOptimize(text.data());
        rb.Reset();
    }
    state.SetBytesProcessed(state.iterations() * length);
}
BENCHMARK(BM_ParseMessage)->Arg(16)->Arg(4096)->Arg(32000);

}  // namespace
