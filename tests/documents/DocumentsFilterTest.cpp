// The documents list's filter field, between a whole program and the
// in-process local network.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/AppHarness.h"
#include "documents/DocumentsModule.h"
#include "documents/DocumentsSmallDlgs.h"
#include "documents/ShareDocumentsDlg.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FilterEdit.h"
#include "ui/FixedButton.h"

namespace documents {
namespace {

using testsupport::SpinUntil;

QStringList Shown(const CDocumentsBrowserDlg& w) {
    QStringList out;
    const auto& entries = w.Model().Entries();
    for (int r = 0; r < static_cast<int>(entries.size()); ++r) {
        if (!w.List()->isRowHidden(r, {})) out << QString::fromStdString(entries[r].name);
    }
    out.sort();
    return out;
}

TEST(DocumentsFilter, NarrowsKeepsThroughARefreshAndOpensTheShownRow) {
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    apptest::AppHarness alice(network.Endpoints());
    alice.ConfirmLogin("alice", "alicepass");
    ASSERT_TRUE(SpinUntil([&] { return alice.state->MainWindow().isVisible(); }));
    CShareDocumentsDlg& share = *alice.state->FindModule<DocumentsModule>()->ShareWindow();
    alice.state->MainWindow().ToolButton(shell::Tool::Documents)->click();
    ASSERT_TRUE(SpinUntil([&] { return share.isVisible() && Shown(share).size() == 3; }));
    EXPECT_EQ(Shown(share), (QStringList{"Private", "Projects", "welcome.txt"}));

    share.Filter()->setText(".TXT");
    EXPECT_EQ(Shown(share), QStringList{"welcome.txt"});
    share.Filter()->setText("PROJ");
    EXPECT_EQ(Shown(share), QStringList{"Projects"});

    // A new folder refreshes the listing: still filtered, the new row too.
    share.NewFolderButton()->click();
    share.NewFolderWindow().Field()->setText("Projections");
    share.NewFolderWindow().OkButton()->click();
    ASSERT_TRUE(SpinUntil([&] { return share.Model().Entries().size() == 4; }));
    EXPECT_EQ(Shown(share), (QStringList{"Projections", "Projects"}));

    // Opening a shown row opens that row's folder, shown unfiltered.
    const auto& entries = share.Model().Entries();
    int row = -1;
    for (int r = 0; r < static_cast<int>(entries.size()); ++r)
        if (entries[r].name == "Projects") row = r;
    ASSERT_GE(row, 0);
    emit share.List()->doubleClicked(share.Model().index(row, 0));
    ASSERT_TRUE(SpinUntil([&] { return share.PathText()->text() == "/Projects"; }));
    EXPECT_TRUE(share.Filter()->text().isEmpty());
    EXPECT_EQ(Shown(share).size(), static_cast<int>(share.Model().Entries().size()));
}

}  // namespace
}  // namespace documents
