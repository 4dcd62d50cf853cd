#include "sessions/SessionsModule.h"

#include <QApplication>
#include <QRandomGenerator>

#include "contacts/api/ContactsApi.h"
#include "net/Client.h"
#include "net/Protocol.h"
#include "sessions/ManageSessionsDlg.h"
#include "sessions/MsgSession.h"
#include "sessions/Rooms.h"
#include "sessions/SessionFieldsDlg.h"
#include "sessions/SessionPage.h"
#include "shell/ModuleContext.h"
#include "shell/Settings.h"
#include "ui/Skin.h"

namespace sessions {

SessionsModule::SessionsModule() : clock_([] { return std::time(nullptr); }) {}

SessionsModule::~SessionsModule() = default;

void SessionsModule::RegisterPictures(ui::Skin& skin) {
    for (const char* caption : {"LEFT", "RIGHT", "REFRESH", "MANAGELEFT", "MANAGERIGHT"}) {
        skin.RegisterButton(QString::fromLatin1(caption), QSize(26, 26));
    }
    for (const char* icon : {"SESSIONOPEN", "SESSIONPRIVATE"}) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::SmallIcon;
        e.size = QSize(16, 16);
        e.text = QString::fromLatin1(icon);
        skin.Register(QStringLiteral("IDB_%1").arg(QString::fromLatin1(icon)), e);
    }
    skin.RegisterBackground(QStringLiteral("IDB_BKGNDMANAGESESSIONS"),
                            CManageSessionsDlg::kClientSize, QStringLiteral("Manage Sessions"));
    skin.RegisterBackground(QStringLiteral("IDB_BKGNDCREATESESSION"), QSize(384, 400),
                            QStringLiteral("Create Session"));
    skin.RegisterBackground(QStringLiteral("IDB_BKGNDMODIFYSESSION"), QSize(384, 368),
                            QStringLiteral("Modify Session"));
    skin.RegisterBackground(QStringLiteral("IDB_BKGNDPASSWORDREQUIRED"), QSize(324, 170),
                            QStringLiteral("Password Required"));
    // The room's participant pictures: unknown, online, away, muted.
    for (int i = 0; i < 4; ++i) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::Presence;
        e.size = QSize(16, 16);
        e.arg = i;
        skin.Register(QStringLiteral("IDB_PARTICIPANT%1").arg(i), e);
    }
    skin.RegisterBackground(QStringLiteral("IDB_BKGNDSESSIONINVITE"), QSize(300, 170),
                            QStringLiteral("Invite"));
    skin.RegisterBackground(QStringLiteral("IDB_BKGNDREMOVEPARTICIPANT"), QSize(320, 212),
                            QStringLiteral("Remove Participant"));
    skin.RegisterBackground(QStringLiteral("IDB_BKGNDSESSIONINFO"), QSize(400, 344),
                            QStringLiteral("Session Info"));
}

void SessionsModule::Register(shell::ModuleContext& ctx) {
    client_ = &ctx.Client();
    main_ = &ctx.MainWindow();
    net::Client& client = ctx.Client();
    showServerResponse_ = [&client](const std::string& heading, const std::string& details) {
        client.Listener().ShowServerResponse(heading, details);
    };
    page_ = new CSessionPage(ctx.Skin(), client, ctx.MainWindow(),
                             ctx.MainWindow().Pane(shell::MainPane::Sessions));
    QWidget* parent = ctx.WindowParent();
    manage_ = new CManageSessionsDlg(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), client, parent);
    create_ = new CCreateSessionDlg(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), parent);
    modify_ = new CModifySessionDlg(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), parent);
    password_ = new CPasswordRequiredDlg(ctx.Skin(), ctx.Dialogs(), ctx.Timings(), parent);
    for (QWidget* w : std::initializer_list<QWidget*>{manage_, create_, modify_, password_})
        ctx.HideOnDrop(w);

    create_->SetSubmit([this](const SessionFields& f, int32_t maximum) {
        // An open session goes out with whatever the password field holds.
        client_->NetworkServer().Send(
            BuildCreateSession(f.name, f.description, f.password, f.isPrivate ? 1 : 0, maximum));
    });
    modify_->SetSubmit([this](const SessionFields& f, int32_t maximum) {
        client_->NetworkServer().Send(BuildModifySession(modify_->SessionId(), f.description,
                                                         f.password, f.isPrivate ? 1 : 0, maximum));
    });
    password_->SetJoin([this](const std::string& id, const std::string& password) {
        SendJoinSession(id, password);
    });
    QObject::connect(&page_->List(), &CListSessionsZorvic::JoinRequested, page_,
                     [this](const QString& id) { SendJoinSession(id.toStdString(), {}); });

    SessionEvents events;
    events.pageArrived = [this](int32_t selector, bool complete, bool numbersRead) {
        PageArrived(selector, complete, numbersRead);
    };
    events.createAnswer = [this](bool adminOnly) {
        if (adminOnly && !client_->Administrator()) {
            showServerResponse_("You must be an administrator to create a session on this network",
                                "Administrator status is required to create a session");
            return;
        }
        create_->ShowInFront();
    };
    events.forModify = [this](const SessionForModify& data) {
        modify_->Fill(data);
        modify_->ShowInFront();
    };
    events.passwordRequired = [this](const std::string& id) { password_->Open(id); };
    events.changed = [this](int32_t) { RefreshBothLists(); };
    events.deleteFailed = [this] {
        showServerResponse_("Unable to delete session's containing directory",
                            "The containing directory of the specified session could not be "
                            "deleted");
    };
    events.error = [this](const std::string& heading, const std::string& details) {
        showServerResponse_(heading, details);
    };
    family_ =
        std::make_unique<MsgSession>(std::move(events), [this] { return LocalDateOf(clock_()); });
    ctx.RegisterFamily(net::Primary::Session,
                       [this](net::Connection& c, const net::bufHeader& h, net::LogLine& log) {
                           family_->HandleMsg(c, h, log);
                       });
    ctx.Publish<SessionDirectory>(*this);
    RegisterRooms(ctx);
    ctx.SetTool(shell::Tool::Sessions, [this] { OpenSessionList(); });

    // The first page goes out with the opening requests, from the list's
    // starting point whatever an earlier login in this run left behind.
    ctx.AddOpeningRequest([this](net::Client&) {
        manage_->ResetForLogin();
        page_->ResetForLogin();
        return page_->RequestPage(0, 0);
    });
    ctx.AddPeriodicRefresh([this] { page_->PeriodicRefresh(); });
}

void SessionsModule::RegisterRooms(shell::ModuleContext& ctx) {
    shell::Settings& settings = ctx.Settings();
    shell::MainWindowServices& mainWindow = ctx.MainWindow();
    Rooms::Parts parts{ctx.Skin(), ctx.Dialogs(), ctx.Timings(), ctx.WindowParent()};
    parts.send = [this](std::unique_ptr<net::MessageBuffer> m) {
        return client_->NetworkServer().Send(std::move(m));
    };
    parts.settings = [&settings]() -> const shell::SettingsValues& { return settings.Values(); };
    parts.me = [this] { return client_->Username(); };
    parts.contacts = ctx.Find<contacts::ContactsApi>();
    parts.status = [&mainWindow] { return mainWindow.Status(); };
    parts.setStatus = [&mainWindow](int32_t status) { mainWindow.SetStatus(status); };
    parts.alert = [&mainWindow](QWidget* room) {
        QApplication::alert(room, 0);
        mainWindow.StartTrayBlink();
    };
    // The room the user is looking at: the active one, not minimised.
    parts.inForeground = [](const QWidget* w) {
        return w != nullptr && QApplication::activeWindow() == w && !w->isMinimized();
    };
    parts.randomOffset = [] { return QRandomGenerator::global()->bounded(-40, 40); };
    parts.now = [] { return QTime::currentTime(); };
    parts.notifier = ctx.Notifier();
    rooms_ = std::make_unique<Rooms>(std::move(parts));
    ctx.HideOnDrop(rooms_->InviteWindow());
    ctx.HideOnDrop(rooms_->RemoveWindow());
    ctx.HideOnDrop(rooms_->InfoWindow());

    namespace code = net::session;
    const auto on = [this](int32_t c, void (Rooms::*member)(net::MessageReader&, net::LogLine&)) {
        family_->SetNotificationHandler(
            c, [this, member](int32_t, net::MessageReader& r, net::LogLine& log) {
                (rooms_.get()->*member)(r, log);
            });
    };
    on(code::kRoomState, &Rooms::RoomState);
    on(code::kChatLine, &Rooms::ChatLine);
    on(code::kClosed, &Rooms::Closed);
    on(code::kClosedAlt, &Rooms::Closed);
    on(code::kInvitation, &Rooms::Invitation);
    family_->SetResponseHandler(code::kSessionInfo,
                                [this](int32_t, net::MessageReader& r, net::LogLine& log) {
                                    rooms_->SessionInfoArrived(r, log);
                                });
    ctx.Publish<SessionRooms>(*rooms_);
}

void SessionsModule::LoggedIn() {
    // Nothing of an earlier login (maybe another account's) stays.
    if (rooms_) rooms_->DropAll();
}

void SessionsModule::LoggedOut() {
    if (rooms_) rooms_->DropAll();
}

void SessionsModule::PageArrived(int32_t selector, bool complete, bool numbersRead) {
    SessionListPage& page = family_->Pages()[static_cast<size_t>(selector)];
    if (numbersRead) {
        int32_t sortCode = 0, pageIndex = 0;
        {
            std::lock_guard<std::mutex> hold(page.lock);
            sortCode = page.sortCode;
            pageIndex = page.pageIndex;
        }
        if (selector == kMainListSelector) {
            page_->TakePosition(sortCode, pageIndex);
        } else {
            manage_->TakePosition(sortCode, pageIndex);
        }
    }
    // A page that failed part-way keeps its rows but is not drawn.
    if (!complete) return;
    const SessionPageView view = ViewOf(page);
    if (selector == kMainListSelector) {
        // The list is redrawn in place: the main window is neither moved
        // nor raised, and whatever an automatic refresh held back is done.
        page_->DisplayPage(view);
        main_->SetSkipNextShow(false);
    } else {
        manage_->DisplayPage(view);
        manage_->BringUp();
    }
}

void SessionsModule::RefreshBothLists() {
    manage_->RequestCurrentPage(1);
    page_->RequestPage(page_->PageIndex(), 1);
}

bool SessionsModule::SendJoinSession(const std::string& sessionId, const std::string& password) {
    return client_ && client_->NetworkServer().Send(BuildJoinSession(sessionId, password));
}

void SessionsModule::OpenSessionList() {
    if (!manage_) return;
    manage_->RequestCurrentPage(0);
    manage_->BringUp();
}

void SessionsModule::SetSessionPicker(Picker picker) {
    if (manage_) manage_->SetPicker(std::move(picker));
}

void SessionsModule::SetNotificationHandler(int32_t code, Handler handler) {
    if (family_) family_->SetNotificationHandler(code, std::move(handler));
}

void SessionsModule::SetResponseHandler(int32_t code, Handler handler) {
    if (family_) family_->SetResponseHandler(code, std::move(handler));
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<SessionsModule>();
}

}  // namespace sessions
