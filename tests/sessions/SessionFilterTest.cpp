// The main window's session list filter, between a whole program and the
// in-process local network: it narrows the page shown, keeps through the
// next page and a new order, and a double click joins the row seen.

#include <gtest/gtest.h>

#include <QLabel>

#include "app/AppHarness.h"
#include "sessions/SessionPage.h"
#include "sessions/SessionsModule.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FilterEdit.h"
#include "ui/FixedButton.h"
#include "ui/SessionHeaderCtrl.h"

namespace sessions {
namespace {

using testsupport::SpinUntil;

QStringList Shown(CSessionPage& page) {
    QStringList out;
    const auto& rows = page.List().Model().Rows();
    for (int r = 0; r < rows.size(); ++r) {
        if (!page.List().isRowHidden(r, {})) out << rows[r].name;
    }
    return out;
}

TEST(SessionFilter, NarrowsThePageKeepsItThroughRefreshAndOrderAndJoinsTheShownRow) {
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());
    apptest::AppHarness alice(network.Endpoints());
    alice.ConfirmLogin("alice", "alicepass");
    CSessionPage* page = nullptr;
    ASSERT_TRUE(SpinUntil([&] {
        page = alice.state->FindModule<SessionsModule>()->Page();
        return alice.state->MainWindow().isVisible() && page->List().Model().Rows().size() >= 3;
    }));
    const int all = static_cast<int>(Shown(*page).size());
    ASSERT_GE(all, 3);
    // The field sits in the paging row, clear of the text and the buttons.
    const QRect field = page->Filter()->geometry();
    EXPECT_FALSE(field.intersects(page->PageLabel()->geometry()));
    EXPECT_FALSE(field.intersects(page->RefreshButton()->geometry()));
    EXPECT_FALSE(field.intersects(page->List().geometry()));

    page->Filter()->setText("guild");
    QStringList guilds = Shown(*page);
    ASSERT_FALSE(guilds.isEmpty());
    for (const QString& name : guilds) EXPECT_TRUE(name.contains("Guild")) << name.toStdString();

    // The periodic or the user's refresh refills the list: still narrowed.
    page->RefreshButton()->click();
    const QString before = page->PageLabel()->text();
    ASSERT_TRUE(SpinUntil([&] {
        return page->List().Model().Rows().size() == all && page->PageLabel()->text() == before;
    }));
    EXPECT_EQ(Shown(*page), guilds);
    // Another order from the server: the same page's guilds, still alone.
    page->List().Header().Click(2);
    ASSERT_TRUE(SpinUntil([&] { return page->List().Model().Rows().size() == all; }));
    SpinUntil([] { return false; }, std::chrono::milliseconds(100));
    for (const QString& name : Shown(*page)) EXPECT_TRUE(name.contains("Guild")) << name.toStdString();

    // A double click on the row seen asks for that row's session.
    const auto& rows = page->List().Model().Rows();
    int shown = -1;
    for (int r = 0; r < rows.size(); ++r)
        if (!page->List().isRowHidden(r, {})) shown = r;
    ASSERT_GE(shown, 0);
    int activated = -1;
    QObject::connect(&page->List(), &CSessionListView::RowActivated,
                     [&](int row) { activated = row; });
    emit page->List().doubleClicked(page->List().model()->index(shown, 0));
    EXPECT_EQ(activated, shown);
    EXPECT_TRUE(rows[activated].name.contains("Guild"));

    page->Filter()->clear();
    EXPECT_EQ(static_cast<int>(Shown(*page).size()), all);
}

}  // namespace
}  // namespace sessions
