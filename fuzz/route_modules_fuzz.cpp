// Routes arbitrary complete messages through the whole program's router: the
// protocol core's families and every family the sign-in flow and the modules
// register, in an offscreen application. Nothing may crash, hang or write
// outside the data directory; every box the program would show is answered
// at once.

#include <QApplication>
#include <QColor>
#include <QOpenGLContext>
#include <QUrl>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

#include "app/AppState.h"
#include "net/Families.h"
#include "RouteInput.h"
#include "ui/Dialogs.h"

namespace {

class AnsweringDialogs final : public ui::Dialogs {
  public:
    ui::MsgAnswer Message(QWidget*, const QString&, const QString&, ui::MsgIcon,
                          ui::MsgButtons buttons) override {
        return buttons == ui::MsgButtons::YesNo ? ui::MsgAnswer::No : ui::MsgAnswer::Ok;
    }
    QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return {};
    }
    std::optional<QColor> PickColor(QWidget*, const QColor&, const QString&) override {
        return std::nullopt;
    }
    bool OpenUrl(const QUrl&) override { return false; }
};

constexpr char kRootPrefix[] = "palindor-modules-fuzz-";

QApplication* keptApplication = nullptr;

// The offscreen platform warns on every raise and activation of a window,
// which a fuzzed message makes thousands of times a second; only what is
// worse than a warning is worth the log.
void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
    std::fprintf(stderr, "%s:%d: %s\n", context.file ? context.file : "?", context.line,
                 qPrintable(text));
}

struct Harness {
    Harness() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(QuietMessages);
        application = std::make_unique<QApplication>(argc, argv);
        // A window going away asks for the current GL context, whose
        // per-thread storage Qt makes on first use. Made here, while this
        // harness is being built, it outlives the harness at exit; made when
        // a renewed client drops its windows, it would be gone first.
        (void)QOpenGLContext::currentContext();
        const auto temp = std::filesystem::temp_directory_path();
        fuzzing::RemoveStaleRoots(temp, kRootPrefix);
        root = temp / (kRootPrefix + std::to_string(::getpid()));
        std::filesystem::create_directories(root);
        options.environment.home = root.string();
        options.environment.xdgDataHome = (root / "data").string();
        options.environment.xdgConfigHome = (root / "config").string();
        options.timings = net::Timings::Fast();
        state = std::make_unique<app::AppState>(dialogs, options);
    }
    // A fresh client in a fresh data directory. The program keeps a window
    // per correspondent for the whole run, so millions of inputs from random
    // senders would otherwise grow the heap (and the work per input) without
    // end.
    void Renew() {
        state.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
        std::filesystem::create_directories(root);
        state = std::make_unique<app::AppState>(dialogs, options);
    }
    ~Harness() {
        state.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // The application is left standing: this runs among the exit
        // handlers, after Qt's own globals made since the harness (the list
        // of input devices the first shown window registers, say), and its
        // destructor would reach into them. Kept reachable, it is no leak.
        keptApplication = application.release();
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    int argc = 1;
    char name[16] = "fuzz";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> application;
    std::filesystem::path root;
    AnsweringDialogs dialogs;
    app::AppState::Options options;
    std::unique_ptr<app::AppState> state;
};

}  // namespace

// The font library keeps what it reads on first use of a face in caches of
// its own that the leak checker cannot see into; those are not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

// Inputs between two fresh clients: enough for state to build up across
// inputs, few enough to keep the heap near its size after start-up.
constexpr uint64_t kInputsPerClient = 50000;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    static Harness harness;
    static uint64_t inputs = 0;
    if (++inputs % kInputsPerClient == 0) harness.Renew();
    net::Client& client = harness.state->Client();
    if (!fuzzing::RouteInput(client, bytes, size)) return 0;
    // Let what the handlers posted run, then drop what they queued in reply.
    QCoreApplication::processEvents();
    fuzzing::DropReplies(client);
    return 0;
}
