// The contact family in a whole program without a server: messages built as
// the server sends them are routed, and what the user sees and what goes out
// on the network-server connection are checked.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <fstream>

#include "app/AppHarness.h"
#include "contacts/AddContactDlg.h"
#include "contacts/ContactsModule.h"
#include "contacts/FindContactDlg.h"
#include "contacts/ListContacts.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "support/qt/LocalNetworkFixture.h"
#include "ui/ServerResponseDlg.h"

namespace contacts {
namespace {

namespace wire = net::contact;

struct Sent {
    int32_t code = -1;
    std::vector<std::variant<int32_t, std::string>> fields;
};

class ContactsFamily : public ::testing::Test {
  protected:
    void SetUp() override {
        module = h.state->FindModule<ContactsModule>();
        ASSERT_NE(module, nullptr);
        Connection().Queue().Clear();
    }

    net::Connection& Connection() { return h.state->Client().NetworkServer(); }
    net::LogLine& Log() { return h.state->Client().router().FamilyLog(net::Primary::Contact); }

    void Route(net::MessageWriter& w, net::Secondary secondary) {
        auto message = w.Finish(net::Primary::Contact, secondary);
        ASSERT_NE(message, nullptr);
        net::MessageBuffer& in = Connection().ReceiveBuffer();
        std::memcpy(in.data, message->data, static_cast<size_t>(message->remaining));
        in.done = message->remaining;
        net::bufHeader header;
        ASSERT_EQ(in.ParseHeader(header), net::kParseComplete);
        h.state->Client().router().RouteMsg(Connection(), header);
        in.Reset();
    }

    void List(const std::vector<Contact>& contacts, int32_t count = -1) {
        net::MessageWriter w(wire::kContactList);
        w.Int(count < 0 ? static_cast<int32_t>(contacts.size()) : count);
        for (const Contact& c : contacts) w.Str(c.username).Str(c.muteText).Int(c.status);
        Route(w, net::Secondary::Response);
    }

    void Presence(int32_t status, const std::string& name) {
        net::MessageWriter w(wire::kStatusChanged);
        w.Int(status).Str(name);
        Route(w, net::Secondary::Notification);
    }

    // What the contacts module queued on the network-server connection,
    // with string and integer fields as read by a schema per code.
    std::vector<Sent> TakeSent() {
        net::SendQueue::Batch batch;
        Connection().Queue().TakeBatch(batch, 100);
        std::vector<Sent> out;
        for (auto& m : batch) {
            net::MessageBuffer copy;
            std::memcpy(copy.data, m->data, static_cast<size_t>(m->remaining));
            copy.done = m->remaining;
            net::bufHeader header;
            EXPECT_EQ(copy.ParseHeader(header), net::kParseComplete);
            EXPECT_EQ(header.nDescPrimary, +net::Primary::Contact);
            net::MessageReader r(copy, header);
            Sent s;
            s.code = r.Code();
            std::string text;
            int32_t value = 0;
            if (s.code == wire::kAddContact || s.code == wire::kRemoveContact ||
                s.code == wire::kMute) {
                EXPECT_TRUE(r.Str(1, 100, text));
                s.fields.emplace_back(text);
            }
            if (s.code == wire::kMute || s.code == wire::kSetStatus) {
                EXPECT_TRUE(r.Int(-1, -1, value));
                s.fields.emplace_back(value);
            }
            EXPECT_TRUE(r.AtEnd());
            out.push_back(std::move(s));
        }
        return out;
    }

    QModelIndex Row(int row) { return module->List()->model()->index(row, 0); }
    int Picture(int row) { return ContactPicture(module->List()->Model().Rows()[row]); }
    QStringList Names() {
        QStringList names;
        for (const auto& r : module->List()->Model().Rows()) names << r.username;
        return names;
    }
    void Select(int row) { module->List()->setCurrentIndex(Row(row)); }

    apptest::AppHarness h;
    ContactsModule* module = nullptr;
};

TEST_F(ContactsFamily, ListResponsesReplaceTheListAndKeepWhatWasReadBeforeABreak) {
    List({{"admin", "1", 0}, {"bob", "0", 1}, {"carol", "0", 2}});
    EXPECT_EQ(Names(), (QStringList{"admin", "bob", "carol"}));
    EXPECT_EQ(Picture(0), 3);
    EXPECT_EQ(Picture(1), 1);
    EXPECT_EQ(Picture(2), 2);

    // Three announced, the second cut after its name.
    net::MessageWriter cut(wire::kContactList);
    cut.Int(3).Str("dave").Str("0").Int(1).Str("erin");
    Route(cut, net::Secondary::Response);
    EXPECT_EQ(Names(), (QStringList{"dave"}));
    EXPECT_EQ(Log().Text(),
              "MsgContact.HandleResponseContactList(3): Unable to decode contact mute text");

    // A status out of range stops there too.
    List({{"frank", "0", 1}, {"gina", "0", 3}});
    EXPECT_EQ(Names(), (QStringList{"frank"}));

    List({{"x", "0", 0}}, 1000);
    EXPECT_TRUE(Names().isEmpty());
    EXPECT_EQ(Log().Text(),
              "MsgContact.HandleResponseContactList(1): Unable to decode contact count");
}

TEST_F(ContactsFamily, PresenceMatchesNamesExactly) {
    List({{"bob", "0", 0}, {"carol", "1", 0}});
    Presence(1, "BOB");
    EXPECT_EQ(module->Book().Contacts()[0].status, 0);
    Presence(1, "bob");
    EXPECT_EQ(module->Book().Contacts()[0].status, 1);
    EXPECT_TRUE(Row(0).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(Row(0).data(Qt::ToolTipRole).toString(), "bob is online");

    // A muted contact that comes online keeps its muted look.
    Presence(1, "carol");
    EXPECT_EQ(Picture(1), 3);
    EXPECT_FALSE(Row(1).data(Qt::FontRole).value<QFont>().bold());
    EXPECT_EQ(Row(1).data(Qt::ToolTipRole).toString(), "carol is online, currently ignored");

    // Out of range: nothing changes.
    Presence(1, "bob");
    net::MessageWriter bad(wire::kStatusChanged);
    bad.Int(3).Str("bob");
    Route(bad, net::Secondary::Notification);
    EXPECT_EQ(module->Book().Contacts()[0].status, 1);
    EXPECT_EQ(Log().Text(), "MsgContact.HandleNotificationStatus(1): Unable to decode status");
}

TEST_F(ContactsFamily, UnknownMessagesAreLoggedAndTheUnknownUserIsShown) {
    net::MessageWriter response(7);
    Route(response, net::Secondary::Response);
    EXPECT_EQ(Log().Text(),
              "MsgContact.HandleResponse(1): Unknown response '7' received from server");
    net::MessageWriter notification(5);
    Route(notification, net::Secondary::Notification);
    EXPECT_EQ(Log().Text(),
              "MsgContact.HandleNotification(1): Unknown notification '5' received from server");
    net::MessageWriter message(0);
    Route(message, net::Secondary::Message);
    EXPECT_EQ(Log().Text(),
              "MsgContact.HandleMsg(0): Unknown secondary message '1' received from server");

    net::MessageWriter unknown(wire::kUnknownUser);
    Route(unknown, net::Secondary::Response);
    EXPECT_EQ(h.state->ServerResponseWindow().Text(),
              ui::ServerResponseText("An account with the specified username could not be found",
                                     "Unable to locate the containing folder for the specified "
                                     "username"));

    // The instant-message side goes to whoever registered for it.
    std::string offline;
    module->SetRecipientOfflineHandler(
        [&](net::MessageReader& f, net::LogLine&) { EXPECT_TRUE(f.Str(1, 12, offline)); });
    net::MessageWriter off(wire::kRecipientOffline);
    off.Str("bob");
    Route(off, net::Secondary::Response);
    EXPECT_EQ(offline, "bob");
}

TEST_F(ContactsFamily, AddContactChecksInOrder) {
    List({{"bob", "0", 0}});
    CAddContactDlg& add = *module->AddWindow();
    const auto attempt = [&](const QString& name) {
        h.dialogs.Clear();
        add.show();
        add.UsernameField()->setText(name);
        add.OkButton()->click();
        return h.dialogs.messages.isEmpty() ? QString() : h.dialogs.Last().text;
    };
    EXPECT_EQ(attempt(""), "Please type a username");
    EXPECT_EQ(attempt("abcdefghijkl"), "Usernames must be between 1 and 11 characters in length");
    EXPECT_EQ(attempt("bad name%"),
              "Usernames can only contain letters, numbers, dashes '-', and underscores '_'");
    EXPECT_EQ(attempt(QString::fromUtf8("j\xc3\xb6rg")),
              "Usernames can only contain letters, numbers, dashes '-', and underscores '_'");
    EXPECT_EQ(attempt("bob"),
              "A contact with the specified username already exists in the contact list");
    EXPECT_EQ(h.dialogs.Last().title, "Error");
    EXPECT_EQ(h.dialogs.Last().icon, ui::MsgIcon::Error);
    EXPECT_TRUE(add.isVisible());
    EXPECT_TRUE(TakeSent().empty()) << "a refused name is never sent";

    // Exact comparison: another case is the server's to judge.
    EXPECT_EQ(attempt("Bob_2-x"), QString());
    EXPECT_FALSE(add.isVisible());
    const auto sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, wire::kAddContact);
    EXPECT_EQ(std::get<std::string>(sent[0].fields[0]), "Bob_2-x");
}

TEST_F(ContactsFamily, MenuDeleteAndMuting) {
    List({{"bob", "0", 1}, {"carol", "0", 0}});
    CListContacts& list = *module->List();

    // No selection, no menu.
    list.clearSelection();
    QContextMenuEvent noRow(QContextMenuEvent::Keyboard, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(list.viewport(), &noRow);
    EXPECT_TRUE(module->Menu() == nullptr || !module->Menu()->isVisible());

    Select(0);
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(1, 1), QPoint(1, 1));
    QApplication::sendEvent(list.viewport(), &key);
    ASSERT_TRUE(module->Menu()->isVisible());
    EXPECT_EQ(module->MenuItem(ContactsModule::kMuteToggle)->text(), "Mute");
    // The conversations, documents and whiteboard are filled in by their modules.
    EXPECT_TRUE(module->MenuItem(ContactsModule::kSendIm)->isEnabled());
    EXPECT_TRUE(module->MenuItem(ContactsModule::kRetrieveDocuments)->isEnabled());
    EXPECT_TRUE(module->MenuItem(ContactsModule::kViewWhiteboard)->isEnabled());
    int mutedChanges = 0;
    module->OnMutedUsersChanged([&] { ++mutedChanges; });
    module->MenuItem(ContactsModule::kMuteToggle)->trigger();
    module->Menu()->hide();

    auto sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, wire::kMute);
    EXPECT_EQ(std::get<std::string>(sent[0].fields[0]), "bob");
    EXPECT_EQ(std::get<int32_t>(sent[0].fields[1]), 1);
    EXPECT_EQ(Picture(0), 3) << "shown muted at once";
    EXPECT_EQ(mutedChanges, 1);
    EXPECT_TRUE(module->IsMuted("bob"));

    // The run's list outlives a list that says otherwise.
    List({{"bob", "0", 1}, {"carol", "0", 0}});
    EXPECT_EQ(module->Book().Contacts()[0].muteText, "1");
    Select(0);
    ASSERT_TRUE(module->PrepareMenu(0));
    EXPECT_EQ(module->MenuItem(ContactsModule::kMuteToggle)->text(), "Unmute");
    module->MenuItem(ContactsModule::kMuteToggle)->trigger();
    sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(std::get<int32_t>(sent[0].fields[1]), 0);
    EXPECT_EQ(Picture(0), 1);

    // Delete asks to remove the selected contact.
    Select(1);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(&list, &del);
    sent = TakeSent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].code, wire::kRemoveContact);
    EXPECT_EQ(std::get<std::string>(sent[0].fields[0]), "carol");

    // Muted again, then the same account logs in again: still muted; then
    // another account: the run's list is theirs no more.
    module->SetMuted("bob", true);
    h.state->Client().SetLogin("alice", "x");
    module->LoggedIn();
    EXPECT_TRUE(Names().isEmpty()) << "emptied until the new list arrives";
    module->LoggedIn();
    List({{"bob", "0", 1}});
    EXPECT_TRUE(module->IsMuted("bob"));
    h.state->Client().SetLogin("carol", "x");
    module->LoggedIn();
    List({{"bob", "0", 1}});
    EXPECT_FALSE(module->IsMuted("bob"));
    EXPECT_EQ(Picture(0), 1);
}

TEST_F(ContactsFamily, AClickBesideTheRowsLeavesNoneSelected) {
    List({{"bob", "0", 1}});
    CListContacts& list = *module->List();
    list.resize(200, 240);
    Select(0);
    QSignalSpy away(&list, &CListContacts::clickedAway);
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, 200));
    EXPECT_EQ(list.SelectedRow(), -1);
    EXPECT_EQ(away.count(), 1);
    // A click on a row selects it and keeps the focus in the list.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(Row(0)).center());
    EXPECT_EQ(list.SelectedRow(), 0);
    EXPECT_EQ(away.count(), 1);
}

TEST_F(ContactsFamily, MenuActionsOtherModulesFill) {
    List({{"bob", "0", 0}, {"al.ce", "0", 1}, {"%s<b>", "0", 2}});
    std::vector<std::string> ims, pages;
    module->SetContactAction(ContactAction::SendIm,
                             [&](const std::string& u) { ims.push_back(u); });
    module->SetViewWhiteboardAction(
        [&](const std::string&, const std::string& page) { pages.push_back(page); });
    ASSERT_TRUE(module->PrepareMenu(0));
    EXPECT_TRUE(module->MenuItem(ContactsModule::kSendIm)->isEnabled());
    module->MenuItem(ContactsModule::kSendIm)->trigger();
    EXPECT_TRUE(ims.empty());
    EXPECT_EQ(h.dialogs.Last().text, "bob is not currently online");
    EXPECT_EQ(h.dialogs.Last().title, "Error");
    module->RunCommand(ContactsModule::kSendIm, "al.ce");
    EXPECT_EQ(ims, (std::vector<std::string>{"al.ce"}));

    module->RunCommand(ContactsModule::kViewWhiteboard, "bob");
    module->RunCommand(ContactsModule::kViewWhiteboard, "..");
    EXPECT_EQ(pages, (std::vector<std::string>{"files/remote/accounts/bob/notepad/page1.png"}));

    // A name with markup or a format sign is shown as written.
    EXPECT_EQ(Row(2).data(Qt::DisplayRole).toString(), "%s<b>");
    EXPECT_TRUE(Row(2).data(Qt::ToolTipRole).toString().contains("%s&lt;b&gt; is away"));
}

TEST_F(ContactsFamily, AccountListCompletionGoesByPurpose) {
    const net::SlotHooks hooks =
        h.state->Client().Transfers().Get(ContactsModule::kAccountListSlot);
    ASSERT_TRUE(hooks.completed);
    const std::string path = h.DataFile("files/remote/listaccount/listaccount");

    // No file: reported, nothing shown.
    hooks.completed(ContactsModule::kPurposeFindContact);
    EXPECT_EQ(h.dialogs.Last().text, "Failed to open account list file with read access");
    EXPECT_EQ(h.dialogs.Last().icon, ui::MsgIcon::Information);
    EXPECT_FALSE(module->FindWindow()->isVisible());

    ASSERT_TRUE(net::CreateTransferDirectories(h.state->Client().DataDirectory(),
                                               "files/remote/listaccount"));
    {
        std::ofstream out(path, std::ios::binary);
        out << "bob;Bob Baker;0;-1;1;0;2;\nalice;Alice Archer;0;5;0;0;2;\n";
    }
    std::string managed;
    module->SetAccountListForManagement([&](const std::string& p) { managed = p; });
    hooks.completed(ContactsModule::kPurposeManageAccounts);
    EXPECT_EQ(managed, path);
    EXPECT_FALSE(module->FindWindow()->isVisible());

    hooks.completed(ContactsModule::kPurposeFindContact);
    ASSERT_TRUE(testsupport::SpinUntil([&] { return module->FindWindow()->isVisible(); }));
    EXPECT_EQ(module->FindWindow()->Records().rowCount(), 2);
    EXPECT_EQ(module->FindWindow()->Records().RecordAt(0)->username, "alice");

    // A drop hides it with the other windows of the session.
    h.state->ConnectionDropped();
    EXPECT_FALSE(module->FindWindow()->isVisible());
}

}  // namespace
}  // namespace contacts
