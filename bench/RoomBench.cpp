// The session room: one line (stamp, name, text) appended to a transcript
// that already holds 50,000 lines in a shown window, laid out (argument 0)
// and also painted at once (argument 1) (goal: under 1 ms); and a room
// state of 200 participants decoded and its list drawn (goal: under 5 ms).

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTextDocument>
#include <cstring>
#include <memory>

#include "net/Protocol.h"
#include "sessions/RoomModel.h"
#include "sessions/SessionDlg.h"
#include "net/Timings.h"
#include "ui/Dialogs.h"
#include "ui/Skin.h"

namespace {

struct Setup {
    ui::Skin skin{1.0};
    ui::QtDialogs dialogs;
    std::unique_ptr<sessions::CSessionDlg> room;
    Setup() {
        room = std::make_unique<sessions::CSessionDlg>("abcdef", "Lobby", skin, dialogs,
                                                       net::Timings::Fast());
        room->show();
    }
};

void AppendLine(sessions::CSessionDlg& room, int i) {
    shell::CTranscript& t = room.Transcript();
    t.Append(shell::TimeStampText(13, i % 60),
             shell::CharFormatFor(shell::ArialStyle(true, false, 128), 12));
    t.Append(QStringLiteral("carol: "), shell::CharFormatFor(shell::ArialStyle(true, false, 0), 12));
    t.Append(QStringLiteral("line %1 of the meeting, see www.example.org/%1\r\n").arg(i),
             shell::CharFormatFor({6, 160, 40, 120, false, true, false}, 12));
}

void BM_LineAfterFiftyThousand(benchmark::State& state, Setup& s) {
    if (s.room->TranscriptView()->document()->blockCount() < 50000) {
        for (int i = 0; i < 50000; ++i) {
            AppendLine(*s.room, i);
            if (i % 500 == 0) s.room->Transcript().Flush();
        }
        s.room->Transcript().Flush();
        QApplication::processEvents();
    }
    int i = 50000;
    for (auto _ : state) {
        AppendLine(*s.room, i++);
        s.room->Transcript().Flush();
        if (state.range(0)) s.room->TranscriptView()->viewport()->repaint();
    }
}

// The same in a room of 100 lines: what painting costs whatever the length.
void BM_LineAfterHundred(benchmark::State& state, Setup& s) {
    if (s.room->TranscriptView()->document()->blockCount() < 100) {
        for (int i = 0; i < 100; ++i) AppendLine(*s.room, i);
        s.room->Transcript().Flush();
        QApplication::processEvents();
    }
    int i = 100;
    for (auto _ : state) {
        AppendLine(*s.room, i++);
        s.room->Transcript().Flush();
        if (state.range(0)) s.room->TranscriptView()->viewport()->repaint();
    }
}

void BM_TwoHundredParticipants(benchmark::State& state, Setup& s) {
    net::MessageWriter w(net::session::kRoomState);
    w.Str("abcdef").Int(4).Str("").Str("Lobby").Str("Everyone").Str("admin");
    for (int i = 0; i < 6; ++i) w.Int(0);
    w.Int(200);
    for (int i = 0; i < 200; ++i)
        w.Str("user" + std::to_string(i)).Int(i == 0).Int(i == 1).Int(i % 7 == 0).Int(1 + i % 3);
    const auto message = w.Finish(net::Primary::Session, net::Secondary::Notification);
    net::MessageBuffer buffer;
    std::memcpy(buffer.data, message->data, static_cast<size_t>(message->remaining));
    buffer.done = message->remaining;
    net::bufHeader header;
    buffer.ParseHeader(header);
    const auto muted = [](const std::string& name) { return name == "user5"; };
    for (auto _ : state) {
        net::MessageReader r(buffer, header);
        sessions::RoomStateHeader h;
        std::string log;
        sessions::DecodeRoomStateHeader(r, h, log);
        sessions::DecodeParticipants(r, s.room->Participants(), log);
        s.room->RedrawParticipants(muted);
        s.room->List()->viewport()->repaint();
    }
    state.counters["participants"] = static_cast<double>(s.room->Participants().size());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Setup setup;
    Setup small;
    benchmark::RegisterBenchmark("BM_LineAfterHundred",
                                 [&small](benchmark::State& st) { BM_LineAfterHundred(st, small); })
        ->Arg(0)
        ->Arg(1)
        ->Iterations(200)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_LineAfterFiftyThousand",
                                 [&setup](benchmark::State& st) { BM_LineAfterFiftyThousand(st, setup); })
        ->Arg(0)
        ->Arg(1)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("BM_TwoHundredParticipants",
                                 [&setup](benchmark::State& st) { BM_TwoHundredParticipants(st, setup); })
        ->Unit(benchmark::kMicrosecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
