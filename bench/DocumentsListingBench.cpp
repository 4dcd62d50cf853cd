// The fullest listing one message can carry, from the message's bytes to
// the rows on screen: decoded, sizes and summary formatted, the list filled
// and painted. With the server's modification texts, one-byte names make
// the most entries (683 in 32,767 bytes); a listing of 50-byte names is
// measured beside it. Prints the best and the median of a number of rounds.

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "documents/DocumentsBrowserDlg.h"
#include "documents/MsgDocumentStore.h"
#include "net/Protocol.h"

namespace {

struct Message {
    net::MessageBuffer buffer;
    net::bufHeader header;
    int entries = 0;
};

// A listing filled with entries until the next one would not fit.
std::unique_ptr<Message> Fullest(size_t nameBytes) {
    net::MessageWriter w(net::documentstore::kListing);
    w.Int(0).Str("alice").Str("Projects").Int(0);
    const std::string modified = "Tue Mar  4 09:15:02 2025\n";
    int n = 0;
    for (;;) {
        std::string name = std::to_string(n);
        name.resize(std::max(name.size(), nameBytes), 'x');
        const int entry = 12 + 8 + static_cast<int>(name.size() + modified.size());
        if (w.length() + entry > net::kMaxMessageLength) break;
        w.Int(n % 5 == 0 ? 1 : 2).Int(n * 977).Int(n % 7 == 0 ? 1 : 0).Str(name).Str(modified);
        ++n;
    }
    auto out = std::make_unique<Message>();
    auto finished = w.Finish(net::Primary::DocumentStore, net::Secondary::Response);
    std::memcpy(out->buffer.data, finished->data, static_cast<size_t>(finished->remaining));
    out->buffer.done = finished->remaining;
    if (out->buffer.ParseHeader(out->header) != net::kParseComplete) return nullptr;
    out->entries = n;
    return out;
}

void Measure(QApplication& app, const Message& m, const char* what) {
    constexpr int kRounds = 25;
    documents::CListDocuments list;
    QLabel summary;
    list.resize(420, 300);
    list.show();
    summary.show();
    app.processEvents();
    std::vector<double> ms;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer t;
        t.start();
        const documents::DocumentStoreEvent e = documents::DecodeDocumentStore(m.buffer, m.header);
        if (static_cast<int>(e.view.entries.size()) != m.entries) {
            std::printf("decoder lost entries\n");
            std::exit(1);
        }
        summary.setText(QString::fromStdString(documents::SummaryText(e.view.entries)));
        list.Model().SetEntries(e.view.entries, e.view.locked != 0);
        list.viewport()->repaint();
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("documents listing, %s: %d entries in %d bytes, decoded+formatted+shown: best %.2f ms, median %.2f ms\n",
                what, m.entries, m.header.nMsgLength, ms.front(), ms[ms.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto shortest = Fullest(1);
    const auto longest = Fullest(50);
    if (!shortest || !longest) return 1;
    Measure(app, *shortest, "shortest names");
    Measure(app, *longest, "50-byte names");
    return 0;
}
