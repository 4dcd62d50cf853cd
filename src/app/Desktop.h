#pragma once

// What the program tells the desktop about itself, and where it finds what
// is installed with it.

#include <QString>

class QWidget;

namespace app {

class AppState;

// The name of the desktop entry and the icons: task bars, docks and
// notifications match windows to the entry by it.
inline constexpr char kDesktopFileName[] = "example.palindor.Palindor";

// Sets the application's name, version, organisation, desktop file name and
// window icon.
void SetApplicationIdentity();

// The guide: beside the program in a build tree, else in the documentation
// folder of the installation the program runs from (found relative to the
// program, so that a moved prefix still finds it), else where the build was
// told it would be installed. Returns the first that exists, or the beside
// path when none does.
QString FindGuide(const QString& programFolder);

// Brings the running client to the user: the main window back from the tray
// or from being minimised when signed in, and every shown window of this
// client raised and activated (with a task-bar alert when the window manager
// refuses the focus).
void BringForward(AppState& state);

}  // namespace app
