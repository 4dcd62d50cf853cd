#pragma once

// One application state for a test: its own home, data and key folders under
// a temporary directory, scripted dialogs, and the shrunk timings.

#include <QDir>
#include <QString>
#include <QWidget>
#include <chrono>
#include <memory>
#include <string>

#include "app/AppState.h"
#include "signin/LoginDlg.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"
#include "support/qt/RecordingNotifier.h"
#include "support/qt/ScriptedDialogs.h"

namespace apptest {

inline app::AppState::Options OptionsFor(const testsupport::TempDir& home,
                                         const net::Endpoints& endpoints) {
    app::AppState::Options options;
    options.endpoints = endpoints;
    options.timings = net::Timings::Fast();
    options.environment.home = home.path();
    options.environment.xdgDataHome = home.path() + "/data";
    options.environment.xdgConfigHome = home.path() + "/config";
    return options;
}

struct AppHarness {
    explicit AppHarness(const net::Endpoints& endpoints = {},
                        void (*adjust)(app::AppState::Options&) = nullptr) {
        auto options = OptionsFor(home, endpoints);
        // Nothing pops up on the test machine's desktop.
        options.notifier = &notifier;
        if (adjust) adjust(options);
        state = std::make_unique<app::AppState>(dialogs, options);
    }
    std::string DataFile(const std::string& name) { return state->Client().DataPath(name); }

    // As after a lookup of the demo network on this machine: type the login
    // and confirm it.
    void ConfirmLogin(const QString& username, const QString& password) {
        state->Client().SetNumber("1234567");
        state->Client().SetNetwork("127.0.0.1", 0);
        auto& login = state->LoginWindow();
        login.UsernameField()->setText(username);
        login.PasswordField()->setText(password);
        login.OkButton()->click();
    }

    testsupport::TempDir home;
    testsupport::ScriptedDialogs dialogs;
    testsupport::RecordingNotifier notifier;
    std::unique_ptr<app::AppState> state;
};

// The hidden screenshot mode: scripts/screenshots sets PALINDOR_SCREENSHOT_DIR
// and runs the DISABLED_ screenshot tests; each saves its windows there.
inline QString ScreenshotDir() {
    return qEnvironmentVariable("PALINDOR_SCREENSHOT_DIR");
}

// Lets pending paints and the show delay settle, then saves the window's picture.
inline bool SaveScreenshot(QWidget& w, const QString& dir, const QString& name) {
    testsupport::SpinUntil([] { return false; }, std::chrono::milliseconds(150));
    return w.grab().save(QDir(dir).filePath(name));
}

}  // namespace apptest
