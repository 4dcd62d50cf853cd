// The conversations and the invitation prompt inside the whole program: the
// contact menu's "Send IM", the mutes of the contacts module applied to
// incoming messages, and the join that "Accept" queues through the session
// directory.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <cstring>

#include "app/AppHarness.h"
#include "contacts/ContactsModule.h"
#include "contacts/Conversations.h"
#include "contacts/InvitePromptDlg.h"
#include "net/Protocol.h"

namespace contacts {
namespace {

namespace wire = net::contact;

struct Queued {
    int32_t primary = -1;
    int32_t code = -1;
    std::vector<std::string> strings;
};

class ConversationApp : public ::testing::Test {
  protected:
    void SetUp() override {
        module = h.state->FindModule<ContactsModule>();
        ASSERT_NE(module, nullptr);
        Connection().Queue().Clear();
    }

    net::Connection& Connection() { return h.state->Client().NetworkServer(); }

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

    void List(const std::vector<Contact>& contacts) {
        net::MessageWriter w(wire::kContactList);
        w.Int(static_cast<int32_t>(contacts.size()));
        for (const Contact& c : contacts) w.Str(c.username).Str(c.muteText).Int(c.status);
        Route(w, net::Secondary::Response);
    }

    void Incoming(const std::string& sender, const std::string& text) {
        net::MessageWriter w(wire::kIncomingMessage);
        w.Str(sender);
        for (int32_t v : {0, 0, 0, 0, 0, 0, 0, 1}) w.Int(v);
        w.Str(text);
        Route(w, net::Secondary::Notification);
    }

    // Queued messages; a join's two strings are read.
    std::vector<Queued> TakeQueued() {
        net::SendQueue::Batch batch;
        Connection().Queue().TakeBatch(batch, 100);
        std::vector<Queued> out;
        for (auto& m : batch) {
            net::MessageBuffer copy;
            std::memcpy(copy.data, m->data, static_cast<size_t>(m->remaining));
            copy.done = m->remaining;
            net::bufHeader header;
            EXPECT_EQ(copy.ParseHeader(header), net::kParseComplete);
            net::MessageReader r(copy, header);
            Queued q{header.nDescPrimary, r.Code(), {}};
            if (q.primary == +net::Primary::Session && q.code == net::session::kJoinSession) {
                std::string id, password;
                EXPECT_TRUE(r.Str(1, 6, id));
                EXPECT_TRUE(r.Str(0, 20, password));
                EXPECT_TRUE(r.AtEnd());
                q.strings = {id, password};
            }
            out.push_back(q);
        }
        return out;
    }

    apptest::AppHarness h;
    ContactsModule* module = nullptr;
};

TEST_F(ConversationApp, InvitationAcceptJoinsWithOrWithoutPasswordAndDeclineSendsNothing) {
    CInvitePromptDlg* prompt = module->InvitePrompt();
    ASSERT_NE(prompt, nullptr);
    module->ShowInvitation("alice", "Team Alpha", "AB12CD", true, "secret");
    EXPECT_EQ(prompt->windowTitle(), "Invitation");
    EXPECT_EQ(prompt->InviterLine()->text(),
              "alice has invited you to join the following session:");
    EXPECT_EQ(prompt->SessionLine()->text(), "Team Alpha");
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompt->isVisible(); }));
    prompt->AcceptButton()->click();
    EXPECT_FALSE(prompt->isVisible());
    auto queued = TakeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].primary, +net::Primary::Session);
    EXPECT_EQ(queued[0].code, net::session::kJoinSession);
    EXPECT_EQ(queued[0].strings, (std::vector<std::string>{"AB12CD", "secret"}));

    // A new invitation overwrites: no password this time, a count-0 string.
    module->ShowInvitation("bob", "Other", "ZZ99YY", true, "secret");
    module->ShowInvitation("carol", "Plain", "QQ11RR", false, "ignored");
    EXPECT_EQ(prompt->SessionLine()->text(), "Plain");
    prompt->AcceptButton()->click();
    queued = TakeQueued();
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_EQ(queued[0].strings, (std::vector<std::string>{"QQ11RR", ""}));

    module->ShowInvitation("carol", "Plain", "QQ11RR", false, "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompt->isVisible(); }));
    prompt->DeclineButton()->click();
    EXPECT_FALSE(prompt->isVisible());
    EXPECT_TRUE(TakeQueued().empty());
}

TEST_F(ConversationApp, SendImOpensForOnlineContactsAndRefusesOffline) {
    List({{"bob", "0", 1}, {"carol", "0", 0}});
    module->RunCommand(ContactsModule::kSendIm, "carol");
    EXPECT_EQ(h.dialogs.Last().text, "carol is not currently online");
    EXPECT_EQ(module->Ims()->Find("carol"), nullptr);
    module->RunCommand(ContactsModule::kSendIm, "bob");
    CIMConversationDlg* w = module->Ims()->Find("bob");
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return w->isVisible(); }));
}

TEST_F(ConversationApp, MutedContactAndMutedStrangerOpenNothing) {
    List({{"bob", "1", 1}, {"carol", "0", 1}});
    Incoming("bob", "muted by the list");
    EXPECT_EQ(module->Ims()->Find("bob"), nullptr);
    module->SetMuted("dave", true);
    Incoming("dave", "muted this run");
    EXPECT_EQ(module->Ims()->Find("dave"), nullptr);
    Incoming("carol", "fine");
    Incoming("erin", "a stranger not muted");
    EXPECT_NE(module->Ims()->Find("carol"), nullptr);
    EXPECT_NE(module->Ims()->Find("erin"), nullptr);
}

}  // namespace
}  // namespace contacts
