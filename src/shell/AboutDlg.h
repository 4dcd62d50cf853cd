#pragma once

// The About box: the program's name, its version and what it is for, over
// its own background picture, with one OK button. Shown modally from the
// main window.

#include "ui/SkinnedDlg.h"

class QLabel;
class QPushButton;

namespace shell {

// The version shown in the About box.
QString ProgramVersion();

class CAboutDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    CAboutDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
              QWidget* parent = nullptr);

    QPushButton* OkButton() const { return ok_; }
    QString VersionText() const;

  private:
    QLabel* name_ = nullptr;
    QLabel* version_ = nullptr;
    QLabel* line_ = nullptr;
    QPushButton* ok_ = nullptr;
};

}  // namespace shell
