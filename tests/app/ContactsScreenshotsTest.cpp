// The contacts pictures of the guide, taken from the program like the other
// screenshots (scripts/screenshots runs every ScreenshotsChild case): the
// main window's contacts in their four looks, the contact menu open, and the
// add and find windows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QMenu>
#include <QPainter>

#include "app/AppHarness.h"
#include "contacts/AddContactDlg.h"
#include "contacts/ContactsModule.h"
#include "contacts/FindContactDlg.h"
#include "contacts/ListContacts.h"
#include "shell/MainDlg.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/FixedButton.h"

using apptest::AppHarness;
using testsupport::SpinUntil;

namespace {

void Settle() {
    SpinUntil([] { return false; }, std::chrono::milliseconds(150));
}

bool Save(const QPixmap& picture, const QString& dir, const QString& name) {
    return picture.save(QDir(dir).filePath(name));
}

std::unique_ptr<AppHarness> LogIn(testsupport::LocalNetworkFixture& network, const QString& user,
                                  const QString& password) {
    auto h = std::make_unique<AppHarness>(network.Endpoints());
    h->ConfirmLogin(user, password);
    EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
    return h;
}

contacts::ContactsModule& Contacts(AppHarness& h) {
    return *h.state->FindModule<contacts::ContactsModule>();
}

}  // namespace

TEST(ScreenshotsChild, DISABLED_Contacts) {
    const QString dir = apptest::ScreenshotDir();
    if (dir.isEmpty()) GTEST_SKIP() << "PALINDOR_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(dir));
    testsupport::LocalNetworkFixture network;
    ASSERT_TRUE(network.Start());

    // Bob online, carol away, admin muted, root offline.
    auto alice = LogIn(network, "alice", "alicepass");
    auto bob = LogIn(network, "bob", "bobpass");
    auto carol = LogIn(network, "carol", "carolpass");
    QComboBox* choice = carol->state->MainWindow().StatusChoice();
    choice->setCurrentIndex(1);
    emit choice->activated(1);
    contacts::ContactsModule& m = Contacts(*alice);
    m.AddContact("root");
    const auto tip = [&](const char* name) {
        const auto& rows = m.List()->Model().Rows();
        for (const auto& r : rows)
            if (r.username == name) return contacts::ContactTooltip(r);
        return QString();
    };
    ASSERT_TRUE(SpinUntil([&] {
        return tip("bob") == "bob is online" && tip("carol") == "carol is away" &&
               tip("root") == "root is offline" &&
               tip("admin") == "admin is offline, currently ignored";
    }));
    shell::CzorvicDlg& main = alice->state->MainWindow();
    main.raise();
    main.activateWindow();
    Settle();
    ASSERT_TRUE(Save(main.grab(), dir, "contacts-main.png"));

    // The contact menu over bob, drawn onto the main window where it opens.
    contacts::CListContacts& list = *m.List();
    list.setFocus();
    list.setCurrentIndex(list.model()->index(1, 0));
    const QRect rowRect = list.visualRect(list.model()->index(1, 0));
    const QPoint at = list.viewport()->mapToGlobal(rowRect.center());
    QContextMenuEvent event(QContextMenuEvent::Mouse, rowRect.center(), at);
    QApplication::sendEvent(list.viewport(), &event);
    ASSERT_TRUE(SpinUntil([&] { return m.Menu()->isVisible(); }));
    Settle();
    // The menu reaches past the window's edge: the picture grows to hold it.
    const QPixmap window = main.grab();
    const QPixmap menu = m.Menu()->grab();
    const QPoint inMain = main.mapFromGlobal(m.Menu()->geometry().topLeft());
    const QRect whole = QRect(QPoint(0, 0), window.deviceIndependentSize().toSize())
                            .united(QRect(inMain, menu.deviceIndependentSize().toSize()));
    QPixmap withMenu(whole.size() * window.devicePixelRatio());
    withMenu.setDevicePixelRatio(window.devicePixelRatio());
    withMenu.fill(Qt::white);
    {
        QPainter p(&withMenu);
        p.drawPixmap(QPoint(0, 0), window);
        p.drawPixmap(inMain, menu);
    }
    ASSERT_TRUE(Save(withMenu, dir, "contacts-menu.png"));
    m.Menu()->hide();

    main.ToolButton(shell::Tool::AddContact)->click();
    contacts::CAddContactDlg& add = *m.AddWindow();
    ASSERT_TRUE(SpinUntil([&] { return add.isVisible(); }));
    add.UsernameField()->setText(QStringLiteral("dora"));
    Settle();
    ASSERT_TRUE(Save(add.grab(), dir, "contacts-add.png"));
    add.CancelButton()->click();

    main.ToolButton(shell::Tool::Search)->click();
    contacts::CFindContactDlg& find = *m.FindWindow();
    ASSERT_TRUE(SpinUntil([&] { return find.isVisible(); }));
    find.List()->setCurrentIndex(find.List()->model()->index(2, 0));
    Settle();
    ASSERT_TRUE(Save(find.grab(), dir, "contacts-find.png"));
}
