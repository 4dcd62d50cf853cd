#include "app/MainDlg.h"

#include "app/SignInChecks.h"

namespace app {

CzorvicDlg::CzorvicDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    SetBackground(QStringLiteral("IDB_MAINDIALOG"));
    SetClientSize(kClientSize);
    setWindowTitle(QStringLiteral("Palindor"));
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
}

QPoint CzorvicDlg::Placement(const QRect& screen) {
    return QPoint(screen.x() + screen.width() / 2 - 327, screen.y() + screen.height() / 2 - 190);
}

QString CzorvicDlg::TitleFor(const std::string& number) {
    return QString::asprintf("Connected to %s - Palindor",
                             DottedNumber(number).toUtf8().constData());
}

void CzorvicDlg::ShowMainWindow(const std::string& number) {
    if (skipNextShow_) {
        skipNextShow_ = false;
        return;
    }
    setWindowTitle(TitleFor(number));
    ShowInFront(ui::ShowPlacement::At(Placement(ScreenRect())));
}

void CzorvicDlg::EndOfLogin(const std::string& number) {
    skipNextShow_ = false;
    ShowMainWindow(number);
}

void CzorvicDlg::reject() {
    hide();
    emit quitRequested();
}

}  // namespace app
