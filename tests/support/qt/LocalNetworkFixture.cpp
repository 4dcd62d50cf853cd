#include "support/qt/LocalNetworkFixture.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QString>
#include <QTimer>

#include "net/Timings.h"

namespace testsupport {

bool SpinUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    // Asleep between events rather than spinning: the timed processEvents
    // returns at once when nothing is pending, and a spinning test thread
    // takes a core from the threads it waits for. The tick bounds how late a
    // change made by another thread is seen.
    QTimer tick;
    tick.start(1);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

LocalNetworkFixture::LocalNetworkFixture() {
    options_.dataDir = QString::fromStdString(dir_.path() + "/localnet");
    options_.host = "127.0.0.1";
    options_.listenAddress = QHostAddress::LocalHost;
    options_.directoryPort = 0;
    options_.networkPort = 0;
    options_.filePort = 0;
    options_.seedDemo = true;
    options_.quiet = qEnvironmentVariableIsEmpty("LOCALNET_LOG");
    options_.idleTimeout = net::Timings::Fast().idleTimeout;
}

LocalNetworkFixture::~LocalNetworkFixture() {
    Stop();
}

bool LocalNetworkFixture::Start() {
    network_ = std::make_unique<localnet::LocalNetwork>(options_);
    QString error;
    if (network_->Start(&error)) return true;
    qWarning("local network did not start: %s", qPrintable(error));
    network_.reset();
    return false;
}

void LocalNetworkFixture::Stop() {
    if (!network_) return;
    network_->Stop();
    network_.reset();
    // Sessions are deleted later; let that happen now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool LocalNetworkFixture::Restart() {
    Stop();
    return Start();
}

quint16 LocalNetworkFixture::DirectoryPort() const {
    return network_ ? network_->DirectoryPort() : 0;
}
quint16 LocalNetworkFixture::NetworkPort() const {
    return network_ ? network_->NetworkPort() : 0;
}
quint16 LocalNetworkFixture::FilePort() const {
    return network_ ? network_->FilePort() : 0;
}

net::Endpoints LocalNetworkFixture::Endpoints() const {
    net::Endpoints e;
    e.directoryHost = "127.0.0.1";
    e.directoryPort = DirectoryPort();
    e.networkPort = NetworkPort();
    e.filePort = FilePort();
    return e;
}

}  // namespace testsupport
