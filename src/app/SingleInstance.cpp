#include "app/SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

namespace app {
namespace {

// The one request the socket understands; anything else is dropped.
constexpr char kActivate[] = "activate\n";
// A peer never needs more than the request; a longer talker is cut off.
constexpr qint64 kMaxRequest = 64;

QString RuntimeFolder(const QString& chosen) {
    if (!chosen.isEmpty()) return chosen;
    // $XDG_RUNTIME_DIR, or a private folder Qt makes and checks (owned by this
    // user, closed to others) when it is unset.
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!runtime.isEmpty()) return runtime;
    return QDir::home().filePath(QStringLiteral(".cache/palindor"));
}

}  // namespace

QString SingleInstance::NameFor(const QString& dataDirectory) {
    QString canonical = QFileInfo(dataDirectory).canonicalFilePath();
    // A folder that cannot be resolved (not created) still gets a stable name.
    if (canonical.isEmpty()) canonical = QDir::cleanPath(QDir(dataDirectory).absolutePath());
    const QByteArray hash =
        QCryptographicHash::hash(canonical.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("palindor-") + QString::fromLatin1(hash.left(24));
}

SingleInstance::SingleInstance(const QString& dataDirectory, Options options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    const QString folder = RuntimeFolder(options_.runtimeFolder);
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    socketPath_ = QDir(folder).filePath(NameFor(dataDirectory));
    lock_ = std::make_unique<QLockFile>(LockPath());
    // The lock is held for the whole run: only a dead holder makes it stale.
    lock_->setStaleLockTime(0);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

SingleInstance::~SingleInstance() {
    server_.close();
    if (lock_->isLocked()) lock_->unlock();
}

SingleInstance::Outcome SingleInstance::Claim() {
    error_.clear();
    const auto deadline = std::chrono::steady_clock::now() + options_.answerWait;
    for (;;) {
        if (lock_->tryLock(0)) {
            Listen();
            return Outcome::Primary;
        }
        QLocalSocket socket;
        socket.connectToServer(socketPath_);
        if (socket.waitForConnected(500)) {
            socket.write(kActivate);
            socket.waitForBytesWritten(1000);
            socket.disconnectFromServer();
            return Outcome::Forwarded;
        }
        if (std::chrono::steady_clock::now() >= deadline) break;
        // The holder may have locked without listening yet, or just ended.
        QThread::msleep(50);
    }
    error_ = QStringLiteral("another Palindor holds this data directory but does not answer (%1)")
                 .arg(LockPath());
    return Outcome::Failed;
}

void SingleInstance::Listen() {
    // Holding the lock means no live client owns the socket: one left by a
    // client that crashed is removed.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_.listen(socketPath_))
        error_ = QStringLiteral("cannot listen on %1: %2").arg(socketPath_, server_.errorString());
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // A peer that connects and says nothing is not kept.
        QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kMaxRequest) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine()) return;
            const QByteArray line = socket->readLine(kMaxRequest);
            socket->disconnectFromServer();
            if (line == kActivate) emit activationRequested();
        });
    }
}

}  // namespace app
