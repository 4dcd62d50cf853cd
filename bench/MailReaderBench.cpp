// The Mailbox Message window filled from a 100,000-character body and a
// 5,000-line recipient list: both files read, the To text built, the body
// converted and set, and the window painted. Best and median of nine rounds.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/AppState.h"
#include "mailbox/ComposeFormats.h"
#include "mailbox/MailboxMessageDlg.h"
#include "mailbox/MailboxModule.h"
#include "net/Client.h"
#include "net/Transfers.h"
#include "ui/Dialogs.h"

namespace {

constexpr int kBodyCharacters = 100000;
constexpr int kRecipientLines = 5000;

// Lines of about seventy characters, some of them two- and four-byte ones.
std::string MakeBody() {
    const std::u16string piece =
        u"The quarterly figures are attached; r\u00e9sum\u00e9 and notes follow \U0001F600. ";
    std::u16string text;
    while (static_cast<int>(text.size()) < kBodyCharacters) {
        text += piece;
        text += u"\r\n";
    }
    text.resize(kBodyCharacters);
    return mailbox::BodyToUtf8(text);
}

std::string MakeRecipients() {
    std::string list;
    for (int i = 0; i < kRecipientLines; ++i) {
        char line[96];
        if (i % 10 == 9) {
            std::snprintf(line, sizeof line, "1 s%05d Project session %i\n", i, i);
        } else {
            std::snprintf(line, sizeof line, "0 user%05d user%05d\n", i, i);
        }
        list += line;
    }
    return list;
}

bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    QTemporaryDir home;
    if (!home.isValid()) return 1;
    ui::QtDialogs dialogs;
    app::AppState::Options options;
    options.timings = net::Timings::Fast();
    options.environment.home = home.path().toStdString();
    options.environment.xdgDataHome = options.environment.home + "/data";
    options.environment.xdgConfigHome = options.environment.home + "/config";
    app::AppState state(dialogs, options);
    mailbox::CMailboxMessageDlg& reader = *state.FindModule<mailbox::MailboxModule>()->Reader();

    const std::string dataDir = state.Client().DataDirectory();
    const std::string listPath = net::PrepareTransferFile(dataDir, mailbox::kInRecipientsFile);
    const std::string bodyPath = net::PrepareTransferFile(dataDir, mailbox::kInBodyFile);
    if (listPath.empty() || bodyPath.empty() || !Write(listPath, MakeRecipients()) ||
        !Write(bodyPath, MakeBody())) {
        std::fprintf(stderr, "the files could not be written\n");
        return 1;
    }

    std::vector<double> rounds;
    for (int round = 0; round < 9; ++round) {
        using clock = std::chrono::steady_clock;
        const auto t0 = clock::now();
        reader.Fill();
        const QPixmap shot = reader.grab();
        QApplication::processEvents();
        const auto t1 = clock::now();
        if (shot.isNull()) return 1;
        rounds.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        reader.hide();
        QApplication::processEvents();
    }
    std::sort(rounds.begin(), rounds.end());
    const int shown = static_cast<int>(reader.BodyField()->toPlainText().size());
    std::printf(
        "mail reader: %i-character body, %i-line recipient list: best %.1f ms, median "
        "%.1f ms (goal: under 200 ms); %i characters shown\n",
        kBodyCharacters, kRecipientLines, rounds.front(), rounds[rounds.size() / 2], shown);
    return 0;
}
