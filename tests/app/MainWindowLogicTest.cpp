#include <gtest/gtest.h>

#include <QHeaderView>
#include <QMenu>
#include <QSystemTrayIcon>
#include <cstring>
#include <fstream>

#include "app/ListContacts.h"
#include "app/ListSessionsZorvic.h"
#include "app/MainWindowLogic.h"
#include "app/TrayIcon.h"
#include "support/TempDir.h"
#include "ui/Skin.h"

namespace app {
namespace {

TEST(MainWindowLogic, TitleCarriesTheDottedNumber) {
    EXPECT_EQ(MainWindowTitle("1234567"), "Connected to 123.4567 - Palindor");
    EXPECT_EQ(MainWindowTitle("7654321"), "Connected to 765.4321 - Palindor");
    // Nothing to split: shown as it is rather than with a dangling dot.
    EXPECT_EQ(MainWindowTitle("123"), "Connected to 123 - Palindor");
}

TEST(MainWindowLogic, PageCountTextAndPagingButtons) {
    EXPECT_EQ(SessionPageCount(0, 20), 1);
    EXPECT_EQ(SessionPageCount(40, 20), 2);
    EXPECT_EQ(SessionPageCount(41, 20), 3);
    EXPECT_EQ(SessionPageCount(5, 0), 1);  // a nonsense page size must not divide by zero
    EXPECT_EQ(PageText(0, 1, 0), "Page 1 of 1; total sessions: 0");
    EXPECT_EQ(PageText(1, 3, 41), "Page 2 of 3; total sessions: 41");
    EXPECT_FALSE(CanGoToPreviousPage(0));
    EXPECT_FALSE(CanGoToNextPage(0, 1));
    EXPECT_TRUE(CanGoToPreviousPage(1));
    EXPECT_TRUE(CanGoToNextPage(1, 3));
    EXPECT_FALSE(CanGoToNextPage(2, 3));
}

TEST(MainWindowLogic, RefreshOnlyWhileLoggedInAndTheListIsLeftAlone) {
    // Either connection not logged in: nothing at all.
    for (auto [net, file] : {std::pair{false, true}, std::pair{true, false}}) {
        const RefreshDecision d = DecideRefresh(net, file, 1000, 0);
        EXPECT_FALSE(d.refreshSessionPage);
        EXPECT_FALSE(d.refreshOthers);
    }
    const RefreshDecision recent = DecideRefresh(true, true, 109, 100);
    EXPECT_FALSE(recent.refreshSessionPage);
    EXPECT_TRUE(recent.refreshOthers);  // the other windows refresh regardless
    const RefreshDecision idle = DecideRefresh(true, true, 110, 100);
    EXPECT_TRUE(idle.refreshSessionPage);
    EXPECT_TRUE(idle.refreshOthers);
}

TEST(MainWindowLogic, StatusChoiceAndTrayMenuOfferTheOtherStatus) {
    EXPECT_EQ(StatusChoiceIndex(kStatusOnline), 0);
    EXPECT_EQ(StatusChoiceIndex(kStatusAway), 1);
    EXPECT_EQ(StatusFromChoiceIndex(1), kStatusAway);
    EXPECT_EQ(StatusFromChoiceIndex(0), kStatusOnline);
    EXPECT_EQ(TrayStatusItemText(kStatusOnline), "I am away");
    EXPECT_EQ(TrayStatusItemTarget(kStatusOnline), kStatusAway);
    EXPECT_EQ(TrayStatusItemText(kStatusAway), "I am online");
    EXPECT_EQ(TrayStatusItemTarget(kStatusAway), kStatusOnline);
}

TEST(MainWindowLogic, BlinkAlternatesWhileHiddenAndStopsOnceBack) {
    TrayBlink blink;
    blink.Start();
    TrayBlink::Tick t = blink.OnTick(true, kStatusAway);
    EXPECT_EQ(t.picture, TrayPicture::Alert);
    EXPECT_TRUE(t.keepRunning);
    t = blink.OnTick(true, kStatusAway);
    EXPECT_EQ(t.picture, TrayPicture::Away);
    t = blink.OnTick(true, kStatusAway);
    EXPECT_EQ(t.picture, TrayPicture::Alert);
    // The window came back while the alert picture was up.
    t = blink.OnTick(false, kStatusAway);
    EXPECT_EQ(t.picture, TrayPicture::Away);
    EXPECT_FALSE(t.keepRunning);
    EXPECT_FALSE(blink.Running());
    EXPECT_FALSE(blink.Flag());
    // A later blink starts again with the alert picture.
    blink.Start();
    EXPECT_EQ(blink.OnTick(true, kStatusOnline).picture, TrayPicture::Alert);
}

// Reads a finished outgoing message back as a server would.
struct Received {
    net::MessageBuffer buffer;
    net::bufHeader header;
};
std::unique_ptr<Received> Receive(const net::MessageBuffer& sent) {
    auto r = std::make_unique<Received>();
    std::memcpy(r->buffer.data, sent.data, static_cast<size_t>(sent.remaining));
    r->buffer.done = sent.remaining;
    if (r->buffer.ParseHeader(r->header) != net::kParseComplete) return nullptr;
    return r;
}

TEST(MainWindowLogic, StatusAndPageRequestsOnTheWire) {
    auto status = BuildStatusMessage(kStatusAway);
    ASSERT_NE(status, nullptr);
    auto got = Receive(*status);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->header.nDescPrimary, +net::Primary::Contact);
    EXPECT_EQ(got->header.nDescSecondary, +net::Secondary::Message);
    EXPECT_EQ(got->header.nMsgLength, 44);
    net::MessageReader statusReader(got->buffer, got->header);
    EXPECT_EQ(statusReader.Code(), 5);
    int32_t value = 0;
    ASSERT_TRUE(statusReader.Int(1, 2, value));
    EXPECT_EQ(value, kStatusAway);

    auto page = BuildSessionListRequest(kInitialSortCode, 2, kMainPageSize, kMainListSelector, 1);
    ASSERT_NE(page, nullptr);
    got = Receive(*page);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->header.nDescPrimary, +net::Primary::Session);
    EXPECT_EQ(got->header.nMsgLength, 60);  // always 60 bytes
    net::MessageReader pageReader(got->buffer, got->header);
    EXPECT_EQ(pageReader.Code(), 3);
    const int32_t expected[] = {3, 2, 20, 0, 1};
    for (int32_t want : expected) {
        ASSERT_TRUE(pageReader.Int(-1, -1, value));
        EXPECT_EQ(value, want);
    }
}

TEST(MainWindowLogic, TrayOptionComesFromTheSettingsFile) {
    testsupport::TempDir dir;
    const std::string path = dir.path() + "/settings.dat";
    EXPECT_FALSE(ReadTrayOption(path));  // no file: the default, off
    auto write = [&](size_t size, char tray) {
        std::string bytes(size, '\0');
        if (size > 26) bytes[26] = tray;
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    };
    write(27, 1);
    EXPECT_TRUE(ReadTrayOption(path));
    write(27, 0);
    EXPECT_FALSE(ReadTrayOption(path));
    write(28, 1);  // not a settings file
    EXPECT_FALSE(ReadTrayOption(path));
    write(12, 1);
    EXPECT_FALSE(ReadTrayOption(path));
}

TEST(MainWindowTray, AddedOnceMenuFollowsStatusAndLeftClickShows) {
    ui::Skin skin(1.0);
    CTrayIcon tray(skin, net::Timings::Fast());
    EXPECT_TRUE(tray.Add(kStatusAway));
    EXPECT_FALSE(tray.Add(kStatusOnline));
    EXPECT_EQ(tray.findChildren<QSystemTrayIcon*>().size(), 1);
    ASSERT_NE(tray.Icon(), nullptr);
    EXPECT_EQ(tray.Icon()->toolTip(), "Palindor");
    EXPECT_EQ(tray.Picture(), TrayPicture::Away);
    EXPECT_EQ(tray.StatusAction()->text(), "I am online");

    const QList<QAction*> items = tray.Menu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_TRUE(items[1]->isSeparator());
    EXPECT_EQ(items[2]->text(), "Exit");

    std::vector<int32_t> chosen;
    QObject::connect(&tray, &CTrayIcon::StatusChosen, [&](int32_t s) { chosen.push_back(s); });
    tray.StatusAction()->trigger();
    EXPECT_EQ(chosen, std::vector<int32_t>{kStatusOnline});
    tray.SetStatus(kStatusOnline);
    EXPECT_EQ(tray.StatusAction()->text(), "I am away");
    EXPECT_EQ(tray.Picture(), TrayPicture::Online);

    int shown = 0;
    QObject::connect(&tray, &CTrayIcon::ShowRequested, [&] { ++shown; });
    tray.Activate(QSystemTrayIcon::Context);
    EXPECT_EQ(shown, 0);
    tray.Activate(QSystemTrayIcon::Trigger);
    EXPECT_EQ(shown, 1);

    int exits = 0;
    QObject::connect(&tray, &CTrayIcon::ExitChosen, [&] { ++exits; });
    tray.ExitAction()->trigger();
    EXPECT_EQ(exits, 1);
}

TEST(MainWindowTray, BlinkStopsAsSoonAsTheWindowIsBack) {
    ui::Skin skin(1.0);
    CTrayIcon tray(skin, net::Timings::Fast());
    tray.Add(kStatusOnline);
    bool hidden = true;
    tray.SetHiddenInTrayQuery([&] { return hidden; });
    tray.StartBlink();
    EXPECT_TRUE(tray.Blinking());
    tray.BlinkTick();
    EXPECT_EQ(tray.Picture(), TrayPicture::Alert);
    tray.BlinkTick();
    EXPECT_EQ(tray.Picture(), TrayPicture::Online);
    tray.BlinkTick();
    hidden = false;
    tray.BlinkTick();
    EXPECT_EQ(tray.Picture(), TrayPicture::Online);
    EXPECT_FALSE(tray.Blinking());
}

TEST(MainWindowLists, ContactPicturesStylesAndTooltips) {
    const ContactRow mutedOnline{"bob", true, 1};
    EXPECT_EQ(ContactPicture(mutedOnline), 3);
    EXPECT_EQ(ContactTooltip(mutedOnline), "bob is online, currently ignored");
    EXPECT_EQ(ContactPicture({"al", false, 2}), 2);
    EXPECT_EQ(ContactTooltip({"al", false, 2}), "al is away");
    EXPECT_EQ(ContactTooltip({"al", false, 0}), "al is offline");
    EXPECT_EQ(ContactPicture({"x", false, 9}), 0);
    EXPECT_EQ(ContactTooltip({"x", false, 9}), "x is <unknown status>");

    ui::Skin skin(1.0);
    CListContacts list(skin);
    list.Model().SetRows({{"alice", false, 1}, {"carol", true, 1}});
    EXPECT_TRUE(list.isHeaderHidden());
    EXPECT_EQ(list.columnWidth(0), 135);
    const QModelIndex online = list.model()->index(0, 0);
    const QModelIndex muted = list.model()->index(1, 0);
    EXPECT_TRUE(online.data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(online.data(Qt::ForegroundRole).value<QColor>(), QColor(0, 0, 255));
    EXPECT_FALSE(muted.data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(muted.data(Qt::ForegroundRole).value<QColor>(), QColor(128, 128, 128));
    EXPECT_FALSE(online.data(Qt::DecorationRole).value<QPixmap>().isNull());
}

TEST(MainWindowLists, SessionListColumnsArrowAndOccupiedRows) {
    ui::Skin skin(1.0);
    CListSessionsZorvic list(skin);
    const int widths[] = {150, 82, 81, 75};
    const char* titles[] = {"Name", "Created", "By", "Participants"};
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(list.columnWidth(c), widths[c]);
        EXPECT_EQ(list.model()->headerData(c, Qt::Horizontal).toString(), titles[c]);
    }
    EXPECT_EQ(list.SortArrowColumn(), CSessionsZorvicModel::kCreated);
    EXPECT_FALSE(list.SortArrowUp());
    EXPECT_EQ(list.selectionBehavior(), QAbstractItemView::SelectRows);

    list.Model().SetRows({{"abc123", "Lobby", "1:00:00pm", "alice", 3, false},
                          {"xyz789", "Quiet", "3/7/2008", "bob", 0, true}});
    const QAbstractItemModel* m = list.model();
    EXPECT_EQ(m->index(0, 3).data().toString(), "3");
    EXPECT_EQ(m->index(0, 3).data(Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
    EXPECT_EQ(m->index(0, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(215, 229, 253));
    EXPECT_EQ(m->index(1, 1).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));

    QStringList joins;
    QObject::connect(&list, &CListSessionsZorvic::JoinRequested,
                     [&](const QString& id) { joins << id; });
    emit list.doubleClicked(m->index(1, 2));
    EXPECT_EQ(joins, QStringList{"xyz789"});
}

}  // namespace
}  // namespace app
