#include "sessions/Rooms.h"

#include <QMenu>
#include <algorithm>
#include <QUrl>

#include "contacts/api/ContactsApi.h"
#include "net/MessageBuffer.h"
#include "net/Router.h"
#include "shell/Notifier.h"
#include "shell/Settings.h"
#include "ui/Dialogs.h"
#include "ui/TextConvert.h"

namespace sessions {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The line breaks of the input as the wire carries them.
QString WireText(const QString& text) {
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    out.replace(QChar::LineSeparator, QLatin1Char('\n'));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    out.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return out;
}

shell::TextStyle StyleFromSettings(const shell::SettingsValues& s) {
    return {s.fontIndex, s.red, s.green, s.blue, s.bold, s.italic, s.underline};
}

}  // namespace

Rooms::Rooms(Parts parts) : parts_(std::move(parts)) {
    invite_ = std::make_unique<CSessionInviteDlg>(
        parts_.skin, parts_.dialogs, parts_.timings,
        [this](const std::string& id, const std::string& invitee, int32_t included) {
            parts_.send(BuildInvite(id, invitee, included));
        },
        parts_.parent);
    remove_ = std::make_unique<CRemoveParticipantDlg>(
        parts_.skin, parts_.dialogs, parts_.timings,
        [this](const std::string& id, const std::string& account, int32_t minutes) {
            parts_.send(BuildRemoveParticipant(id, account, minutes));
        },
        parts_.parent);
    info_ = std::make_unique<CSessionInfoDlg>(parts_.skin, parts_.dialogs, parts_.timings,
                                              parts_.parent);
    menu_ = std::make_unique<QMenu>();
    // The contacts service may go first when the program ends: the hook
    // stays with it and finds the rooms gone rather than being taken back.
    if (parts_.contacts) {
        std::weak_ptr<bool> alive = alive_;
        parts_.contacts->OnMutedUsersChanged([this, alive] {
            if (!alive.expired()) RedrawAll();
        });
    }
}

Rooms::~Rooms() {
    for (CSessionDlg* room : rooms_) delete room;
    for (const QPointer<CSessionDlg>& room : retired_) delete room.data();
}

CSessionDlg* Rooms::Find(const std::string& id) const {
    for (CSessionDlg* room : rooms_)
        if (room->SessionId() == id) return room;
    return nullptr;
}

std::vector<std::string> Rooms::OpenRooms() const {
    std::vector<std::string> ids;
    for (const CSessionDlg* room : rooms_) ids.push_back(room->SessionId());
    return ids;
}

RoomRoles Rooms::OwnRoles(const std::string& sessionId) const {
    const CSessionDlg* room = Find(sessionId);
    if (!room || !parts_.me) return {};
    const std::string me = parts_.me();
    for (const Participant& p : room->Participants()) {
        if (p.name == me) return {p.administrator, p.creator, p.moderator};
    }
    return {};
}

bool Rooms::Muted(const std::string& account) const {
    return parts_.contacts && parts_.contacts->IsMuted(account);
}

CSessionDlg* Rooms::Create(const std::string& id, const std::string& name) {
    auto* room = new CSessionDlg(id, name, parts_.skin, parts_.dialogs, parts_.timings,
                                 parts_.parent);
    room->EnableHookButtons(static_cast<bool>(poll_), static_cast<bool>(history_));
    CSessionDlg::Actions a;
    a.send = [this, room](const QString& text) { Send(room, text); };
    a.close = [this, room] { Close(room); };
    a.coffee = [this] {
        // As the status choice does: away when online, online otherwise.
        if (parts_.setStatus) parts_.setStatus(parts_.status && parts_.status() == 1 ? 2 : 1);
    };
    a.invite = [this, room] { invite_->Open(room->SessionId()); };
    a.info = [this, room] { parts_.send(BuildGetSessionInfo(room->SessionId())); };
    a.poll = [this, room] {
        if (poll_) poll_(room->SessionId());
    };
    a.history = [this, room] {
        if (history_) history_(room->SessionId());
    };
    a.menu = [this, room](int row, const QPoint& at) {
        if (QMenu* menu = MenuFor(room, row)) menu->popup(at);
    };
    a.openLink = [this](const QString& link) {
        if (const auto target = WebLinkTarget(link)) parts_.dialogs.OpenUrl(QUrl(*target));
    };
    room->SetActions(std::move(a));
    rooms_.push_back(room);
    return room;
}

void Rooms::BringUp(CSessionDlg* room) {
    if (room->isVisible() || room->ShowPending()) return;
    const QPoint centre = ui::CSkinnedDlg::CentredTopLeft(room->ScreenRect(), room->OuterSize());
    const int dx = parts_.randomOffset ? parts_.randomOffset() : 0;
    const int dy = parts_.randomOffset ? parts_.randomOffset() : 0;
    room->ShowInFront(ui::ShowPlacement::At(centre + QPoint(dx, dy)));
}

void Rooms::Stamp(CSessionDlg* room) {
    const shell::SettingsValues& s = parts_.settings();
    if (!s.timestamp) return;
    const QTime t = parts_.now ? parts_.now() : QTime::currentTime();
    room->Transcript().Append(shell::TimeStampText(t.hour(), t.minute()),
                              shell::CharFormatFor(shell::ArialStyle(true, false, 128), s.size));
}

void Rooms::Alert(CSessionDlg* room, bool enabled) {
    if (!enabled) return;
    if (parts_.inForeground && parts_.inForeground(room)) return;
    if (parts_.alert) parts_.alert(room);
}

void Rooms::RoomState(net::MessageReader& r, net::LogLine& log) {
    RoomStateHeader h;
    std::string fault;
    if (!DecodeRoomStateHeader(r, h, fault)) {
        log.Set(fault);
        return;
    }
    const shell::SettingsValues& s = parts_.settings();
    CSessionDlg* room = Find(h.id);
    if (room != nullptr) {
        BringUp(room);
    } else {
        room = Create(h.id, h.name);
        BringUp(room);
        Stamp(room);
        room->Transcript().Append(FromUtf8(h.description) + QStringLiteral("\r\n\r\n"),
                                  shell::CharFormatFor(shell::ArialStyle(true, false, 0), s.size));
    }
    if (const char* text = EventText(h.event); text != nullptr && !Muted(h.account)) {
        Stamp(room);
        room->Transcript().Append(FromUtf8(h.account),
                                  shell::CharFormatFor(shell::ArialStyle(true, false, 0), s.size));
        room->Transcript().Append(QString::fromLatin1(text),
                                  shell::CharFormatFor(shell::ArialStyle(false, true, 128), s.size));
        Alert(room, s.alertStatus);
    }
    if (!DecodeParticipants(r, room->Participants(), fault)) {
        log.Set(fault);
        return;
    }
    if (!fault.empty()) log.Set(fault);
    room->RedrawParticipants([this](const std::string& name) { return Muted(name); });
}

void Rooms::ChatLine(net::MessageReader& r, net::LogLine& log) {
    std::string fault;
    const auto line = DecodeChatLine(r, fault);
    if (!line) {
        log.Set(fault);
        return;
    }
    if (Muted(line->sender)) return;
    CSessionDlg* room = Find(line->id);
    if (room == nullptr) return;
    const shell::SettingsValues& s = parts_.settings();
    Stamp(room);
    room->Transcript().Append(FromUtf8(line->sender) + QStringLiteral(": "),
                              shell::CharFormatFor(shell::ArialStyle(true, false, 0), s.size));
    room->Transcript().Append(FromUtf8(line->text) + QStringLiteral("\r\n"),
                              shell::CharFormatFor(line->style, s.size));
    Alert(room, s.alertMessages);
    NotifyMention(room, line->sender, line->text);
}

void Rooms::NotifyMention(CSessionDlg* room, const std::string& sender, const std::string& text) {
    if (parts_.notifier == nullptr || !parts_.settings().alertMessages) return;
    if (parts_.inForeground && parts_.inForeground(room)) return;
    const QString me = FromUtf8(parts_.me ? parts_.me() : std::string());
    const QString from = FromUtf8(sender);
    // The user's own lines come back from the server too.
    if (from.compare(me, Qt::CaseInsensitive) == 0) return;
    const QString said = FromUtf8(text);
    if (!shell::MentionsName(said, me)) return;
    std::weak_ptr<bool> alive = alive_;
    parts_.notifier->Notify(
        shell::NotificationKind::RoomMention,
        shell::NotificationText(QStringLiteral("%1 in %2").arg(from, FromUtf8(room->SessionName())),
                                shell::kNotificationBodyChars, true),
        shell::NotificationText(said, shell::kNotificationBodyChars, true),
        [this, alive, id = room->SessionId()] {
            if (alive.expired()) return;
            // The room may have closed since.
            CSessionDlg* r = Find(id);
            if (r == nullptr) return;
            if (!r->isVisible()) {
                BringUp(r);
                return;
            }
            if (r->isMinimized()) r->showNormal();
            r->raise();
            r->activateWindow();
        });
}

void Rooms::Closed(net::MessageReader& r, net::LogLine& log) {
    std::string fault;
    const auto id = DecodeClosed(r, fault);
    if (!id) {
        log.Set(fault);
        return;
    }
    CSessionDlg* room = Find(*id);
    if (room == nullptr) return;
    // The server has let the user go already: nothing is sent.
    room->SetJoined(false);
    Close(room);
}

void Rooms::Invitation(net::MessageReader& r, net::LogLine& log) {
    std::string fault;
    const auto v = DecodeInvitation(r, fault);
    if (!v) {
        log.Set(fault);
        return;
    }
    if (parts_.contacts)
        parts_.contacts->ShowInvitation(v->inviter, v->name, v->id, v->hasPassword, v->password);
}

void Rooms::SessionInfoArrived(net::MessageReader& r, net::LogLine& log) {
    std::string fault;
    const auto info = DecodeSessionInfo(r, fault);
    if (!info) {
        log.Set(fault);
        return;
    }
    info_->Fill(*info);
}

void Rooms::Send(CSessionDlg* room, const QString& text) {
    if (text.isEmpty()) {
        parts_.dialogs.Message(room, QStringLiteral("Error"),
                               QStringLiteral("Please type a message to send"), ui::MsgIcon::Error);
        return;
    }
    // Shown when the server's line comes back, not here.
    parts_.send(BuildChatLine(room->SessionId(), StyleFromSettings(parts_.settings()),
                              ui::TextToUtf8(WireText(text))));
    room->Input()->clear();
}

void Rooms::Retire(CSessionDlg* room) {
    if (closed_) closed_(room->SessionId());
    room->hide();
    // The window may be the one whose handler is running (its close box, a
    // notification about it): it goes once that is over.
    room->deleteLater();
    retired_.erase(std::remove_if(retired_.begin(), retired_.end(),
                                  [](const QPointer<CSessionDlg>& p) { return p.isNull(); }),
                   retired_.end());
    retired_.emplace_back(room);
}

void Rooms::Close(CSessionDlg* room) {
    const auto it = std::find(rooms_.begin(), rooms_.end(), room);
    if (it == rooms_.end()) return;
    rooms_.erase(it);
    if (room->Joined()) parts_.send(BuildLeaveSession(room->SessionId()));
    room->SetJoined(false);
    Retire(room);
}

void Rooms::DropAll() {
    std::vector<CSessionDlg*> rooms;
    rooms.swap(rooms_);
    for (CSessionDlg* room : rooms) {
        room->SetJoined(false);
        Retire(room);
    }
    menu_->hide();
    invite_->hide();
    remove_->hide();
    info_->hide();
}

void Rooms::RedrawAll() {
    for (CSessionDlg* room : rooms_)
        room->RedrawParticipants([this](const std::string& name) { return Muted(name); });
}

QAction* Rooms::MenuItem(const QString& text) const {
    for (QAction* a : menu_->actions())
        if (a->text() == text) return a;
    return nullptr;
}

QMenu* Rooms::MenuFor(CSessionDlg* room, int row) {
    const auto& people = room->Participants();
    if (row < 0 || row >= static_cast<int>(people.size())) return nullptr;
    const std::string me = parts_.me ? parts_.me() : std::string();
    const Participant* self = nullptr;
    for (const Participant& p : people)
        if (p.name == me) self = &p;
    if (self == nullptr) return nullptr;
    const Participant target = people[static_cast<size_t>(row)];
    const std::string id = room->SessionId();
    const int own = Rank(*self);
    const int theirs = Rank(target);

    menu_->clear();
    const auto add = [this](const char* text, bool enabled, std::function<void()> run) {
        QAction* a = menu_->addAction(QString::fromLatin1(text));
        a->setEnabled(enabled);
        QObject::connect(a, &QAction::triggered, menu_.get(), std::move(run));
    };
    contacts::ContactsApi* contacts = parts_.contacts;
    add("Send IM", contacts != nullptr, [contacts, target] {
        if (contacts) contacts->OpenConversation(target.name);
    });
    add("Retrieve Documents", static_cast<bool>(documents_), [this, id, target] {
        if (documents_) documents_(id, target.name);
    });
    add("View Whiteboard", static_cast<bool>(whiteboard_), [this, id, target] {
        if (whiteboard_) whiteboard_(id, target.name);
    });
    const bool contact = contacts != nullptr && contacts->FindContact(target.name).has_value();
    add("Add to Contacts", contacts != nullptr && !contact, [contacts, target] {
        if (contacts) contacts->AddContact(target.name);
    });
    const ModeratorItem moderator = ModeratorItemFor(own, theirs);
    add(moderator.text, moderator.enabled, [this, id, target] {
        parts_.send(BuildSetModerator(id, target.name, target.moderator ? 0 : 1));
    });
    const bool muted = Muted(target.name);
    add(muted ? "Unmute" : "Mute", contacts != nullptr, [this, contacts, target, muted] {
        if (contacts) contacts->SetMuted(target.name, !muted);
        RedrawAll();
    });
    add("Remove from Session", MayRemove(own, theirs),
        [this, id, target] { remove_->Open(id, target.name); });
    return menu_.get();
}

void Rooms::SetButtonAction(RoomButton button, std::function<void(const std::string&)> action) {
    (button == RoomButton::Poll ? poll_ : history_) = std::move(action);
    for (CSessionDlg* room : rooms_)
        room->EnableHookButtons(static_cast<bool>(poll_), static_cast<bool>(history_));
}

void Rooms::SetMenuAction(RoomMenuItem item,
                          std::function<void(const std::string&, const std::string&)> action) {
    (item == RoomMenuItem::RetrieveDocuments ? documents_ : whiteboard_) = std::move(action);
}

void Rooms::SetRoomClosed(std::function<void(const std::string&)> closed) {
    closed_ = std::move(closed);
}

}  // namespace sessions
