// The session room: its rules, its messages both ways, and the room list
// driven by notification bytes against scripted dialogs and a fake contacts
// service.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMenu>
#include <QPushButton>
#include <QTextBlock>
#include <QTextDocument>
#include <cstring>
#include <set>

#include "contacts/api/ContactsApi.h"
#include "net/Protocol.h"
#include "net/Router.h"
#include "sessions/Rooms.h"
#include "shell/Settings.h"
#include "support/Wait.h"
#include "support/qt/ScriptedDialogs.h"
#include "ui/FixedButton.h"
#include "ui/ImageToggle.h"
#include "ui/Skin.h"

namespace sessions {
namespace {

namespace code = net::session;

// A message as it arrives: framed, then read back from its bytes.
struct Arrived {
    net::MessageBuffer buffer;
    net::bufHeader header;
    net::MessageReader Reader() const { return net::MessageReader(buffer, header); }
};
std::unique_ptr<Arrived> Arrive(const net::MessageBuffer& sent) {
    auto a = std::make_unique<Arrived>();
    std::memcpy(a->buffer.data, sent.data, static_cast<size_t>(sent.remaining));
    a->buffer.done = sent.remaining;
    if (a->buffer.ParseHeader(a->header) != net::kParseComplete) return nullptr;
    return a;
}
std::unique_ptr<Arrived> Arrive(net::MessageWriter& w,
                                net::Secondary secondary = net::Secondary::Notification) {
    auto m = w.Finish(net::Primary::Session, secondary);
    return m ? Arrive(*m) : nullptr;
}

net::MessageWriter RoomStateMessage(const std::string& id, int32_t event,
                                    const std::string& account,
                                    const std::vector<Participant>& people,
                                    const std::string& description = "Welcome <b>all</b>",
                                    int32_t count = -1) {
    net::MessageWriter w(code::kRoomState);
    w.Str(id).Int(event).Str(account).Str("Lobby").Str(description).Str("admin");
    for (int i = 0; i < 6; ++i) w.Int(i);
    w.Int(count < 0 ? static_cast<int32_t>(people.size()) : count);
    for (const Participant& p : people)
        w.Str(p.name).Int(p.administrator).Int(p.creator).Int(p.moderator).Int(p.presence);
    return w;
}

net::MessageWriter ChatMessage(const std::string& id, const std::string& sender,
                               const std::string& text, int32_t font = 0) {
    net::MessageWriter w(code::kChatLine);
    w.Str(id).Str(sender).Int(font).Int(200).Int(0).Int(0).Int(1).Int(0).Int(0).Int(1).Str(text);
    return w;
}

TEST(RoomRules, RanksRoleWordsPicturesLooksAndTips) {
    Participant p{"bob", false, false, false, 1};
    EXPECT_EQ(Rank(p), 0);
    EXPECT_STREQ(RoleWord(p), "Participant");
    p.moderator = true;
    EXPECT_STREQ(RoleWord(p), "Moderator");
    p.creator = true;
    EXPECT_EQ(Rank(p), 2);
    EXPECT_STREQ(RoleWord(p), "Session creator");
    p.administrator = true;
    EXPECT_EQ(Rank(p), 3);
    EXPECT_STREQ(RoleWord(p), "Administrator");

    const Participant online{"bob", false, false, true, 1};
    const Participant away{"carol", false, false, false, 2};
    const Participant unknown{"dave", false, false, false, 7};
    const Participant zero{"erin", false, false, false, 0};
    EXPECT_EQ(ParticipantTip(online, false), "(Moderator) bob is online");
    EXPECT_EQ(ParticipantTip(online, true), "(Moderator) bob is online, currently ignored");
    EXPECT_EQ(ParticipantTip(away, false), "(Participant) carol is away");
    EXPECT_EQ(ParticipantTip(away, true), "(Participant) carol is away, currently ignored");
    EXPECT_EQ(ParticipantTip(unknown, true), "(Participant) dave is <unknown status>");
    EXPECT_EQ(ParticipantImage(online, true), 3);
    EXPECT_EQ(ParticipantImage(zero, false), 0);
    EXPECT_EQ(ParticipantImage(online, false), 1);
    EXPECT_EQ(ParticipantImage(unknown, false), 2);
    EXPECT_EQ(ParticipantLook(online, true), RowLook::Grey);
    EXPECT_EQ(ParticipantLook(zero, false), RowLook::Grey);
    EXPECT_EQ(ParticipantLook(away, false), RowLook::AwayItalic);
    EXPECT_EQ(ParticipantLook(unknown, false), RowLook::OnlineBold);
    // The tip never runs past 80 characters.
    Participant wide{std::string(12, 'w'), true, false, false, 1};
    EXPECT_LE(ParticipantTip(wide, true).size(), 80u);
}

TEST(RoomRules, RankMatrixOfTheModeratorAndRemoveItems) {
    // Own rank R against target rank T.
    for (int own = 0; own <= 3; ++own) {
        for (int target = 0; target <= 3; ++target) {
            const bool allowed = own >= 1 && own >= target;
            EXPECT_EQ(MayRemove(own, target), allowed) << own << target;
            const ModeratorItem item = ModeratorItemFor(own, target);
            EXPECT_EQ(item.enabled, allowed && target <= 1) << own << target;
            if (allowed && target == 1) {
                EXPECT_STREQ(item.text, "Revoke Moderator Status");
            } else {
                EXPECT_STREQ(item.text, "Promote to Moderator");
            }
        }
    }
}

TEST(RoomRules, EventTextsInviteeLengthsAndBanMinutes) {
    EXPECT_STREQ(EventText(0), " has joined the session\r\n");
    EXPECT_STREQ(EventText(1), " has left the session\r\n");
    EXPECT_STREQ(EventText(2), " is away\r\n");
    EXPECT_STREQ(EventText(3), " is online\r\n");
    EXPECT_EQ(EventText(4), nullptr);
    EXPECT_STREQ(EventText(5), " is now a participant\r\n");
    EXPECT_STREQ(EventText(6), " is now a moderator\r\n");

    EXPECT_EQ(CheckInvitee(""), "Please specify who you wish to invite");
    EXPECT_EQ(CheckInvitee(std::string(12, 'a')), "");
    EXPECT_EQ(CheckInvitee(std::string(13, 'a')), "Username is too long");

    std::string error;
    EXPECT_EQ(BanMinutesFor(true, false, "garbage", error), 0);
    EXPECT_FALSE(BanMinutesFor(false, false, "5", error));
    EXPECT_TRUE(error.empty());  // neither choice: nothing happens, nothing is said
    const std::string range = "Number of minutes to ban must be between 1 and 9999, inclusive";
    for (const char* refused : {"0", "10000", "", "-1", "abc", "99999999999999"}) {
        EXPECT_FALSE(BanMinutesFor(false, true, refused, error)) << refused;
        EXPECT_EQ(error, range) << refused;
    }
    EXPECT_EQ(BanMinutesFor(false, true, "1", error), 1);
    EXPECT_EQ(BanMinutesFor(false, true, "9999", error), 9999);
}

TEST(RoomMessages, RequestsOnTheWire) {
    shell::TextStyle style{3, 1, 2, 3, true, false, true};
    auto chat = BuildChatLine("abcdef", style, "hi");
    ASSERT_NE(chat, nullptr);
    auto a = Arrive(*chat);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->header.nDescPrimary, +net::Primary::Session);
    EXPECT_EQ(a->header.nDescSecondary, +net::Secondary::Message);
    auto r = a->Reader();
    EXPECT_EQ(r.Code(), code::kSendChatLine);
    std::string id, text;
    int32_t v[8] = {};
    ASSERT_TRUE(r.Str(6, 6, id));
    for (int32_t& x : v) ASSERT_TRUE(r.Int(0, 255, x));
    ASSERT_TRUE(r.Str(1, 600, text));
    EXPECT_EQ(std::vector<int32_t>(v, v + 8), (std::vector<int32_t>{3, 1, 2, 3, 1, 0, 1, 1}));
    EXPECT_TRUE(r.AtEnd());

    auto invite = Arrive(*BuildInvite("abcdef", "carol", 1));
    auto ri = invite->Reader();
    std::string who;
    int32_t flag = -1;
    EXPECT_EQ(ri.Code(), code::kInvite);
    ASSERT_TRUE(ri.Str(6, 6, id) && ri.Str(1, 12, who) && ri.Int(0, 1, flag));
    EXPECT_EQ(who, "carol");
    EXPECT_EQ(flag, 1);
    auto remove = Arrive(*BuildRemoveParticipant("abcdef", "carol", 9999));
    auto rr = remove->Reader();
    int32_t minutes = 0;
    EXPECT_EQ(rr.Code(), code::kRemoveParticipant);
    ASSERT_TRUE(rr.Str(6, 6, id) && rr.Str(1, 12, who) && rr.Int(0, 9999, minutes));
    EXPECT_EQ(minutes, 9999);
}

TEST(RoomMessages, DecodersStopAtTheFirstFailingField) {
    std::string log;
    {
        // The count is huge but only two records follow: no reservation, two read.
        const std::vector<Participant> two{{"bob", false, false, true, 1},
                                           {"carol", false, false, false, 2}};
        auto w = RoomStateMessage("abcdef", 0, "bob", two, "d", 0x7fffffff);
        auto a = Arrive(w);
        auto r = a->Reader();
        RoomStateHeader h;
        ASSERT_TRUE(DecodeRoomStateHeader(r, h, log));
        EXPECT_EQ(h.creator, "admin");
        std::vector<Participant> people{{"old", false, false, false, 1}};
        ASSERT_TRUE(DecodeParticipants(r, people, log));
        EXPECT_EQ(people, two);
        EXPECT_NE(log.find("HandleNotificationRoomState(9)"), std::string::npos);
    }
    {
        net::MessageWriter w(code::kRoomState);
        w.Str("abcde").Int(0);  // a five-character id
        auto a = Arrive(w);
        auto r = a->Reader();
        RoomStateHeader h;
        EXPECT_FALSE(DecodeRoomStateHeader(r, h, log));
        EXPECT_EQ(log, "MsgSession.HandleNotificationRoomState(1): Unable to decode session id");
    }
    {
        net::MessageWriter w(code::kInvitation);
        w.Str("bob").Str("abcdef").Str("Project X").Int(0).Int(1);  // the password is missing
        auto a = Arrive(w);
        auto r = a->Reader();
        EXPECT_FALSE(DecodeInvitation(r, log));
        net::MessageWriter plain(code::kInvitation);
        plain.Str("bob").Str("abcdef").Str("Lobby").Int(1).Int(0);
        auto b = Arrive(plain);
        auto rb = b->Reader();
        const auto v = DecodeInvitation(rb, log);
        ASSERT_TRUE(v);
        EXPECT_FALSE(v->hasPassword);
    }
    {
        auto w = ChatMessage("abcdef", "bob", std::string(601, 'x'));
        auto a = Arrive(w);
        auto r = a->Reader();
        EXPECT_FALSE(DecodeChatLine(r, log));
        EXPECT_EQ(log, "MsgSession.HandleNotificationChatLine(7): Unable to decode text");
    }
}

// --- The room list ---

class FakeContacts : public contacts::ContactsApi {
  public:
    bool SendStatus(int32_t) override { return true; }
    bool AddContact(const std::string& u) override {
        added.push_back(u);
        return true;
    }
    bool RequestContactList() override { return true; }
    bool SetMuted(const std::string& u, bool m) override {
        if (m) {
            muted.insert(u);
        } else {
            muted.erase(u);
        }
        for (auto& [id, f] : hooks) f();
        return true;
    }
    bool IsMuted(const std::string& u) const override { return muted.count(u) != 0; }
    std::optional<contacts::ContactInfo> FindContact(const std::string& u) const override {
        if (contactNames.count(u) == 0) return std::nullopt;
        return contacts::ContactInfo{u, "0", 1};
    }
    int OnMutedUsersChanged(std::function<void()> f) override {
        hooks[next] = std::move(f);
        return next++;
    }
    void RemoveMutedUsersChanged(int id) override { hooks.erase(id); }
    void SetContactAction(contacts::ContactAction, std::function<void(const std::string&)>) override {}
    void SetViewWhiteboardAction(
        std::function<void(const std::string&, const std::string&)>) override {}
    void SetAccountPicked(std::function<bool(const std::string&)>) override {}
    bool RequestAccountList(uint32_t) override { return true; }
    void SetAccountListForManagement(std::function<void(const std::string&)>) override {}
    void SetRecipientOfflineHandler(MessageHook) override {}
    void SetIncomingMessageHandler(MessageHook) override {}
    void ShowInvitation(const std::string& inviter, const std::string& name, const std::string& id,
                        bool hasPassword, const std::string& password) override {
        invitations.push_back(inviter + "|" + name + "|" + id + "|" +
                              (hasPassword ? "1" : "0") + "|" + password);
    }
    void OpenConversation(const std::string& u) override { conversations.push_back(u); }

    std::set<std::string> muted;
    std::set<std::string> contactNames;
    std::vector<std::string> added, invitations, conversations;
    std::map<int, std::function<void()>> hooks;
    int next = 0;
};

class RoomListTest : public ::testing::Test {
  protected:
    RoomListTest() {
        Rooms::Parts parts{skin, dialogs, timings, nullptr};
        parts.send = [this](std::unique_ptr<net::MessageBuffer> m) {
            if (!m) return false;
            sent.push_back(Arrive(*m));
            return true;
        };
        parts.settings = [this]() -> const shell::SettingsValues& { return settings; };
        parts.me = [this] { return me; };
        parts.contacts = &contacts;
        parts.status = [this] { return status; };
        parts.setStatus = [this](int32_t s) { statusSet.push_back(s); };
        parts.alert = [this](QWidget*) { ++alerts; };
        parts.inForeground = [this](const QWidget*) { return foreground; };
        parts.randomOffset = [] { return 0; };
        parts.now = [this] { return now; };
        rooms = std::make_unique<Rooms>(std::move(parts));
    }

    void Deliver(net::MessageWriter w, void (Rooms::*handler)(net::MessageReader&, net::LogLine&)) {
        auto a = Arrive(w);
        ASSERT_TRUE(a);
        auto r = a->Reader();
        (rooms.get()->*handler)(r, log);
    }
    QString Text(const std::string& id) {
        CSessionDlg* room = rooms->Find(id);
        return room ? room->TranscriptView()->toPlainText() : QString();
    }
    std::vector<int32_t> SentCodes() const {
        std::vector<int32_t> codes;
        for (const auto& a : sent) codes.push_back(a->Reader().Code());
        return codes;
    }

    ui::Skin skin{1.0};
    testsupport::ScriptedDialogs dialogs;
    net::Timings timings = net::Timings::Fast();
    shell::SettingsValues settings;
    FakeContacts contacts;
    std::string me = "bob";
    int32_t status = 1;
    std::vector<int32_t> statusSet;
    int alerts = 0;
    bool foreground = false;
    QTime now{13, 7};
    std::vector<std::unique_ptr<Arrived>> sent;
    net::LogLine log;
    std::unique_ptr<Rooms> rooms;
    const std::vector<Participant> people{{"admin", true, true, false, 1},
                                          {"bob", false, false, true, 1},
                                          {"carol", false, false, false, 2},
                                          {"alice", false, false, false, 1}};
};

TEST_F(RoomListTest, DescriptionOnceEventLinesAndEventFourOnlyRedraws) {
    settings.timestamp = false;
    settings.alertStatus = true;
    Deliver(RoomStateMessage("abcdef", 0, "bob", people), &Rooms::RoomState);
    ASSERT_EQ(rooms->Count(), 1u);
    CSessionDlg* room = rooms->Find("abcdef");
    ASSERT_NE(room, nullptr);
    EXPECT_EQ(room->windowTitle(), "Session - [Lobby]");
    // Server text is plain text: markup shows as written.
    EXPECT_EQ(Text("abcdef"), "Welcome <b>all</b>\n\nbob has joined the session\n");
    EXPECT_EQ(room->List()->Model().rowCount(), 4);
    EXPECT_EQ(alerts, 1);

    // The same id again: no second room, no second description.
    Deliver(RoomStateMessage("abcdef", 4, "", {people[0], people[1]}), &Rooms::RoomState);
    EXPECT_EQ(rooms->Count(), 1u);
    EXPECT_EQ(Text("abcdef"), "Welcome <b>all</b>\n\nbob has joined the session\n");
    EXPECT_EQ(room->Participants().size(), 2u);
    EXPECT_EQ(room->List()->Model().rowCount(), 2);
    // A muted account's events are not written; the state still changes.
    contacts.muted.insert("carol");
    Deliver(RoomStateMessage("abcdef", 0, "carol", people), &Rooms::RoomState);
    EXPECT_EQ(Text("abcdef"), "Welcome <b>all</b>\n\nbob has joined the session\n");
    EXPECT_EQ(room->Participants().size(), 4u);
    Deliver(RoomStateMessage("abcdef", 6, "alice", people), &Rooms::RoomState);
    EXPECT_TRUE(Text("abcdef").endsWith("alice is now a moderator\n"));
    // A state cut before its count leaves the participants alone.
    net::MessageWriter cut(code::kRoomState);
    cut.Str("abcdef").Int(4).Str("").Str("Lobby").Str("d").Str("admin");
    Deliver(std::move(cut), &Rooms::RoomState);
    EXPECT_EQ(room->Participants().size(), 4u);
    EXPECT_NE(log.Text().find("RoomState(7)"), std::string::npos);
}

TEST_F(RoomListTest, ChatLinesStampsFacesMutesAndAlerts) {
    Deliver(RoomStateMessage("abcdef", 4, "", people), &Rooms::RoomState);
    const QString start = Text("abcdef");
    for (const auto& [hour, minute, stamp] :
         std::vector<std::tuple<int, int, QString>>{{0, 30, "[12:30 am] "},
                                                    {12, 5, "[12:05 pm] "},
                                                    {13, 7, "[1:07 pm] "}}) {
        now = QTime(hour, minute);
        Deliver(ChatMessage("abcdef", "carol", "hi"), &Rooms::ChatLine);
        EXPECT_TRUE(Text("abcdef").endsWith(stamp + "carol: hi\n")) << stamp.toStdString();
    }
    EXPECT_EQ(alerts, 3);
    foreground = true;
    Deliver(ChatMessage("abcdef", "carol", "<img src=x>", 9), &Rooms::ChatLine);
    EXPECT_EQ(alerts, 3);
    QTextDocument* doc = rooms->Find("abcdef")->TranscriptView()->document();
    EXPECT_TRUE(Text("abcdef").endsWith("carol: <img src=x>\n"));
    // The text's own format: face "defaultswitch" for index 9, red, bold.
    const QTextBlock last = doc->lastBlock().previous();
    QTextCharFormat f;
    for (auto it = last.begin(); !it.atEnd(); ++it)
        if (it.fragment().text() == "<img src=x>") f = it.fragment().charFormat();
    EXPECT_EQ(f.fontFamilies().toStringList().value(0), "defaultswitch");
    EXPECT_EQ(f.foreground().color(), QColor(200, 0, 0));
    EXPECT_TRUE(f.font().bold());

    // Muted senders and rooms that are not open: dropped.
    contacts.muted.insert("carol");
    const QString before = Text("abcdef");
    Deliver(ChatMessage("abcdef", "carol", "ignored"), &Rooms::ChatLine);
    Deliver(ChatMessage("zzzzzz", "alice", "nowhere"), &Rooms::ChatLine);
    EXPECT_EQ(Text("abcdef"), before);
    EXPECT_FALSE(start.isEmpty());
}

TEST_F(RoomListTest, SendingClosingAndTheServerClosingARoom) {
    Deliver(RoomStateMessage("abcdef", 4, "", people), &Rooms::RoomState);
    Deliver(RoomStateMessage("ghijkl", 4, "", people), &Rooms::RoomState);
    CSessionDlg* room = rooms->Find("abcdef");
    room->SendButton()->click();
    EXPECT_EQ(dialogs.Last().text, "Please type a message to send");
    EXPECT_EQ(dialogs.Last().title, "Error");
    EXPECT_TRUE(sent.empty());
    room->Input()->setPlainText("line one\nline two");
    room->SendButton()->click();
    ASSERT_EQ(SentCodes(), std::vector<int32_t>{code::kSendChatLine});
    auto r = sent[0]->Reader();
    std::string id, text;
    int32_t v = 0;
    ASSERT_TRUE(r.Str(6, 6, id));
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(r.Int(0, 255, v));
    ASSERT_TRUE(r.Str(1, 600, text));
    EXPECT_EQ(text, "line one\r\nline two");
    EXPECT_TRUE(room->Input()->toPlainText().isEmpty());
    // Nothing is written locally.
    EXPECT_FALSE(Text("abcdef").contains("line one"));

    // The user closes a room: leave goes out, the window goes later.
    sent.clear();
    QPointer<CSessionDlg> closing = room;
    room->reject();
    EXPECT_EQ(rooms->Find("abcdef"), nullptr);
    EXPECT_EQ(SentCodes(), std::vector<int32_t>{code::kLeaveSession});
    EXPECT_FALSE(closing.isNull());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closing.isNull());

    // The server closes the other: nothing is sent.
    sent.clear();
    net::MessageWriter closed(code::kClosedAlt);
    closed.Int(5).Str("ghijkl");
    Deliver(std::move(closed), &Rooms::Closed);
    EXPECT_EQ(rooms->Count(), 0u);
    EXPECT_TRUE(sent.empty());
}

TEST_F(RoomListTest, TheMenuFollowsTheRanksAndOnlyForParticipants) {
    Deliver(RoomStateMessage("abcdef", 4, "", people), &Rooms::RoomState);
    CSessionDlg* room = rooms->Find("abcdef");
    contacts.contactNames.insert("carol");
    // bob is a moderator: the creator (an administrator) is out of reach.
    ASSERT_NE(rooms->MenuFor(room, 0), nullptr);
    EXPECT_FALSE(rooms->MenuItem("Promote to Moderator")->isEnabled());
    EXPECT_FALSE(rooms->MenuItem("Remove from Session")->isEnabled());
    EXPECT_FALSE(rooms->MenuItem("Retrieve Documents")->isEnabled());
    EXPECT_FALSE(rooms->MenuItem("View Whiteboard")->isEnabled());
    EXPECT_TRUE(rooms->MenuItem("Add to Contacts")->isEnabled());
    rooms->MenuFor(room, 2);  // carol: a plain participant and a contact
    EXPECT_TRUE(rooms->MenuItem("Promote to Moderator")->isEnabled());
    EXPECT_FALSE(rooms->MenuItem("Add to Contacts")->isEnabled());
    rooms->MenuItem("Promote to Moderator")->trigger();
    ASSERT_EQ(SentCodes(), std::vector<int32_t>{code::kSetModerator});
    rooms->MenuItem("Mute")->trigger();
    EXPECT_TRUE(contacts.IsMuted("carol"));
    EXPECT_EQ(room->List()->Model().data(room->List()->Model().index(2), Qt::ToolTipRole),
              "(Participant) carol is away, currently ignored");
    rooms->MenuFor(room, 2);
    EXPECT_NE(rooms->MenuItem("Unmute"), nullptr);
    rooms->MenuItem("Send IM")->trigger();
    EXPECT_EQ(contacts.conversations, std::vector<std::string>{"carol"});
    rooms->MenuItem("Remove from Session")->trigger();
    EXPECT_EQ(rooms->RemoveWindow()->Account(), "carol");
    EXPECT_EQ(rooms->RemoveWindow()->SessionId(), "abcdef");

    // A plain participant: both items off for everyone, even another participant.
    me = "alice";
    rooms->MenuFor(room, 2);
    EXPECT_FALSE(rooms->MenuItem("Promote to Moderator")->isEnabled());
    EXPECT_FALSE(rooms->MenuItem("Remove from Session")->isEnabled());
    // Someone not in the room (compared exactly) gets no menu.
    me = "Bob";
    EXPECT_EQ(rooms->MenuFor(room, 1), nullptr);
}

TEST_F(RoomListTest, InviteRemoveAndInfoWindows) {
    Deliver(RoomStateMessage("abcdef", 4, "", people), &Rooms::RoomState);
    CSessionInviteDlg* invite = rooms->InviteWindow();
    invite->Open("abcdef");
    invite->Invitee()->setText("");
    invite->accept();
    EXPECT_EQ(dialogs.Last().text, "Please specify who you wish to invite");
    // The field takes 12; a 13th character only arrives by other ways.
    invite->Invitee()->setMaxLength(13);
    invite->Invitee()->setText("abcdefghijklm");
    invite->accept();
    EXPECT_EQ(dialogs.Last().text, "Username is too long");
    EXPECT_TRUE(sent.empty());
    invite->Invitee()->setText("abcdefghijkl");
    invite->accept();
    ASSERT_EQ(SentCodes(), std::vector<int32_t>{code::kInvite});
    auto r = sent[0]->Reader();
    std::string id, who;
    int32_t flag = -1;
    ASSERT_TRUE(r.Str(6, 6, id) && r.Str(1, 12, who) && r.Int(0, 1, flag));
    EXPECT_EQ(flag, 1);  // the box is not ticked: the password goes along
    invite->RequirePassword()->SetValue(true);
    invite->accept();
    auto r2 = sent[1]->Reader();
    ASSERT_TRUE(r2.Str(6, 6, id) && r2.Str(1, 12, who) && r2.Int(0, 1, flag));
    EXPECT_EQ(flag, 0);

    sent.clear();
    CRemoveParticipantDlg* remove = rooms->RemoveWindow();
    remove->Open("abcdef", "carol");
    EXPECT_FALSE(remove->Minutes()->isEnabled());
    remove->accept();  // neither choice
    EXPECT_TRUE(sent.empty());
    remove->Ban()->setChecked(true);
    EXPECT_TRUE(remove->Minutes()->isEnabled());
    for (const char* refused : {"0", "10000"}) {
        remove->Minutes()->setText(refused);
        remove->accept();
        EXPECT_EQ(dialogs.Last().text,
                  "Number of minutes to ban must be between 1 and 9999, inclusive");
    }
    EXPECT_TRUE(sent.empty());
    remove->Minutes()->setText("9999");
    remove->accept();
    remove->Open("abcdef", "carol");
    remove->RemoveOnly()->setChecked(true);
    remove->accept();
    ASSERT_EQ(sent.size(), 2u);
    std::vector<int32_t> minutes;
    for (const auto& a : sent) {
        auto rr = a->Reader();
        int32_t m = -1;
        rr.Str(6, 6, id);
        rr.Str(1, 12, who);
        rr.Int(0, 9999, m);
        minutes.push_back(m);
    }
    EXPECT_EQ(minutes, (std::vector<int32_t>{9999, 0}));

    net::MessageWriter info(code::kSessionInfo);
    info.Str("abcdef").Str("Lobby").Str("<i>Intro</i>").Str("admin").Str("today").Int(200).Int(4).Int(
        1);
    Deliver(std::move(info), &Rooms::SessionInfoArrived);
    CSessionInfoDlg* window = rooms->InfoWindow();
    EXPECT_EQ(window->Value(2)->text(), "<i>Intro</i>");
    EXPECT_EQ(window->Value(2)->textFormat(), Qt::PlainText);
    EXPECT_EQ(window->Value(5)->text(), "4 out of a maximum of 200");
    EXPECT_EQ(window->Value(6)->text(), "Yes");
}

TEST_F(RoomListTest, ButtonsInvitationsAndADropThatEmptiesTheList) {
    Deliver(RoomStateMessage("abcdef", 4, "", people), &Rooms::RoomState);
    CSessionDlg* room = rooms->Find("abcdef");
    EXPECT_FALSE(room->Button("POLL")->isEnabled());
    EXPECT_FALSE(room->Button("HISTORY")->isEnabled());
    std::vector<std::string> polled;
    rooms->SetButtonAction(RoomButton::Poll, [&](const std::string& id) { polled.push_back(id); });
    EXPECT_TRUE(room->Button("POLL")->isEnabled());
    room->Button("POLL")->click();
    EXPECT_EQ(polled, std::vector<std::string>{"abcdef"});
    room->Button("COFFEE")->click();
    status = 2;
    room->Button("COFFEE")->click();
    EXPECT_EQ(statusSet, (std::vector<int32_t>{2, 1}));
    room->Button("INFO")->click();
    EXPECT_EQ(SentCodes(), std::vector<int32_t>{code::kGetSessionInfo});

    net::MessageWriter invitation(code::kInvitation);
    invitation.Str("carol").Str("ghijkl").Str("Project X").Int(0).Int(1).Str("xpass");
    Deliver(std::move(invitation), &Rooms::Invitation);
    EXPECT_EQ(contacts.invitations, std::vector<std::string>{"carol|Project X|ghijkl|1|xpass"});

    std::vector<std::string> closed;
    rooms->SetRoomClosed([&](const std::string& id) { closed.push_back(id); });
    sent.clear();
    rooms->DropAll();
    EXPECT_EQ(rooms->Count(), 0u);
    EXPECT_TRUE(sent.empty());
    EXPECT_EQ(closed, std::vector<std::string>{"abcdef"});
}

TEST(RoomInput, TakesFiveHundredCharactersAndSixHundredBytes) {
    CChatInputEdit input;
    input.insertPlainText(QString(501, QLatin1Char('a')));
    EXPECT_EQ(input.toPlainText().size(), 500);
    input.clear();
    // Three-byte characters: 200 fit in 600 bytes.
    input.insertPlainText(QString(250, QChar(0x20AC)));
    EXPECT_EQ(input.toPlainText().size(), 200);
    EXPECT_EQ(WireBytes(input.toPlainText()), 600);
    EXPECT_EQ(WireBytes(QStringLiteral("a\nb")), 4);  // the break goes as "\r\n"
    // A huge paste is cut in one go, and what was typed before stays.
    input.setPlainText(QStringLiteral("abc"));
    QTextCursor at(input.document());
    at.setPosition(0);
    input.setTextCursor(at);
    input.insertPlainText(QString(100000, QLatin1Char('x')));
    EXPECT_EQ(input.toPlainText(), QString(497, QLatin1Char('x')) + "abc");
    // Half a surrogate pair is never left at the end.
    input.setPlainText(QString(499, QLatin1Char('a')));
    input.moveCursor(QTextCursor::End);
    input.insertPlainText(QString::fromUcs4(U"\U0001F600"));
    EXPECT_EQ(input.toPlainText().size(), 499);
}

TEST(RoomLinks, OnlyWebLinksAreFoundAndOpened) {
    const QString text = QStringLiteral("see http://a.example and www.b.example, ftp://c mailto:d");
    const auto links = FindWebLinks(text);
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(text.mid(links[0].first, links[0].second), "http://a.example");
    EXPECT_EQ(WebLinkTarget("www.b.example"), "http://www.b.example");
    EXPECT_FALSE(WebLinkTarget("ftp://c"));
    EXPECT_FALSE(WebLinkTarget("javascript:alert(1)"));
}

}  // namespace
}  // namespace sessions
