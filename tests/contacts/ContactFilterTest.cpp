// The filter fields of the contact list and of "Find a Contact", between a
// whole program and the in-process local network, and the conversation
// window's export.

#include <gtest/gtest.h>

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QTest>
#include <QTreeView>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "contacts/FindContactDlg.h"
#include "contacts/IMConversationDlg.h"
#include "contacts/ListContacts.h"
#include "shell/MainDlg.h"
#include "support/TempDir.h"
#include "support/qt/LocalNetworkFixture.h"
#include "support/qt/ScriptedDialogs.h"
#include "ui/FilterEdit.h"
#include "ui/Skin.h"

namespace contacts {
namespace {

using testsupport::SpinUntil;

QStringList ShownNames(const QTreeView& view, int column = 0) {
    QStringList out;
    for (int r = 0; r < view.model()->rowCount(); ++r) {
        if (!view.isRowHidden(r, {})) out << view.model()->index(r, column).data().toString();
    }
    return out;
}

class ContactFilter : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(server.Start()); }

    std::unique_ptr<apptest::AppHarness> LogIn(const QString& user) {
        auto h = std::make_unique<apptest::AppHarness>(server.Endpoints());
        h->ConfirmLogin(user, user + "pass");
        EXPECT_TRUE(SpinUntil([&] { return h->state->MainWindow().isVisible(); }));
        return h;
    }
    static ContactsModule& Module(apptest::AppHarness& h) {
        return *h.state->FindModule<ContactsModule>();
    }

    testsupport::LocalNetworkFixture server;
};

TEST_F(ContactFilter, TheContactListNarrowsKeepsItThroughPresenceAndActsOnTheShownRow) {
    auto alice = LogIn("alice");
    ContactsModule& m = Module(*alice);
    CListContacts& list = *m.List();
    ASSERT_TRUE(SpinUntil([&] { return ShownNames(list).contains("carol"); }));
    const QStringList all = ShownNames(list);
    ASSERT_TRUE(all.contains("bob"));
    ASSERT_NE(m.Filter(), nullptr);
    EXPECT_EQ(m.Filter()->placeholderText(), "Filter");
    EXPECT_TRUE(m.Filter()->isVisible());
    // Under the list, not over it.
    EXPECT_GE(m.Filter()->geometry().top(), list.geometry().bottom());

    m.Filter()->setText("CAR");
    EXPECT_EQ(ShownNames(list), QStringList{"carol"});

    // Bob's arrival refills the list: the filter stays.
    auto bob = LogIn("bob");
    ASSERT_TRUE(SpinUntil([&] {
        for (const ContactRow& r : list.Model().Rows())
            if (r.username == "bob") return r.status == 1;
        return false;
    }));
    EXPECT_EQ(ShownNames(list), QStringList{"carol"});

    // The keyboard walks the shown rows only; Delete removes the row seen.
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Down);
    ASSERT_GE(list.SelectedRow(), 0);
    EXPECT_EQ(list.Model().Rows()[list.SelectedRow()].username, "carol");
    QTest::keyClick(&list, Qt::Key_Delete);
    ASSERT_TRUE(SpinUntil([&] { return m.Book().Find("carol") == nullptr; }));
    EXPECT_NE(m.Book().Find("bob"), nullptr);
    EXPECT_TRUE(ShownNames(list).isEmpty());

    m.Filter()->clear();
    QStringList rest = all;
    rest.removeAll("carol");
    EXPECT_EQ(ShownNames(list), rest);
}

TEST_F(ContactFilter, TheFinderNarrowsThroughSortingAndANewListAndPicksTheShownRow) {
    auto alice = LogIn("alice");
    ContactsModule& m = Module(*alice);
    ASSERT_TRUE(m.StartSearch());
    CFindContactDlg& find = *m.FindWindow();
    ASSERT_TRUE(SpinUntil([&] { return find.isVisible(); }));
    QTreeView& view = *find.List();
    ASSERT_GE(view.model()->rowCount(), 5);

    // The full name counts as much as the username.
    find.Filter()->setText("cooper");
    EXPECT_EQ(ShownNames(view), QStringList{"carol"});
    find.Filter()->setText("a");
    const int withA = static_cast<int>(ShownNames(view).size());
    // Another order keeps the same rows shown.
    emit view.header()->sectionClicked(kColumnUsername);
    EXPECT_EQ(static_cast<int>(ShownNames(view).size()), withA);
    for (int r = 0; r < view.model()->rowCount(); ++r) {
        EXPECT_EQ(view.isRowHidden(r, {}), !ui::RowContains(*view.model(), r, "a", &view)) << r;
    }

    find.Filter()->setText("BAKER");
    // A fresh account list (SEARCH again) is shown with the filter on.
    ASSERT_TRUE(m.StartSearch());
    ASSERT_TRUE(SpinUntil([&] { return ShownNames(view) == QStringList{"bob"}; }));

    std::string picked;
    m.SetAccountPicked([&](const std::string& u) {
        picked = u;
        return true;
    });
    int shown = -1;
    for (int r = 0; r < view.model()->rowCount(); ++r)
        if (!view.isRowHidden(r, {})) shown = r;
    emit view.doubleClicked(view.model()->index(shown, 2));
    EXPECT_EQ(picked, "bob");
}

TEST(ConversationExport, OneLineAMessageInUtf8AsShown) {
    ui::Skin skin{1.0};
    testsupport::ScriptedDialogs dialogs;
    const net::Timings timings = net::Timings::Fast();
    CIMConversationDlg w("bob/../x", skin, dialogs, timings);
    const MessageFormat plain{0, 0, 0, 0, false, false, false};
    CIMConversationDlg::Display at{true, 0, 5, 12};
    w.AppendMessage("alice", QString::fromUtf8("caf\xC3\xA9 at www.example.com"), plain, at);
    at.hour = 13;
    w.AppendMessage("bob/../x", "two\nlines", plain, at);
    w.AppendLine("bob/../x is offline\r\n", QTextCharFormat());
    at.timestamp = false;
    w.AppendMessage("alice", "<b>no markup</b>", plain, at);
    const std::string expected =
        "[12:05 am] alice: caf\xC3\xA9 at www.example.com\n"
        "[1:05 pm] bob/../x: two\nlines\n"
        "bob/../x is offline\n"
        "alice: <b>no markup</b>\n";
    EXPECT_EQ(w.ConversationText().toStdString(), expected);

    testsupport::TempDir dir;
    const std::string target = dir.file("im.txt");
    dialogs.fileNames.push_back(QString::fromStdString(target));
    std::unique_ptr<QMenu> menu(w.ConversationMenu({}));
    QAction* save = nullptr;
    for (QAction* a : menu->actions())
        if (a->text() == "Save Conversation as Text...") save = a;
    ASSERT_NE(save, nullptr);
    save->trigger();
    ASSERT_EQ(dialogs.files.size(), 1);
    EXPECT_EQ(dialogs.files[0].caption, "Save Conversation as Text");
    // The other user's name never makes a path of its own.
    EXPECT_EQ(dialogs.files[0].path, "IM Conversation - bob_.._x.txt");
    EXPECT_EQ(testsupport::ReadFile(target), expected);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

}  // namespace
}  // namespace contacts
