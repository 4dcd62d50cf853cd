// Upload throughput over loopback: a whole file sent in 4096-byte chunks by a
// connection's network thread to a peer that reads as fast as it can.

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdio>
#include <string>

#include "FakeServer.h"
#include "net/Connection.h"
#include "net/Transfers.h"

namespace {

using namespace net;

void BM_UploadOverLoopback(benchmark::State& state) {
    const auto size = static_cast<size_t>(state.range(0));
    char pathTemplate[] = "/tmp/palindor-bench-XXXXXX";
    const int fd = ::mkstemp(pathTemplate);
    const std::string path = pathTemplate;
    const std::string content(size, 'u');
    if (fd < 0 || ::write(fd, content.data(), content.size()) != static_cast<ssize_t>(size)) {
        state.SkipWithError("cannot write the file to upload");
        return;
    }
    ::close(fd);

    nettest::FakeServer server;
    nettest::TestOwner owner;
    owner.onDispatch = [](Connection& c, const bufHeader& h) {
        if (h.nDescPrimary == +Primary::Upload) HandleUploadResponse(c, h);
    };
    Endpoints endpoints;
    endpoints.filePort = server.Port();
    Connection conn(kKindFile, owner, endpoints, Timings{});
    conn.StartServer("127.0.0.1");
    nettest::Received received;
    if (!server.Accept() || !server.Read(received)) {
        state.SkipWithError("cannot connect");
        return;
    }

    for (auto _ : state) {
        if (!StartUpload(conn, 21, path, {})) {
            state.SkipWithError("upload did not start");
            break;
        }
        server.ReadPrimary(Primary::Upload, received);
        MessageWriter goAhead(upload::kGoAhead);
        goAhead.Int(21);
        server.Send(*nettest::Response(Primary::Upload, goAhead));
        size_t got = 0;
        while (got < size && server.ReadPrimary(Primary::Upload, received)) {
            got += static_cast<size_t>(received.header.nMsgLength - 44);
        }
        if (got != size) {
            state.SkipWithError("upload incomplete");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(size));
    conn.Shutdown();
    std::remove(path.c_str());
}
// Real time: the work is I/O on another thread, not CPU of this one.
BENCHMARK(BM_UploadOverLoopback)->Arg(1 << 20)->Arg(8 << 20)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
