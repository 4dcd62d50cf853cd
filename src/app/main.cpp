// Palindor: starts the application state and runs until the network
// selection window or the main window is closed.

#include <QApplication>

#include "app/AppState.h"
#include "ui/Dialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Palindor"));
    // Windows are hidden and shown throughout the run; only an explicit
    // close of the first or the main window ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    ui::QtDialogs dialogs;
    app::AppState::Options options;
    options.environment = net::Environment::FromProcess();
    app::AppState state(dialogs, std::move(options));
    QObject::connect(&state, &app::AppState::quitRequested, &application, &QApplication::quit,
                     Qt::QueuedConnection);
    state.Start();
    const int result = QApplication::exec();
    state.Shutdown();
    return result;
}
