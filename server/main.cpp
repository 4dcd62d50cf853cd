// zorvic-localnet: the directory, network and file servers of a local zorvic
// network in one process.

#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>

#include "server/core/EpollDispatcher.h"
#include "server/core/LocalNetwork.h"

namespace {

bool ParsePorts(const QString& text, localnet::ServerOptions& options) {
    const QStringList parts = text.split(',');
    if (parts.size() != 3) return false;
    quint16* targets[] = {&options.directoryPort, &options.networkPort, &options.filePort};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const uint port = parts[i].trimmed().toUInt(&ok);
        if (!ok || port > 65535) return false;
        *targets[i] = static_cast<quint16>(port);
    }
    return true;
}

int Fail(const QString& message) {
    std::fprintf(stderr, "zorvic-localnet: %s\n", qPrintable(message));
    return 2;
}

// A positive whole number of at most `max`, or -1.
long long Positive(const QString& text, long long max) {
    bool ok = false;
    const long long value = text.toLongLong(&ok);
    return ok && value > 0 && value <= max ? value : -1;
}

// Every connection costs a descriptor: take all the system allows this
// process rather than the customary 1024.
void RaiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

}  // namespace

int main(int argc, char** argv) {
    // Set before the application exists, so that its loop is this one.
    auto* dispatcher = new localnet::EpollDispatcher;
    if (dispatcher->Valid())
        QCoreApplication::setEventDispatcher(dispatcher);
    else
        delete dispatcher;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zorvic-localnet");
    QCoreApplication::setApplicationVersion(PALINDOR_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A local zorvic network: directory, network and file servers.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({"data", "Folder that keeps the network's state.", "DIR", "localnet-data"});
    parser.addOption(
        {"host", "Address clients are told to use for the servers.", "ADDR", "127.0.0.1"});
    parser.addOption(
        {"listen", "Address to listen on (default: loopback only).", "ADDR", "127.0.0.1"});
    parser.addOption(
        {"ports", "Directory, network and file server ports.", "DIR,NET,FILE", "7000,9257,9357"});
    parser.addOption({"seed", "Create the named sample data on first start (demo).", "NAME"});
    parser.addOption({"min-client-version", "Oldest client version allowed to log in.", "N", "2"});
    parser.addOption(
        {"idle-timeout", "Seconds without a whole message before a client is dropped.", "S", "60"});
    parser.addOption(
        {"login-deadline", "Seconds a connection has to log in before it is dropped.", "S", "30"});
    parser.addOption(
        {"pre-login-bytes", "Bytes a connection may send before it has logged in.", "N", "262144"});
    parser.addOption(
        {"max-connections", "Connections in all; more are closed at once.", "N", "1000"});
    parser.addOption(
        {"max-per-address", "Connections from one address; more are closed at once.", "N", "64"});
    parser.addOption(
        {"mail-attachments", "Attachments one sender may keep on the server.", "N", "20"});
    parser.addOption({"mail-attachment-space",
                      "Bytes of attachments one sender may keep on the server.", "N", "52428800"});
    parser.addOption({"documents-max-file", "Bytes of one shared document.", "N", "26214400"});
    parser.addOption({"documents-max-files", "Shared documents per account.", "N", "200"});
    parser.addOption(
        {"documents-max-space", "Bytes of shared documents per account.", "N", "104857600"});
    parser.addOption({"notepad-max-page", "Bytes of one whiteboard page.", "N", "1048576"});
    parser.addOption({"creations-per-address",
                      "Accounts one address may create within the creation window.", "N", "20"});
    parser.addOption(
        {"creation-window", "Seconds over which account creations are counted.", "S", "600"});
    parser.addOption({"faults", "Inject faults, for testing clients. " + localnet::FaultGrammar(),
                      "SPEC"});
    parser.addOption({"quiet", "Do not log connection events."});
    parser.process(app);

    localnet::ServerOptions options;
    options.dataDir = QDir(parser.value("data")).absolutePath();
    options.host = parser.value("host");
    if (options.host.isEmpty() || options.host.toUtf8().size() > 255)
        return Fail("--host must be 1 to 255 characters");
    if (!options.listenAddress.setAddress(parser.value("listen")))
        return Fail("--listen needs an IP address");
    if (!ParsePorts(parser.value("ports"), options))
        return Fail("--ports needs three port numbers, e.g. 7000,9257,9357");
    if (parser.isSet("seed")) {
        if (parser.value("seed") != "demo") return Fail("the only seed is 'demo'");
        options.seedDemo = true;
    }
    bool ok = false;
    options.minClientVersion = parser.value("min-client-version").toInt(&ok);
    if (!ok) return Fail("--min-client-version needs a number");
    constexpr long long kDay = 24 * 3600;
    const long long idle = Positive(parser.value("idle-timeout"), kDay);
    if (idle < 0) return Fail("--idle-timeout needs a positive number of seconds");
    options.idleTimeout = std::chrono::seconds(idle);
    const long long deadline = Positive(parser.value("login-deadline"), kDay);
    if (deadline < 0) return Fail("--login-deadline needs a positive number of seconds");
    options.loginDeadline = std::chrono::seconds(deadline);
    const long long budget = Positive(parser.value("pre-login-bytes"), 1LL << 30);
    if (budget < 0) return Fail("--pre-login-bytes needs a positive number");
    options.preLoginByteBudget = budget;
    const long long total = Positive(parser.value("max-connections"), 1000000);
    if (total < 0) return Fail("--max-connections needs a positive number");
    options.maxConnections = static_cast<int>(total);
    const long long perAddress = Positive(parser.value("max-per-address"), 1000000);
    if (perAddress < 0) return Fail("--max-per-address needs a positive number");
    options.maxPerAddress = static_cast<int>(perAddress);
    const long long attachments = Positive(parser.value("mail-attachments"), 1000000);
    if (attachments < 0) return Fail("--mail-attachments needs a positive number");
    options.mailAttachments = static_cast<int>(attachments);
    const long long space = Positive(parser.value("mail-attachment-space"), 1LL << 40);
    if (space < 0) return Fail("--mail-attachment-space needs a positive number");
    options.mailAttachmentSpace = space;
    const long long docFile = Positive(parser.value("documents-max-file"), 0x7fffffff);
    if (docFile < 0) return Fail("--documents-max-file needs a positive number of bytes");
    options.documentsMaxFileBytes = docFile;
    const long long docFiles = Positive(parser.value("documents-max-files"), 1000000);
    if (docFiles < 0) return Fail("--documents-max-files needs a positive number");
    options.documentsMaxFiles = static_cast<int>(docFiles);
    const long long docSpace = Positive(parser.value("documents-max-space"), 1LL << 40);
    if (docSpace < 0) return Fail("--documents-max-space needs a positive number of bytes");
    options.documentsMaxSpaceBytes = docSpace;
    const long long page = Positive(parser.value("notepad-max-page"), 0x7fffffff);
    if (page < 0) return Fail("--notepad-max-page needs a positive number of bytes");
    options.notepadMaxPageBytes = page;
    const long long creations = Positive(parser.value("creations-per-address"), 1000000);
    if (creations < 0) return Fail("--creations-per-address needs a positive number");
    options.creationsPerAddress = static_cast<int>(creations);
    const long long window = Positive(parser.value("creation-window"), kDay);
    if (window < 0) return Fail("--creation-window needs a positive number of seconds");
    options.creationWindow = std::chrono::seconds(window);
    if (parser.isSet("faults")) {
        QString why;
        if (!localnet::ParseFaults(parser.value("faults"), options.faults, &why))
            return Fail("--faults: " + why);
    }
    options.quiet = parser.isSet("quiet");

    RaiseDescriptorLimit();
    // A stop asked for (the service manager's TERM, Ctrl+C) ends the loop, so
    // that the store closes and takes what is pending to the disk. Blocked
    // before any thread starts, so that only the descriptor hears them.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGHUP);
    std::unique_ptr<QSocketNotifier> stopNotifier;
    const int stopFd = pthread_sigmask(SIG_BLOCK, &stops, nullptr) == 0
                           ? signalfd(-1, &stops, SFD_CLOEXEC | SFD_NONBLOCK)
                           : -1;
    if (stopFd >= 0) {
        stopNotifier = std::make_unique<QSocketNotifier>(stopFd, QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &app, [stopFd] {
            signalfd_siginfo info{};
            while (read(stopFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            }
            QCoreApplication::quit();
        });
    }
    localnet::LocalNetwork network(options);
    QString error;
    if (!network.Start(&error)) return Fail(error);
    const int code = app.exec();
    network.Log("stopped");
    return code;
}
