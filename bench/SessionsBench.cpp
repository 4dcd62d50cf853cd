// The session directory at its largest: a sorted page out of a network of
// 10,000 sessions on the server (goal: under 10 ms), and on the client the
// fullest page one message holds, decoded and shown in the main window's
// list (goal: under 20 ms).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstring>

#include "net/Router.h"
#include "server/sessions/SessionTable.h"
#include "sessions/ListSessionsZorvic.h"
#include "sessions/MsgSession.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "ui/Skin.h"

namespace {

localnet::SessionTable& BigNetwork() {
    static localnet::SessionTable* table = [] {
        auto* t = new localnet::SessionTable;
        const char* creators[] = {"admin", "alice", "bob", "carol", "dave"};
        for (int i = 0; i < 10000; ++i) {
            localnet::StoredSession s;
            s.id = QString::asprintf("S%05d", i);
            s.name = QString::asprintf("Session %05d", (i * 7919) % 10000);
            s.creator = QString::fromLatin1(creators[i % 5]);
            s.isPrivate = i % 3 == 0;
            s.created = 1700000000 + (i * 104729) % 5000000;
            t->Add(std::move(s));
        }
        return t;
    }();
    return *table;
}

// A page asked for with any of the ten orders, sorted afresh each time (as
// after a change), and put into its message.
void BM_SortedPageOf10000(benchmark::State& state) {
    localnet::SessionTable& table = BigNetwork();
    const int32_t sortCode = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        table.Changed();
        const localnet::ListPage page = table.Page(sortCode, 250, 20);
        auto message = localnet::BuildListPageMessage(page, 0);
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_SortedPageOf10000)->Arg(0)->Arg(3)->Arg(7)->Arg(8)->Unit(benchmark::kMillisecond);

// The same page again while nothing changed.
void BM_RepeatedPageOf10000(benchmark::State& state) {
    localnet::SessionTable& table = BigNetwork();
    table.Changed();
    for (auto _ : state) {
        auto message = localnet::BuildListPageMessage(table.Page(3, 250, 20), 0);
        benchmark::DoNotOptimize(message);
    }
}
BENCHMARK(BM_RepeatedPageOf10000)->Unit(benchmark::kMillisecond);

// The fullest page: as many rows as one message holds, every text at its
// longest; decoded by the family and drawn by the list.
void BM_FullestPageDecodedAndShown(benchmark::State& state) {
    localnet::SessionTable table;
    for (int i = 0; i < localnet::RowsPerMessage(); ++i) {
        localnet::StoredSession s;
        s.id = QString::asprintf("F%05d", i);
        s.name = QString::asprintf("Twenty byte name %03d", i);
        s.creator = QString::asprintf("creator%05d", i);
        s.created = 1700000000 + i;
        table.Add(std::move(s));
    }
    const localnet::ListPage page = table.Page(3, 0, 500);
    const auto sent = localnet::BuildListPageMessage(page, 0);
    net::MessageBuffer received;
    std::memcpy(received.data, sent->data, static_cast<size_t>(sent->remaining));
    received.done = sent->remaining;
    net::bufHeader header;
    if (received.ParseHeader(header) != net::kParseComplete) {
        state.SkipWithError("page did not parse");
        return;
    }
    ui::Skin skin(1.0);
    sessions::SessionsModule().RegisterPictures(skin);
    sessions::CListSessionsZorvic list(skin);
    list.resize(406, 212);
    sessions::MsgSession family(
        [&] {
            sessions::SessionEvents e;
            e.pageArrived = [&](int32_t selector, bool complete, bool) {
                if (!complete) return;
                sessions::SessionPageView view = sessions::ViewOf(family.Pages()[size_t(selector)]);
                list.Model().SetRows(QVector<sessions::SessionRow>(view.rows.begin(), view.rows.end()));
            };
            return e;
        }(),
        [] { return sessions::LocalDate{2026, 12, 9}; });
    net::LogLine log;
    int rows = 0;
    for (auto _ : state) {
        net::MessageReader reader(received, header);
        family.HandleResponse(reader, log);
        QPixmap shown = list.grab();
        benchmark::DoNotOptimize(shown);
        rows = list.model()->rowCount();
    }
    state.counters["rows"] = rows;
    state.counters["bytes"] = header.nMsgLength;
}
BENCHMARK(BM_FullestPageDecodedAndShown)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
