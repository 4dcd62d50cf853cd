#include <gtest/gtest.h>

#include <QImage>

#include "ui/Skin.h"

namespace {

TEST(SkinRegistration, ModulesAddPicturesAndAReplacementIsNotServedStale) {
    ui::Skin skin(1.0);
    EXPECT_FALSE(skin.Has("IDB_PROBE"));
    skin.RegisterBackground("IDB_PROBE", QSize(120, 80), "Probe");
    ASSERT_TRUE(skin.Has("IDB_PROBE"));
    const QImage first = skin.Bitmap("IDB_PROBE").toImage();
    EXPECT_EQ(skin.SizeOf("IDB_PROBE"), QSize(120, 80));
    EXPECT_GT(skin.HeaderHeight("IDB_PROBE"), 0);

    // Registering the name again replaces the picture, cached or not.
    skin.RegisterBackground("IDB_PROBE", QSize(160, 90), "Other");
    EXPECT_EQ(skin.Bitmap("IDB_PROBE").size(), QSize(160, 90));
    EXPECT_NE(skin.Bitmap("IDB_PROBE").toImage(), first);
}

TEST(SkinRegistration, ButtonsComeInFourLooksAndPillsCarryTheirWords) {
    ui::Skin skin(1.0);
    skin.RegisterButton("PROBE", QSize(36, 36));
    skin.RegisterButton("PILL", QSize(88, 30), "Next");
    skin.RegisterButton("BARE", QSize(88, 30));
    for (const char* looks : {"PROBEU", "PROBED", "PROBEF", "PROBEX"}) {
        EXPECT_EQ(skin.SizeOf(looks), QSize(36, 36)) << looks;
    }
    EXPECT_NE(skin.Bitmap("PROBEU").toImage(), skin.Bitmap("PROBEX").toImage());
    EXPECT_FALSE(skin.Has("PROBEQ"));
    // The words are painted: a pill with them differs from one without.
    EXPECT_NE(skin.Bitmap("PILLU").toImage(), skin.Bitmap("BAREU").toImage());
}

TEST(SkinRegistration, EveryNameAskedForIsRecordedKnownOrNot) {
    ui::Skin skin(1.0);
    skin.RegisterBackground("IDB_PROBE", QSize(50, 50), "");
    skin.Bitmap("IDB_PROBE");
    skin.SizeOf("IDB_NOSUCHTHING");
    skin.Has("NEXTQ");
    EXPECT_EQ(skin.AskedFor(), (QStringList{"IDB_NOSUCHTHING", "IDB_PROBE", "NEXTQ"}));
}

TEST(SkinRegistration, ToolkitPicturesNeedNoModule) {
    ui::Skin skin(1.0);
    for (const char* name : {"IDB_SERVERRESPONSE", "IDB_BKGNDTEXTVIEWERTOP", "IDB_CHECK0",
                             "IDB_BOLDON"}) {
        EXPECT_TRUE(skin.Has(name)) << name;
    }
    EXPECT_TRUE(skin.HasAnimation("GIF_AUTHENTICATING"));
}

}  // namespace
