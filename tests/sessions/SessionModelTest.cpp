#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "net/Protocol.h"
#include "net/Router.h"
#include "sessions/MsgSession.h"
#include "sessions/SessionModel.h"

namespace sessions {
namespace {

namespace code = net::session;

// A finished message read back as its receiver would.
struct Arrived {
    net::MessageBuffer buffer;
    net::bufHeader header;
    net::MessageReader Reader() const { return net::MessageReader(buffer, header); }
};
std::unique_ptr<Arrived> Arrive(std::unique_ptr<net::MessageBuffer> sent) {
    if (!sent) return nullptr;
    auto a = std::make_unique<Arrived>();
    std::memcpy(a->buffer.data, sent->data, static_cast<size_t>(sent->remaining));
    a->buffer.done = sent->remaining;
    if (a->buffer.ParseHeader(a->header) != net::kParseComplete) return nullptr;
    return a;
}

struct RowSpec {
    std::string id = "abc123";
    std::string name = "Lobby";
    std::string creator = "alice";
    int32_t year = 126, month = 11, day = 9, hour = 13, minute = 0, second = 0;
    int32_t participants = 1, isPrivate = 0;
};
std::unique_ptr<Arrived> ListPage(int32_t selector, int32_t total, std::vector<RowSpec> rows,
                                  int32_t rowCount = -1) {
    net::MessageWriter w(code::kListPage);
    w.Int(3).Int(selector).Int(1).Int(20).Int(total);
    w.Int(rowCount >= 0 ? rowCount : static_cast<int32_t>(rows.size()));
    for (const RowSpec& r : rows) {
        w.Str(r.id).Str(r.name).Str(r.creator).Int(r.year).Int(r.month).Int(r.day);
        w.Int(r.hour).Int(r.minute).Int(r.second).Int(r.participants).Int(r.isPrivate);
    }
    return Arrive(w.Finish(net::Primary::Session, net::Secondary::Response));
}

const LocalDate kToday{2026, 12, 9};

TEST(SessionModel, CreatedTextTodayOnTwelveHourClockOtherDaysAsDate) {
    SessionSummary row;
    row.year = 2026;
    row.month = 12;
    row.day = 9;
    const auto at = [&](int h, int m, int s) {
        row.hour = h;
        row.minute = m;
        row.second = s;
        return CreatedText(row, kToday);
    };
    EXPECT_EQ(at(0, 5, 9), "12:05:09am");
    EXPECT_EQ(at(13, 0, 0), "1:00:00pm");
    EXPECT_EQ(at(12, 30, 0), "12:30:00pm");
    EXPECT_EQ(at(11, 59, 59), "11:59:59am");
    EXPECT_EQ(at(24, 0, 1), "12:00:01am");  // the decode limits let hour 24 through
    row.year = 2008;
    row.month = 3;
    row.day = 7;
    EXPECT_EQ(CreatedText(row, kToday), "3/7/2008");
}

TEST(SessionModel, TodayFollowsTheLocalZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "EST5", 1);
    tzset();
    // 2026-12-10 03:00 UTC is still the 9th in New York winter time.
    const LocalDate d = LocalDateOf(1796871600);
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    EXPECT_EQ(d.year, 2026);
    EXPECT_EQ(d.month, 12);
    EXPECT_EQ(d.day, 9);
}

TEST(SessionModel, RulesOfCreateAndModifyInOrderCountingBytes) {
    SessionFields f;
    EXPECT_EQ(CheckSessionFields(f, true), "Please type a name for the session");
    f.name = "Lobby";
    EXPECT_EQ(CheckSessionFields(f, true), "Please type a description for the session");
    f.description = "Hello";
    EXPECT_EQ(CheckSessionFields(f, true), "");
    f.name = std::string(21, 'n');
    f.description = std::string(501, 'd');
    EXPECT_EQ(CheckSessionFields(f, true), "Name is too long");
    EXPECT_EQ(CheckSessionFields(f, false), "Description is too long");  // Modify: no name
    f.name = "Lobby";
    f.description = "Hello";
    // Ten accented letters are 20 bytes and fit; eleven do not.
    std::string accented;
    for (int i = 0; i < 10; ++i) accented += "\xC3\xA9";
    f.name = accented;
    EXPECT_EQ(CheckSessionFields(f, true), "");
    f.name += "\xC3\xA9";
    EXPECT_EQ(CheckSessionFields(f, true), "Name is too long");
    f.name = "Lobby";

    f.isPrivate = true;
    EXPECT_EQ(CheckSessionFields(f, true), "A password is required for a private session");
    f.password = std::string(20, 'p');
    f.confirmation = f.password;
    EXPECT_EQ(CheckSessionFields(f, true),
              "Passwords must not be more than 19 characters in length");
    EXPECT_EQ(CheckSessionFields(f, false),
              "Passwords must not be more than 19 characters in length");
    f.password = std::string(19, 'p');
    EXPECT_EQ(CheckSessionFields(f, true), "Passwords do not match; try again");
    f.confirmation = f.password;
    EXPECT_EQ(CheckSessionFields(f, true), "");
    // An open session ignores the password fields altogether.
    f.isPrivate = false;
    f.password = std::string(40, 'x');
    EXPECT_EQ(CheckSessionFields(f, true), "");

    EXPECT_EQ(CheckJoinPassword(""), "Please type a password");
    EXPECT_EQ(CheckJoinPassword(std::string(20, 'p')), "");
    EXPECT_EQ(CheckJoinPassword(std::string(21, 'p')), "Password is too long");
    EXPECT_EQ(CheckJoinPassword(accented + "x"), "Password is too long");
}

TEST(SessionModel, OnlyAdministratorsOrTheExactCreatorMayChange) {
    EXPECT_TRUE(MayChange(false, "bob", "bob"));
    EXPECT_FALSE(MayChange(false, "Bob", "bob"));
    EXPECT_TRUE(MayChange(true, "admin", "bob"));
}

TEST(SessionSenders, BytesOnTheWire) {
    auto ask = Arrive(BuildAskToCreate());
    ASSERT_TRUE(ask);
    EXPECT_EQ(ask->header.nMsgLength, 40);
    EXPECT_EQ(ask->Reader().Code(), code::kAskToCreate);

    auto join = Arrive(BuildJoinSession("abc123", ""));
    ASSERT_TRUE(join);
    EXPECT_EQ(join->header.nMsgLength, 40 + 4 + 6 + 4);  // the password is a count of 0
    const uint8_t* tail = join->buffer.data + 50;
    EXPECT_EQ(std::vector<uint8_t>(tail, tail + 4), (std::vector<uint8_t>{0, 0, 0, 0}));

    // An open session goes out with the password field as it is.
    auto create = Arrive(BuildCreateSession("Lobby", "Hi", "leftover", 0, 30));
    ASSERT_TRUE(create);
    auto r = create->Reader();
    std::string name, description, password;
    int32_t isPrivate = -1, maximum = -1;
    EXPECT_EQ(r.Code(), code::kCreateSession);
    ASSERT_TRUE(r.Str(0, 100, name) && r.Str(0, 100, description) && r.Str(0, 100, password) &&
                r.Int(-1, -1, isPrivate) && r.Int(-1, -1, maximum));
    EXPECT_EQ(password, "leftover");
    EXPECT_EQ(isPrivate, 0);
    EXPECT_EQ(maximum, 30);
    EXPECT_TRUE(r.AtEnd());

    auto modify = Arrive(BuildModifySession("abc123", "Hi", "pw", 1, 5));
    ASSERT_TRUE(modify);
    EXPECT_EQ(modify->header.nMsgLength, 40 + 10 + 6 + 6 + 8);
    std::vector<std::unique_ptr<net::MessageBuffer>> byId;
    byId.push_back(BuildDeleteSession("abc123"));
    byId.push_back(BuildGetSessionForModify("abc123"));
    for (auto& built : byId) {
        auto a = Arrive(std::move(built));
        ASSERT_TRUE(a);
        EXPECT_EQ(a->header.nMsgLength, 50);
        EXPECT_EQ(a->header.nDescPrimary, +net::Primary::Session);
        EXPECT_EQ(a->header.nDescSecondary, +net::Secondary::Message);
    }
}

class MsgSessionTest : public ::testing::Test {
  protected:
    MsgSessionTest()
        : family(
              [this] {
                  SessionEvents e;
                  e.pageArrived = [this](int32_t s, bool complete, bool numbers) {
                      pages.push_back({s, complete, numbers});
                  };
                  e.error = [this](const std::string& h, const std::string& d) {
                      errors.push_back(h + "|" + d);
                  };
                  e.passwordRequired = [this](const std::string& id) { asked.push_back(id); };
                  e.changed = [this](int32_t c) { changed.push_back(c); };
                  return e;
              }(),
              [] { return kToday; }) {}

    void Respond(const Arrived& a) {
        auto r = a.Reader();
        family.HandleResponse(r, log);
    }

    struct PageCall {
        int32_t selector;
        bool complete;
        bool numbers;
    };
    std::vector<PageCall> pages;
    std::vector<std::string> errors;
    std::vector<std::string> asked;
    std::vector<int32_t> changed;
    net::LogLine log;
    MsgSession family;
};

TEST_F(MsgSessionTest, PageFillsTheListItsSelectorNames) {
    RowSpec open;
    RowSpec other;
    other.id = "zz9999";
    other.name = "Project X";
    other.creator = "bob";
    other.year = 108;
    other.month = 2;
    other.day = 7;
    other.participants = 0;
    other.isPrivate = 1;
    Respond(*ListPage(1, 41, {open, other}));
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].selector, 1);
    EXPECT_TRUE(pages[0].complete);
    SessionListPage& page = family.Pages()[1];
    ASSERT_TRUE(page.lock.try_lock());
    page.lock.unlock();
    EXPECT_EQ(page.total, 41);
    ASSERT_EQ(page.rows.size(), 2u);
    EXPECT_EQ(page.rows[0].createdText, "1:00:00pm");
    EXPECT_EQ(page.rows[0].typeText, "Open");
    EXPECT_EQ(page.rows[0].participantsText, "1");
    EXPECT_EQ(page.rows[1].createdText, "3/7/2008");
    EXPECT_EQ(page.rows[1].typeText, "Invite");
    EXPECT_TRUE(family.Pages()[0].rows.empty());
    EXPECT_TRUE(log.Text().empty());
}

TEST_F(MsgSessionTest, IdOfFiveOrSevenFailsThePageKeepingEarlierRows) {
    for (const std::string bad : {"abc12", "abc1234"}) {
        pages.clear();
        RowSpec good;
        RowSpec wrong;
        wrong.id = bad;
        Respond(*ListPage(0, 2, {good, wrong}));
        ASSERT_EQ(pages.size(), 1u) << bad;
        EXPECT_FALSE(pages[0].complete);
        EXPECT_TRUE(pages[0].numbers);
        EXPECT_EQ(log.Text(),
                  "MsgSession.HandleResponseListSessions(3): Unable to decode session id");
        SessionListPage& page = family.Pages()[0];
        ASSERT_TRUE(page.lock.try_lock());  // released on the failing exit too
        page.lock.unlock();
        ASSERT_EQ(page.rows.size(), 1u);
        EXPECT_EQ(page.rows[0].id, "abc123");
    }
    // A selector the page cannot name: nothing is filled.
    pages.clear();
    net::MessageWriter w(code::kListPage);
    w.Int(3).Int(2);
    Respond(*Arrive(w.Finish(net::Primary::Session, net::Secondary::Response)));
    EXPECT_TRUE(pages.empty());
    EXPECT_EQ(log.Text(),
              "MsgSession.HandleResponseListSessions(1): Unable to decode list selector");
}

TEST_F(MsgSessionTest, ErrorsShowTheirHeadingOnlyWithAnExplanation) {
    net::MessageWriter withText(code::kWrongPassword);
    withText.Str("<b>not</b> right");
    Respond(*Arrive(withText.Finish(net::Primary::Session, net::Secondary::Response)));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Incorrect session password|<b>not</b> right");

    net::MessageWriter without(code::kBanned);
    Respond(*Arrive(without.Finish(net::Primary::Session, net::Secondary::Response)));
    EXPECT_EQ(errors.size(), 1u);

    net::MessageWriter required(code::kPasswordRequired);
    required.Str("abc123");
    Respond(*Arrive(required.Finish(net::Primary::Session, net::Secondary::Response)));
    EXPECT_EQ(asked, std::vector<std::string>{"abc123"});

    for (int32_t c : {code::kCreated, code::kModified, code::kDeleted}) {
        net::MessageWriter w(c);
        Respond(*Arrive(w.Finish(net::Primary::Session, net::Secondary::Response)));
    }
    EXPECT_EQ(changed, (std::vector<int32_t>{7, 8, 10}));

    // Codes past the table, and 16/17 before anyone took them: ignored.
    log.Clear();
    for (int32_t c : {16, 17, 19, 400}) {
        net::MessageWriter w(c);
        w.Str("x");
        Respond(*Arrive(w.Finish(net::Primary::Session, net::Secondary::Response)));
    }
    EXPECT_TRUE(log.Text().empty());
    EXPECT_EQ(errors.size(), 1u);

    // Once the room takes 17, it gets the reader on the first field.
    std::string seen;
    family.SetResponseHandler(
        17, [&](int32_t, net::MessageReader& r, net::LogLine&) { r.Str(1, 10, seen); });
    net::MessageWriter info(17);
    info.Str("abc123");
    Respond(*Arrive(info.Finish(net::Primary::Session, net::Secondary::Response)));
    EXPECT_EQ(seen, "abc123");
}

}  // namespace
}  // namespace sessions
