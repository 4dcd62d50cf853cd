// One conversation taking 10,000 messages (stamp, name and text each, as
// they arrive, the event loop turning after every few): the whole run, and
// the last thousand against the first thousand per message, which must not
// grow with the conversation. Goal: 10,000 under 1 s.
// Usage: conversation-bench [shown|hidden] [messages per event-loop turn]

#include <QApplication>
#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "contacts/IMConversationDlg.h"
#include "net/Timings.h"
#include "ui/Dialogs.h"
#include "ui/Skin.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                     : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    ui::Skin skin(1.0);
    ui::QtDialogs dialogs;
    contacts::CIMConversationDlg window("alice", skin, dialogs, net::Timings::Fast());
    // "hidden" as the first argument leaves the window unshown.
    if (argc < 2 || std::string_view(argv[1]) != "hidden") window.show();

    using Clock = std::chrono::steady_clock;
    const contacts::MessageFormat styles[] = {{2, 200, 0, 0, true, false, false},
                                              {6, 0, 90, 160, false, true, false}};
    // Messages come off the socket several to a read; the event loop turns
    // after each read, laying out and painting what came in.
    const int perTurn = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    double first = 0, last = 0;
    const auto start = Clock::now();
    auto blockStart = start;
    for (int i = 0; i < 10000; ++i) {
        const QString text = QStringLiteral("message %1 with a link www.example.org/%1 and more words")
                                 .arg(i);
        window.AppendMessage(i % 2 ? QStringLiteral("bob") : QStringLiteral("alice"), text,
                             styles[i % 2], {true, i / 60 % 24, i % 60, 12});
        if ((i + 1) % perTurn == 0) QCoreApplication::processEvents();
        if (i == 999 || i == 9999) {
            QCoreApplication::processEvents();
            const auto now = Clock::now();
            const double us = std::chrono::duration<double, std::micro>(now - blockStart).count();
            (i == 999 ? first : last) = us / 1000.0;
        }
        if (i == 8999) blockStart = Clock::now();
    }
    QCoreApplication::processEvents();
    const double total =
        std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (window.Conversation()->document()->blockCount() < 10000) {
        std::printf("conversation: messages missing from the window\n");
        return 1;
    }
    std::printf("conversation: 10000 messages, %d per event-loop turn, in %.1f ms (goal < 1000 ms)\n",
                perTurn, total);
    std::printf("conversation: first 1000 %.1f us/message, last 1000 %.1f us/message\n", first,
                last);
    return 0;
}
