// The Session History window with the fullest listing one message can
// carry: from the message's bytes to the rows on screen (decoded, sizes and
// summary formatted, the list filled and painted), through the window the
// program uses. Day logs as the server names them ("2030-05-06.txt") with
// its modification texts, and the shortest names beside them (the most
// entries). Then the text viewer opening a 50,000-line session log, from
// the open call until it is shown with the whole text. Prints the best and
// the median of a number of rounds; the goals are under 20 ms and under
// 200 ms.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "history/HistoryListing.h"
#include "history/SessionHistoryDlg.h"
#include "net/Client.h"
#include "net/ClientListener.h"
#include "net/Protocol.h"
#include "net/UiDispatcher.h"
#include "ui/Dialogs.h"
#include "ui/Skin.h"
#include "ui/TextViewerDlg.h"

namespace {

// The window wants a client for its requests; nothing is sent here.
class Quiet final : public net::ClientListener, public net::UiDispatcher {
  public:
    void ShowMessage(net::MessagePhase, const std::string&, const std::string&,
                     net::MessageIcon) override {}
    void ShowServerResponse(const std::string&, const std::string&) override {}
    void LookupAnswered(const std::string&) override {}
    void LookupRefused() override {}
    void LoginCouldNotConnect() override {}
    void LoginCancelled() override {}
    void LoginEnded(net::LoginEnd) override {}
    void CreationCouldNotConnect() override {}
    void CreationCancelled() override {}
    void LoginCompleted() override {}
    void ConnectionDropped() override {}
    void NetworkInformationReceived(const net::NetworkInformation&) override {}
    void Dispatch(std::function<void()> work) override { work(); }
    void Post(std::function<void()> work) override { work(); }
};

struct Message {
    net::MessageBuffer buffer;
    net::bufHeader header;
    int entries = 0;
};

std::unique_ptr<Message> Fullest(bool dayNames) {
    net::MessageWriter w(net::session::kHistoryReady);
    w.Str("logs/2030").Str("ABCDEF");
    const std::string modified = "Tue Mar  4 09:15:02 2025\n";
    int n = 0;
    for (;;) {
        char name[32];
        if (dayNames) {
            std::snprintf(name, sizeof name, "%04d-%02d-%02d.txt", 2030 + n / 372, 1 + n / 31 % 12,
                          1 + n % 31);
        } else {
            std::snprintf(name, sizeof name, "%d", n % 10);
        }
        const int entry = 12 + 8 + static_cast<int>(std::strlen(name) + modified.size());
        if (w.length() + entry > net::kMaxMessageLength) break;
        w.Int(2).Int(40000 + n * 977).Int(0).Str(name).Str(modified);
        ++n;
    }
    auto out = std::make_unique<Message>();
    auto finished = w.Finish(net::Primary::Session, net::Secondary::Response);
    std::memcpy(out->buffer.data, finished->data, static_cast<size_t>(finished->remaining));
    out->buffer.done = finished->remaining;
    if (out->buffer.ParseHeader(out->header) != net::kParseComplete) return nullptr;
    out->entries = n;
    return out;
}

void MeasureListing(QApplication& app, history::CSessionHistoryDlg& window, const Message& m,
                    const char* what) {
    constexpr int kRounds = 25;
    std::vector<double> ms;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer t;
        t.start();
        net::MessageReader reader(m.buffer, m.header);
        history::CHistoryListing listing;
        if (history::DecodeHistoryListing(reader, listing) != -1 ||
            static_cast<int>(listing.entries.size()) != m.entries) {
            std::printf("decoder lost entries\n");
            std::exit(1);
        }
        window.ShowListing(listing);
        window.List()->viewport()->repaint();
        window.Summary()->repaint();
        ms.push_back(t.nsecsElapsed() / 1e6);
        app.processEvents();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("session history listing, %s: %d entries in %d bytes, decoded+formatted+shown: "
                "best %.2f ms, median %.2f ms (goal < 20 ms)\n",
                what, m.entries, m.header.nMsgLength, ms.front(), ms[ms.size() / 2]);
}

void MeasureViewer(QApplication& app, const QString& dir) {
    constexpr int kLines = 50000;
    constexpr int kRounds = 7;
    const QString path = dir + "/sessionhistory";
    {
        static const char* const kPeople[] = {"admin", "alice", "bob", "carol"};
        static const char* const kSaid[] = {
            "has anyone seen the new session list? it pages much better",
            "lunch at noon, the usual place",
            "the poll closes at six, please vote if you have not",
            "on it, after my call",
        };
        QByteArray text;
        for (int i = 0; i < kLines; ++i) {
            const int s = i % 86400;
            if (i % 25 == 0) {
                text += QString::asprintf("[%02d:%02d:%02d] %s has joined the session\n", s / 3600,
                                          s / 60 % 60, s % 60, kPeople[i % 4])
                            .toUtf8();
            } else {
                text += QString::asprintf("[%02d:%02d:%02d] %s: %s\n", s / 3600, s / 60 % 60,
                                          s % 60, kPeople[i % 4], kSaid[i / 3 % 4])
                            .toUtf8();
            }
        }
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) std::exit(1);
        std::printf("session log: %d lines, %lld bytes\n", kLines,
                    static_cast<long long>(text.size()));
    }
    ui::Skin skin(1.0);
    ui::QtDialogs dialogs;
    net::Timings timings = net::Timings::Fast();
    // The deliberate pause before showing is not the viewer's work.
    timings.showDelay = std::chrono::milliseconds(0);
    QWidget owner;
    std::vector<double> ms;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer t;
        t.start();
        ui::CTextViewerDlg* viewer = ui::CTextViewerDlg::Open(skin, dialogs, timings, &owner, path);
        bool shown = false;
        QObject::connect(viewer, &ui::CSkinnedDlg::shownInFront, [&] { shown = true; });
        while (!shown) app.processEvents(QEventLoop::WaitForMoreEvents);
        viewer->TextBox()->viewport()->repaint();
        ms.push_back(t.nsecsElapsed() / 1e6);
        if (viewer->Text().count('\n') < kLines - 1) {
            std::printf("viewer lost lines\n");
            std::exit(1);
        }
        viewer->close();
        app.processEvents();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("text viewer, %d-line session log, open to shown: best %.1f ms, median %.1f ms "
                "(goal < 200 ms)\n",
                kLines, ms.front(), ms[ms.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir home;
    ui::QtDialogs dialogs;
    Quiet quiet;
    net::Client::Options options;
    options.timings = net::Timings::Fast();
    options.timings.showDelay = std::chrono::milliseconds(0);
    options.environment.home = home.path().toStdString();
    options.environment.xdgDataHome = home.path().toStdString() + "/data";
    options.environment.xdgConfigHome = home.path().toStdString() + "/config";
    net::Client client(quiet, quiet, options);
    ui::Skin skin(1.0);
    skin.RegisterBackground(QStringLiteral("IDB_SESSIONHISTORY"),
                            history::CSessionHistoryDlg::kClientSize,
                            QStringLiteral("Session History"));
    skin.RegisterButton(QStringLiteral("BACK"), QSize(88, 30), QStringLiteral("Back"));
    history::CSessionHistoryDlg window(skin, dialogs, options.timings, client);
    const auto days = Fullest(true);
    const auto shortest = Fullest(false);
    if (!days || !shortest) return 1;
    // On screen before the clock runs: every round paints what it shows.
    window.ShowInFrontNow();
    app.processEvents();
    MeasureListing(app, window, *days, "day logs");
    MeasureListing(app, window, *shortest, "shortest names");
    window.hide();
    MeasureViewer(app, home.path());
    return 0;
}
