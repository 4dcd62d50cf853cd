// zorvic-localnet: the directory, network and file servers of a local zorvic
// network in one process.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

#include "server/LocalNetwork.h"

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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("zorvic-localnet");

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A local zorvic network: directory, network and file servers.");
    parser.addHelpOption();
    parser.addOption({"data", "Folder that keeps the network's state.", "DIR", "localnet-data"});
    parser.addOption(
        {"host", "Address clients are told to use for the servers.", "ADDR", "127.0.0.1"});
    parser.addOption({"listen", "Address to listen on (default: all).", "ADDR"});
    parser.addOption(
        {"ports", "Directory, network and file server ports.", "DIR,NET,FILE", "7000,9257,9357"});
    parser.addOption({"seed", "Create the named sample data on first start (demo).", "NAME"});
    parser.addOption({"min-client-version", "Oldest client version allowed to log in.", "N", "2"});
    parser.addOption({"idle-timeout", "Seconds of silence before a client is dropped.", "S", "60"});
    parser.addOption({"quiet", "Do not log connection events."});
    parser.process(app);

    localnet::ServerOptions options;
    options.dataDir = QDir(parser.value("data")).absolutePath();
    options.host = parser.value("host");
    if (options.host.isEmpty() || options.host.toUtf8().size() > 255)
        return Fail("--host must be 1 to 255 characters");
    if (parser.isSet("listen") && !options.listenAddress.setAddress(parser.value("listen")))
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
    const int idle = parser.value("idle-timeout").toInt(&ok);
    if (!ok || idle <= 0) return Fail("--idle-timeout needs a positive number of seconds");
    options.idleTimeout = std::chrono::seconds(idle);
    options.quiet = parser.isSet("quiet");

    localnet::LocalNetwork network(options);
    QString error;
    if (!network.Start(&error)) return Fail(error);
    return app.exec();
}
