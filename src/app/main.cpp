// Palindor: starts the application state and runs until the network
// selection window or the main window is closed.

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/AppState.h"
#include "app/Desktop.h"
#include "app/SingleInstance.h"
#include "net/DataDirectory.h"
#include "shell/MainDlg.h"
#include "ui/Dialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    app::SetApplicationIdentity();
    // Windows are hidden and shown throughout the run; only an explicit
    // close of the first or the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Client for private collaboration networks (zorvic networks)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("profile"),
                      QStringLiteral("Keep every local file in DIR instead of the usual data "
                                     "directory, so that a second client can run beside the first."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("paths"),
                      QStringLiteral("Show the data directory and the guide this client would "
                                     "use, then exit (1 when the guide is missing).")});
    parser.process(application);

    app::AppState::Options options;
    options.environment = net::Environment::FromProcess();
    if (parser.isSet(QStringLiteral("profile"))) {
        const QString profile = parser.value(QStringLiteral("profile"));
        if (profile.isEmpty()) {
            std::fprintf(stderr, "palindor: --profile needs a folder\n");
            return 1;
        }
        options.environment.dataDirectory =
            QDir::cleanPath(QDir(profile).absolutePath()).toStdString();
    }

    const std::string dataDirectory = net::InitDataDirectory(options.environment);
    if (parser.isSet(QStringLiteral("paths"))) {
        const QString guide = app::FindGuide(QCoreApplication::applicationDirPath());
        const bool found = QFileInfo(guide).isFile();
        std::printf("data directory: %s\nguide: %s%s\n", dataDirectory.c_str(), qPrintable(guide),
                    found ? "" : " (missing)");
        return found ? 0 : 1;
    }

    // One client per data directory: a second start brings the first forward.
    app::SingleInstance instance(QString::fromStdString(dataDirectory));
    switch (instance.Claim()) {
        case app::SingleInstance::Outcome::Forwarded:
            return 0;
        case app::SingleInstance::Outcome::Failed:
            std::fprintf(stderr, "palindor: %s\n", qPrintable(instance.Error()));
            return 1;
        case app::SingleInstance::Outcome::Primary:
            if (!instance.Error().isEmpty())
                std::fprintf(stderr, "palindor: %s\n", qPrintable(instance.Error()));
            break;
    }

    ui::QtDialogs dialogs;
    app::AppState state(dialogs, std::move(options));
    state.MainWindow().SetGuidePath(app::FindGuide(QCoreApplication::applicationDirPath()));
    QObject::connect(&instance, &app::SingleInstance::activationRequested, &state,
                     [&state] { app::BringForward(state); });
    QObject::connect(&state, &app::AppState::quitRequested, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    state.Start();
    const int result = QApplication::exec();
    state.Shutdown();
    return result;
}
