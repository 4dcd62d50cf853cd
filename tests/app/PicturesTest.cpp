#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QSet>

#include "app/AppHarness.h"
#include "app/Modules.h"
#include "shell/MainDlg.h"
#include "shell/TrayIcon.h"
#include "ui/Skin.h"

namespace {

// A skin with every picture of the program, as the composition registers them.
ui::Skin FullSkin(qreal ratio) {
    ui::Skin skin(ratio);
    app::RegisterEveryPicture(skin);
    return skin;
}

// Picture names the windows of the program and those still to come ask for,
// as they spell them.
const char* const kWindowPictures[] = {
    "IDB_ABOUTDLG",
    "IDB_ADDCONTACT",
    "IDB_BKGNDACCOUNTCHANGEFULLNAME",
    "IDB_BKGNDACCOUNTCHANGEPASSWORD",
    "IDB_BKGNDACCOUNTINFO",
    "IDB_BKGNDAUTHENTICATING",
    "IDB_BKGNDCREATINGACCOUNT",
    "IDB_BKGNDLOGIN",
    "IDB_BKGNDSETTINGS",
    "IDB_BKGNDTEXTVIEWERBOTTOM",
    "IDB_BKGNDTEXTVIEWERSIDE",
    "IDB_BKGNDTEXTVIEWERTOP",
    "IDB_CREATEACCOUNT",
    "IDB_IMCONVERSATIONBOTTOM",
    "IDB_IMCONVERSATIONSIDE",
    "IDB_IMCONVERSATIONTOP",
    "IDB_INVITEPROMPT",
    "IDB_MAILBOXBOTTOM",
    "IDB_MAILBOXLEFT",
    "IDB_MAILBOXRIGHT",
    "IDB_MAILBOXTOP",
    "IDB_MAINDIALOG",
    "IDB_POLLBALLOT",
    "IDB_SERVERRESPONSE",
    "IDB_SESSIONMIDDLE",
    "IDB_WHITEBOARDTOP",
    "IDB_WHITEBOARDLEFT",
    "IDB_WHITEBOARDRIGHT",
    "IDB_WHITEBOARDBOTTOM",
    "IDB_SESSIONTOP",
    "IDB_SESSIONLEFT",
    "IDB_SESSIONRIGHT",
    "IDB_SESSIONBOTTOM",
    "IDB_BKGNDCONNECT",
    "IDB_LINK",
    "IDB_LINKHOVER",
    "IDB_STATUSONLINE",
    "IDB_STATUSAWAY",
    "IDB_PRESENCEOFFLINE",
    "IDB_PRESENCEONLINE",
    "IDB_PRESENCEAWAY",
    "IDB_PRESENCEMUTED",
    "IDB_AUTHENTICATINGBANNER",
    "IDB_CREATINGACCOUNTBANNER",
    "IDB_BOLDOFF",
    "IDB_BOLDON",
    "IDB_ITALICOFF",
    "IDB_ITALICON",
    "IDB_UNDERLINEOFF",
    "IDB_UNDERLINEON",
};

const char* const kCaptions[] = {
    "NEXT",         "BACK",        "BACKINFO",       "LEFT",           "RIGHT",       "REFRESH",
    "MAIL",         "MAILACTIVE",  "ADDCONTACT",     "SEARCH",         "ACCOUNTINFO", "NETWORKINFO",
    "HELP",         "SETTINGS",    "SESSIONS",       "DOCUMENTS",      "WHITEBOARD",  "NOTEPAD",
    "COFFEE",       "INVITE",      "POLL",           "HISTORY",        "INFO",        "PENCIL",
    "ERASER",       "TEXT",        "NEWMESSAGE",     "DELETEMESSAGE",  "MARKREAD",    "MARKUNREAD",
    "MOVETOFOLDER", "NEWFOLDER",   "MANAGELEFT",     "MANAGERIGHT",    "BALLOTPREV",  "BALLOTNEXT",
    "RESULTSPREV",  "RESULTSNEXT", "INDIVIDUALPREV", "INDIVIDUALNEXT",
};

// A picture that is blank or one flat colour is a drawing fault.
bool HasDrawing(const QPixmap& pixmap) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += qMax(1, image.height() / 24)) {
        for (int x = 0; x < image.width(); ++x) colours.insert(image.pixel(x, y));
        if (colours.size() > 2) return true;
    }
    return false;
}

TEST(Skin, EveryWindowPictureExistsAtItsWindowSize) {
    ui::Skin skin = FullSkin(1.0);
    for (const char* name : kWindowPictures) {
        const QPixmap picture = skin.Bitmap(QString::fromLatin1(name));
        ASSERT_FALSE(picture.isNull()) << name;
        EXPECT_EQ(picture.size(), skin.SizeOf(QString::fromLatin1(name))) << name;
    }
    // Sizes the windows depend on.
    EXPECT_EQ(skin.SizeOf("IDB_SERVERRESPONSE"), QSize(296, 188));
    EXPECT_EQ(skin.SizeOf("IDB_BKGNDLOGIN"), QSize(336, 213));
    EXPECT_EQ(skin.SizeOf("IDB_BKGNDCREATINGACCOUNT"), QSize(360, 208));
    EXPECT_EQ(skin.SizeOf("IDB_MAINDIALOG"), QSize(654, 349));
    EXPECT_EQ(skin.SizeOf("IDB_BKGNDACCOUNTCHANGEFULLNAME"), QSize(288, 136));
    EXPECT_EQ(skin.SizeOf("IDB_ABOUTDLG"), QSize(375, 182));
    EXPECT_EQ(skin.SizeOf("IDB_IMCONVERSATIONTOP"), QSize(387, 20));
    EXPECT_EQ(skin.SizeOf("IDB_IMCONVERSATIONSIDE"), QSize(20, 233));
    EXPECT_EQ(skin.SizeOf("IDB_IMCONVERSATIONBOTTOM"), QSize(347, 53));
    EXPECT_EQ(skin.SizeOf("IDB_CHECK0"), QSize(13, 13));
    EXPECT_EQ(skin.SizeOf("IDB_PRESENCEONLINE"), QSize(16, 16));
    EXPECT_EQ(skin.SizeOf("IDB_LINK"), QSize(119, 19));
}

TEST(Skin, EveryCaptionHasFourDistinctLooks) {
    ui::Skin skin = FullSkin(1.0);
    for (const char* caption : kCaptions) {
        QVector<QImage> looks;
        for (QChar suffix : {'U', 'D', 'F', 'X'}) {
            const QString name = QString::fromLatin1(caption) + suffix;
            const QPixmap picture = skin.Bitmap(name);
            ASSERT_FALSE(picture.isNull()) << name.toStdString();
            EXPECT_TRUE(HasDrawing(picture)) << name.toStdString();
            looks.push_back(picture.toImage());
        }
        for (int i = 0; i < looks.size(); ++i) {
            for (int j = i + 1; j < looks.size(); ++j) {
                EXPECT_NE(looks[i], looks[j]) << caption << " looks " << i << " and " << j;
            }
        }
    }
}

TEST(Skin, StatePicturesDifferAndResultsSayDifferentThings) {
    ui::Skin skin = FullSkin(1.0);
    QVector<QImage> images;
    QStringList names;
    for (int i = 0; i < 6; ++i) names << QStringLiteral("IDB_CHECK%1").arg(i);
    for (int i = 0; i < 4; ++i) names << QStringLiteral("IDB_AUTHENTICATING%1").arg(i);
    for (int i = 0; i < 13; ++i) names << QStringLiteral("IDB_CREATINGACCOUNT%1").arg(i);
    names << "IDB_PRESENCEOFFLINE"
          << "IDB_PRESENCEONLINE"
          << "IDB_PRESENCEAWAY"
          << "IDB_PRESENCEMUTED"
          << "IDI_ONLINE"
          << "IDI_AWAY"
          << "IDI_ALERT";
    for (const QString& name : names) {
        ASSERT_TRUE(skin.Has(name)) << name.toStdString();
        EXPECT_TRUE(HasDrawing(skin.Bitmap(name))) << name.toStdString();
        images.push_back(skin.Bitmap(name).toImage());
    }
    for (int i = 0; i < images.size(); ++i) {
        for (int j = i + 1; j < images.size(); ++j) {
            if (images[i].size() == images[j].size()) {
                EXPECT_NE(images[i], images[j])
                    << names[i].toStdString() << " " << names[j].toStdString();
            }
        }
    }
}

TEST(Skin, UnknownNamesGiveNothing) {
    ui::Skin skin = FullSkin(1.0);
    EXPECT_FALSE(skin.Has("IDB_NOSUCHTHING"));
    EXPECT_TRUE(skin.Bitmap("IDB_NOSUCHTHING").isNull());
    EXPECT_FALSE(skin.SizeOf("IDB_NOSUCHTHING").isValid());
    EXPECT_TRUE(skin.Bitmap("NEXTQ").isNull());
    EXPECT_TRUE(skin.FramePieces("IDB_NOSUCH").isEmpty());
    EXPECT_TRUE(skin.Animation("GIF_NOSUCH").isEmpty());
}

TEST(Skin, DenserScreensGetSharperPicturesOfTheSameLogicalSize) {
    ui::Skin normal = FullSkin(1.0);
    ui::Skin dense = FullSkin(1.5);
    for (const QString name : {"IDB_BKGNDLOGIN", "NEXTU", "IDB_CHECK3", "IDB_MAILBOXTOP"}) {
        const QPixmap a = normal.Bitmap(name);
        const QPixmap b = dense.Bitmap(name);
        EXPECT_EQ(a.deviceIndependentSize(), b.deviceIndependentSize()) << name.toStdString();
        EXPECT_EQ(b.width(), a.width() * 2) << name.toStdString();
        EXPECT_EQ(dense.SizeOf(name), normal.SizeOf(name));
    }
}

TEST(Skin, FramesTileTheirWindowsAndAnimationsPlay) {
    ui::Skin skin = FullSkin(1.0);
    for (const QString prefix : {"IDB_MAILBOX", "IDB_SESSION", "IDB_WHITEBOARD",
                                 "IDB_IMCONVERSATION", "IDB_BKGNDTEXTVIEWER", "IDB_FINDCONTACT"}) {
        const QSize client = skin.FrameClientSize(prefix);
        ASSERT_TRUE(client.isValid()) << prefix.toStdString();
        for (const ui::SkinFramePiece& piece : skin.FramePieces(prefix)) {
            const QRect where(piece.pos, skin.SizeOf(piece.name));
            EXPECT_TRUE(QRect(QPoint(0, 0), client).contains(where)) << piece.name.toStdString();
        }
    }
    EXPECT_EQ(skin.FramePieces("IDB_SESSION").size(), 5);
    for (const QString& name : skin.AnimationNames()) {
        const auto frames = skin.Animation(name);
        ASSERT_GE(frames.size(), 2) << name.toStdString();
        EXPECT_NE(frames[0].picture.toImage(), frames[1].picture.toImage());
        for (const auto& frame : frames) EXPECT_GT(frame.delayMs, 0);
    }
}

// Every name a window of the composed program asks for, while it is built,
// shown and painted, is registered by someone: the shell, the sign-in flow or
// a module (or the toolkit).
TEST(Pictures, EveryPictureTheProgramAsksForIsRegistered) {
    apptest::AppHarness h;
    h.state->Start();
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible()) w->grab();
    }
    h.state->MainWindow().grab();
    h.state->LoginWindow().grab();
    h.state->MainWindow().Tray().Add(shell::kStatusAway);
    const QStringList asked = h.state->Skin().AskedFor();
    // The main window, its tools and the modules' lists were among them.
    for (const char* name : {"IDB_MAINDIALOG", "ADDCONTACTU", "IDB_PRESENCEONLINE", "LEFTU",
                             "IDB_SESSIONOPEN", "IDB_BKGNDCONNECT", "IDI_AWAY"}) {
        EXPECT_TRUE(asked.contains(QString::fromLatin1(name))) << name;
    }
    for (const QString& name : asked) {
        EXPECT_TRUE(h.state->Skin().Has(name)) << name.toStdString();
    }
}

}  // namespace
