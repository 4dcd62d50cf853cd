#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "support/qt/ScriptedDialogs.h"
#include "ui/FixedButton.h"
#include "ui/ImageToggle.h"
#include "app/Modules.h"
#include "ui/Skin.h"
#include "ui/SkinnedDlg.h"

namespace {

// A sign-in window as the windows build it, for the sheet below.
QPixmap SampleWindow(const ui::Skin& skin, ui::Dialogs& dialogs) {
    ui::CSkinnedDlg dlg(skin, dialogs, net::Timings::Fast());
    dlg.SetBackground("IDB_BKGNDLOGIN");
    const int top = skin.HeaderHeight("IDB_BKGNDLOGIN") + 14;
    auto* userLabel = new QLabel("Username", &dlg);
    userLabel->setGeometry(14, top + 4, 60, 14);
    auto* user = new QLineEdit("alice", &dlg);
    user->setGeometry(85, top, 198, 22);
    auto* passLabel = new QLabel("Password", &dlg);
    passLabel->setGeometry(14, top + 34, 60, 14);
    auto* pass = new QLineEdit("secret", &dlg);
    pass->setEchoMode(QLineEdit::Password);
    pass->setGeometry(85, top + 30, 198, 22);
    auto* remember = ui::CImageToggle::CheckBox(skin, &dlg, QPoint(85, 113), QSize(214, 13));
    remember->SetValue(true);
    auto* rememberText = new QLabel("Remember my login", &dlg);
    rememberText->setGeometry(104, 112, 180, 15);
    auto* create = new QPushButton("Create Account", &dlg);
    create->setGeometry(14, 172, 120, 28);
    auto* next = new ui::CFixedButton(skin, "NEXT", &dlg);
    next->move(336 - 14 - next->width(), 171);
    return dlg.grab();
}

// Renders every picture and a sample window onto one sheet. The sheet must
// hold real drawing; with PALINDOR_GALLERY_DIR set it is written there as
// skin-gallery.png to look at.
TEST(SkinGallery, Sheet) {
    ui::Skin skin(2.0);
    app::RegisterEveryPicture(skin);
    testsupport::ScriptedDialogs dialogs;
    const QStringList names = skin.Names();
    const char* const captions[] = {
        "NEXT",       "BACK",       "LEFT",          "RIGHT",       "REFRESH",     "MAIL",
        "MAILACTIVE", "ADDCONTACT", "SEARCH",        "ACCOUNTINFO", "NETWORKINFO", "HELP",
        "SETTINGS",   "SESSIONS",   "DOCUMENTS",     "WHITEBOARD",  "NOTEPAD",     "COFFEE",
        "INVITE",     "POLL",       "HISTORY",       "INFO",        "PENCIL",      "ERASER",
        "TEXT",       "NEWMESSAGE", "DELETEMESSAGE", "MARKREAD",    "MARKUNREAD",  "MOVETOFOLDER",
        "NEWFOLDER",  "MANAGELEFT", "MANAGERIGHT"};
    const int width = 1100;
    QImage sheet(QSize(width, 1700) * 2, QImage::Format_ARGB32);
    sheet.setDevicePixelRatio(2.0);
    sheet.fill(QColor(0xFF, 0xFF, 0xFF));
    QPainter p(&sheet);
    int x = 16;
    int y = 16;
    int row = 0;
    auto heading = [&](const QString& text) {
        y += row + (row > 0 ? 18 : 0);
        x = 16;
        row = 0;
        p.setFont(ui::Skin::Font(13, 700));
        p.setPen(ui::Skin::Ink());
        p.drawText(QPoint(16, y + 13), text);
        y += 24;
    };
    auto place = [&](const QPixmap& pixmap, int gap = 10) {
        const QSize s = pixmap.deviceIndependentSize().toSize();
        if (x + s.width() > width - 16) {
            x = 16;
            y += row + 10;
            row = 0;
        }
        p.drawPixmap(QPoint(x, y), pixmap);
        x += s.width() + gap;
        row = qMax(row, s.height());
    };
    heading("Image buttons: up, focused, down, disabled");
    for (const char* caption : captions) {
        for (QChar suffix : {'U', 'F', 'D', 'X'}) place(skin.Bitmap(caption + QString(suffix)), 6);
        x += 14;
    }
    heading("Toggles, check box states 0-5, presence, status, tray, list icons, links");
    QStringList small;
    for (const QString& name : names) {
        const QSize s = skin.SizeOf(name);
        if ((name.startsWith("IDB_") || name.startsWith("IDI_")) && s.height() <= 40 &&
            s.width() <= 210 && !name.contains("TEXTVIEWER") && !name.contains("IMCONVERSATION"))
            small << name;
    }
    for (const QString& name : small) place(skin.Bitmap(name));
    heading("Sign-in results and animation");
    for (int i = 0; i < 4; ++i) place(skin.Bitmap(QStringLiteral("IDB_AUTHENTICATING%1").arg(i)));
    for (int i = 0; i < 13; ++i) place(skin.Bitmap(QStringLiteral("IDB_CREATINGACCOUNT%1").arg(i)));
    const auto frames = skin.Animation("GIF_AUTHENTICATING");
    for (int i = 0; i < frames.size(); i += 3) place(frames[i].picture);
    heading("Windows");
    place(SampleWindow(skin, dialogs), 16);
    for (const char* name :
         {"IDB_SERVERRESPONSE", "IDB_BKGNDACCOUNTCHANGEFULLNAME", "IDB_MAILALERT"}) {
        place(skin.Bitmap(name), 16);
    }
    p.end();
    const QImage used = sheet.copy(0, 0, sheet.width(), qMin(sheet.height(), (y + row + 16) * 2));
    EXPECT_GT(y, 300);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    const QByteArray dir = qgetenv("PALINDOR_GALLERY_DIR");
    if (!dir.isEmpty()) {
        EXPECT_TRUE(used.save(QDir(QString::fromLocal8Bit(dir)).filePath("skin-gallery.png")));
    }
}

}  // namespace
