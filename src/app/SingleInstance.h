#pragma once

// One running client per data directory. The first client to start with a
// directory holds a lock named after the directory's canonical path and
// listens on a local socket of the same name; a later start with the same
// directory finds the lock taken, asks the running client to come forward
// through the socket and ends, instead of a second client fighting over the
// same files. Lock and socket live in the user's runtime folder.

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace app {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    enum class Outcome {
        Primary,    // this is the client for the directory
        Forwarded,  // another one runs and was asked to come forward
        Failed,     // another one holds the directory but does not answer
    };

    struct Options {
        // Where lock and socket live; empty: the user's runtime folder.
        QString runtimeFolder;
        // How long a later start keeps trying to reach a running client that
        // holds the lock but is not listening yet (it may be starting up).
        std::chrono::milliseconds answerWait{3000};
    };

    SingleInstance(const QString& dataDirectory, Options options, QObject* parent = nullptr);
    explicit SingleInstance(const QString& dataDirectory, QObject* parent = nullptr)
        : SingleInstance(dataDirectory, Options{}, parent) {}
    ~SingleInstance() override;

    Outcome Claim();
    // Why Claim failed, or why the primary could not listen (it still runs).
    const QString& Error() const { return error_; }

    // The socket's and the lock's paths.
    const QString& SocketPath() const { return socketPath_; }
    QString LockPath() const { return socketPath_ + QStringLiteral(".lock"); }

    // The name part shared by socket and lock for a data directory: the
    // directory's canonical path (symbolic links resolved, so two spellings
    // of one folder agree), hashed to a short name.
    static QString NameFor(const QString& dataDirectory);

  signals:
    // A later start with the same directory asked this client to come forward.
    void activationRequested();

  private:
    void Listen();
    void OnConnection();

    Options options_;
    QString socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
    QString error_;
};

}  // namespace app
