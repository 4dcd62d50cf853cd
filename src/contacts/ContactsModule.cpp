#include "contacts/ContactsModule.h"

#include <QAction>
#include <QApplication>
#include <QRandomGenerator>
#include <QTime>
#include <QMenu>

#include "contacts/AddContactDlg.h"
#include "contacts/Conversations.h"
#include "contacts/FindContactDlg.h"
#include "contacts/InvitePromptDlg.h"
#include "contacts/ListContacts.h"
#include "net/Client.h"
#include "net/Transfers.h"
#include "shell/ModuleContext.h"
#include "sessions/api/SessionDirectory.h"
#include "shell/Notifier.h"
#include "shell/Settings.h"
#include "ui/Dialogs.h"
#include "ui/FilterEdit.h"
#include "ui/Skin.h"
#include "ui/TextConvert.h"

namespace contacts {

namespace {

// Control identifier of the list, as the other tools know it.
constexpr int kIdContacts = 1073;

constexpr char kAccountListFolder[] = "files/remote/listaccount";
constexpr char kAccountListFile[] = "files/remote/listaccount/listaccount";

// The window the user is looking at: the active one, not minimised.
bool InFront(const QWidget* w) {
    return w != nullptr && QApplication::activeWindow() == w && !w->isMinimized();
}

bool SameAccount(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

ContactsModule::ContactsModule() = default;
ContactsModule::~ContactsModule() {
    // The list and its menu belong to the main window, which may outlive
    // this module: nothing of theirs may call back into it any more.
    for (const QMetaObject::Connection& c : connections_) QObject::disconnect(c);
}

CListContacts* ContactsModule::List() const {
    return list_.data();
}

QMenu* ContactsModule::Menu() const {
    return menu_.data();
}

void ContactsModule::RegisterPictures(ui::Skin& skin) {
    const char* presence[] = {"OFFLINE", "ONLINE", "AWAY", "MUTED"};
    for (int i = 0; i < 4; ++i) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::Presence;
        e.size = QSize(16, 16);
        e.arg = i;
        skin.Register(QStringLiteral("IDB_PRESENCE%1").arg(QString::fromLatin1(presence[i])), e);
    }
}

void ContactsModule::Register(shell::ModuleContext& ctx) {
    client_ = &ctx.Client();
    dialogs_ = &ctx.Dialogs();
    mainWindow_ = ctx.WindowParent();

    QWidget* pane = ctx.MainWindow().Pane(shell::MainPane::Contacts);
    list_ = new CListContacts(ctx.Skin(), pane);
    list_->setObjectName(QString::number(kIdContacts));
    // The filter field sits under the list, level with the sessions' paging
    // row beside it.
    list_->setGeometry(QRect(0, 0, pane->width(), pane->height() - ui::kFilterHeight - 6));
    filter_ = new ui::CFilterEdit(pane);
    filter_->setFont(ui::Skin::Font(11));
    filter_->setGeometry(0, pane->height() - ui::kFilterHeight - 1, pane->width(), ui::kFilterHeight);
    filter_->Attach(list_);

    menu_ = new QMenu(list_);
    const std::pair<Command, const char*> items[] = {
        {kSendIm, "Send IM"},
        {kRetrieveDocuments, "Retrieve Documents"},
        {kViewWhiteboard, "View Whiteboard"},
        {kMuteToggle, "Mute"},
        {kRemoveContact, "Remove Contact"},
    };
    for (const auto& [command, text] : items) {
        QAction* action = menu_->addAction(QString::fromLatin1(text));
        items_[command] = action;
        connections_.push_back(
            QObject::connect(action, &QAction::triggered, list_,
                             [this, command = command] { RunCommand(command, menuUser_); }));
    }
    connections_.push_back(QObject::connect(list_, &CListContacts::menuRequested, list_,
                                            [this](int row, const QPoint& at) {
                                                if (PrepareMenu(row)) menu_->popup(at);
                                            }));
    connections_.push_back(
        QObject::connect(list_, &CListContacts::deleteRequested, list_, [this](int row) {
            if (const Contact* c = ContactAt(row)) RunCommand(kRemoveContact, c->username);
        }));
    connections_.push_back(QObject::connect(list_, &CListContacts::clickedAway, list_, [this] {
        if (mainWindow_) mainWindow_->setFocus();
    }));

    ctx.RegisterFamily(
        net::Primary::Contact,
        [this](net::Connection& connection, const net::bufHeader& header, net::LogLine& log) {
            HandleContactMessage(connection, header, log, *this);
        });
    ctx.AddOpeningRequest(
        [](net::Client& client) { return SendContactListRequest(client.NetworkServer()); });
    ctx.MainWindow().SetStatusSender([this](int32_t status) { SendStatus(status); });

    add_ = std::make_unique<CAddContactDlg>(
        ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
        [this](const QString& typed) {
            return CheckNewContact(typed.toStdU16String(), ui::TextToUtf8(typed), book_);
        },
        [this](const std::string& username) { AddContact(username); }, ctx.WindowParent());
    find_ = std::make_unique<CFindContactDlg>(ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
                                              ctx.WindowParent());
    ctx.HideOnDrop(add_.get());
    ctx.HideOnDrop(find_.get());

    ctx.SetTool(shell::Tool::AddContact, [this] { OpenAddContact(); });
    ctx.SetTool(shell::Tool::Search, [this] { StartSearch(); });
    net::SlotHooks hooks;
    hooks.completed = [this](uint32_t purpose) { AccountListArrived(purpose); };
    ctx.RegisterSlot(kAccountListSlot, std::move(hooks));

    ctx.Publish<ContactsApi>(*this);

    shell::Settings& settings = ctx.Settings();
    settings_ = &settings;
    shell::MainWindowServices& mainWindow = ctx.MainWindow();
    Conversations::Parts parts{ctx.Skin(), ctx.Dialogs(), ctx.Timings(), ctx.WindowParent()};
    parts.send = [this](std::unique_ptr<net::MessageBuffer> m) {
        return client_->NetworkServer().Send(std::move(m));
    };
    parts.settings = [&settings]() -> const shell::SettingsValues& { return settings.Values(); };
    parts.me = [this] { return client_->Username(); };
    parts.contacts = this;
    parts.alert = [this, &mainWindow] {
        if (mainWindow_) QApplication::alert(mainWindow_, 0);
        mainWindow.StartTrayBlink();
    };
    parts.inForeground = InFront;
    parts.randomOffset = [] { return QRandomGenerator::global()->bounded(-40, 40); };
    parts.now = [] { return QTime::currentTime(); };
    parts.hideOnDrop = [&ctx](QWidget* w) { ctx.HideOnDrop(w); };
    parts.notifier = ctx.Notifier();
    notifier_ = ctx.Notifier();
    conversations_ = std::make_unique<Conversations>(std::move(parts));
    SetContactAction(ContactAction::SendIm,
                     [this](const std::string& username) { conversations_->Open(username, true); });
    SetRecipientOfflineHandler([this](net::MessageReader& fields, net::LogLine& log) {
        conversations_->RecipientOffline(fields, log);
    });
    SetIncomingMessageHandler([this](net::MessageReader& fields, net::LogLine& log) {
        conversations_->Incoming(fields, log);
    });
    invite_ = std::make_unique<CInvitePromptDlg>(
        ctx.Skin(), ctx.Dialogs(), ctx.Timings(),
        [&ctx](const std::string& id, const std::string& password) {
            // Without the session directory there is nothing to join with.
            if (auto* directory = ctx.Find<sessions::SessionDirectory>())
                directory->SendJoinSession(id, password);
        },
        ctx.WindowParent());
    ctx.HideOnDrop(invite_.get());
}

void ContactsModule::ShowInvitation(const std::string& inviter, const std::string& sessionName,
                                    const std::string& sessionId, bool hasPassword,
                                    const std::string& password) {
    if (!invite_) return;
    // Whether the user was looking at the prompt before it changed.
    const bool inFront = InFront(invite_.get());
    invite_->Fill(inviter, sessionName, sessionId, hasPassword, password);
    if (notifier_ == nullptr || inFront || settings_ == nullptr || !settings_->AlertOnMessages())
        return;
    std::weak_ptr<bool> alive = alive_;
    notifier_->Notify(
        shell::NotificationKind::Invitation, QStringLiteral("Session invitation"),
        shell::NotificationText(QStringLiteral("%1 has invited you to join %2")
                                    .arg(QString::fromUtf8(inviter.c_str()),
                                         QString::fromUtf8(sessionName.c_str())),
                                shell::kNotificationBodyChars, true),
        [this, alive] {
            if (alive.expired() || !invite_) return;
            CInvitePromptDlg* prompt = invite_.get();
            if (!prompt->isVisible()) {
                if (!prompt->ShowPending()) prompt->ShowInFront(ui::ShowPlacement::Centred());
                return;
            }
            if (prompt->isMinimized()) prompt->showNormal();
            prompt->raise();
            prompt->activateWindow();
        });
}

void ContactsModule::OpenConversation(const std::string& username) {
    if (conversations_) conversations_->Open(username, true);
}

void ContactsModule::LoggedIn() {
    // The run's muted users belong to whoever muted them.
    const std::string account = client_->Username();
    if (!lastAccount_.empty() && !SameAccount(lastAccount_, account)) {
        book_.Muted().Clear();
        MutedUsersChanged();
    }
    lastAccount_ = account;
    if (conversations_) conversations_->LoggedIn(account);
    // Nothing of an earlier login shows until this login's list arrives.
    book_.Clear();
    Redraw();
}

void ContactsModule::LoggedOut() {
    // The add and find windows are hidden with the others; an open menu too.
    if (menu_ != nullptr) menu_->hide();
}

QAction* ContactsModule::MenuItem(Command command) const {
    const auto it = items_.find(command);
    return it == items_.end() ? nullptr : it->second;
}

const Contact* ContactsModule::ContactAt(int row) const {
    const auto& contacts = book_.Contacts();
    return row >= 0 && row < static_cast<int>(contacts.size()) ? &contacts[static_cast<size_t>(row)]
                                                               : nullptr;
}

bool ContactsModule::PrepareMenu(int row) {
    const Contact* c = ContactAt(row);
    if (c == nullptr || menu_ == nullptr) return false;
    menuUser_ = c->username;
    items_[kMuteToggle]->setText(c->Muted() ? QStringLiteral("Unmute") : QStringLiteral("Mute"));
    UpdateMenuItems();
    return true;
}

void ContactsModule::UpdateMenuItems() {
    if (menu_ == nullptr) return;
    items_[kSendIm]->setEnabled(static_cast<bool>(sendIm_));
    items_[kRetrieveDocuments]->setEnabled(static_cast<bool>(retrieveDocuments_));
    items_[kViewWhiteboard]->setEnabled(static_cast<bool>(viewWhiteboard_));
}

void ContactsModule::RunCommand(Command command, const std::string& username) {
    const Contact* c = book_.Find(username);
    if (c == nullptr) return;
    switch (command) {
        case kSendIm:
            if (!sendIm_) return;
            if (c->status != 0) {
                sendIm_(username);
            } else {
                dialogs_->Message(mainWindow_, QStringLiteral("Error"),
                                  QString::asprintf("%s is not currently online", username.c_str()),
                                  ui::MsgIcon::Error);
            }
            return;
        case kRetrieveDocuments:
            if (retrieveDocuments_) retrieveDocuments_(username);
            return;
        case kViewWhiteboard: {
            if (!viewWhiteboard_) return;
            // Only a plain name becomes part of a local path.
            const std::string page = net::RemoteNotepadPageName(username, 1);
            if (page.empty()) return;
            const std::string folder = page.substr(0, page.rfind('/'));
            if (!net::CreateTransferDirectories(client_->DataDirectory(), folder)) return;
            viewWhiteboard_(username, page);
            return;
        }
        case kMuteToggle:
            SetMuted(username, !c->Muted());
            return;
        case kRemoveContact:
            client_->NetworkServer().Send(BuildRemoveContact(username));
            return;
    }
}

void ContactsModule::OpenAddContact() {
    if (add_) add_->Open();
}

bool ContactsModule::StartSearch() {
    return RequestAccountList(kPurposeFindContact);
}

std::string ContactsModule::AccountListPath() const {
    return client_->DataPath(kAccountListFile);
}

bool ContactsModule::RequestAccountList(uint32_t purpose) {
    if (client_ == nullptr) return false;
    if (!net::CreateTransferDirectories(client_->DataDirectory(), kAccountListFolder)) return false;
    return net::StartDownload(client_->FileServer(), kAccountListSlot, AccountListPath(), purpose,
                              {int32_t(0)});
}

void ContactsModule::AccountListArrived(uint32_t purpose) {
    if (purpose == kPurposeManageAccounts) {
        if (managementList_) managementList_(AccountListPath());
        return;
    }
    if (find_) find_->LoadAndShow(AccountListPath());
}

void ContactsModule::Redraw() {
    if (list_ == nullptr) return;
    QVector<ContactRow> rows;
    rows.reserve(static_cast<qsizetype>(book_.Contacts().size()));
    for (const Contact& c : book_.Contacts()) {
        QString name;
        ui::Utf8ToText(c.username, name);
        rows.push_back({name, c.Muted(), c.status});
    }
    list_->Model().SetRows(std::move(rows));
}

void ContactsModule::MutedUsersChanged() {
    // Copied: a callback may add or remove callbacks.
    const auto callbacks = mutedCallbacks_;
    for (const auto& [id, callback] : callbacks) {
        if (callback) callback();
    }
}

// --- ContactsApi ---

bool ContactsModule::SendStatus(int32_t status) {
    return client_ != nullptr && contacts::SendStatus(client_->NetworkServer(), status);
}

bool ContactsModule::AddContact(const std::string& username) {
    return client_ != nullptr && client_->NetworkServer().Send(BuildAddContact(username));
}

bool ContactsModule::RequestContactList() {
    return client_ != nullptr && SendContactListRequest(client_->NetworkServer());
}

bool ContactsModule::SetMuted(const std::string& username, bool muted) {
    if (client_ == nullptr) return false;
    const bool sent = client_->NetworkServer().Send(BuildMute(username, muted));
    book_.SetMuted(username, muted);
    // Shown at once, not only with the next list or presence change.
    Redraw();
    MutedUsersChanged();
    return sent;
}

bool ContactsModule::IsMuted(const std::string& username) const {
    return book_.IsMuted(username);
}

std::optional<ContactInfo> ContactsModule::FindContact(const std::string& username) const {
    const Contact* c = book_.Find(username);
    if (c == nullptr) return std::nullopt;
    return ContactInfo{c->username, c->muteText, c->status};
}

int ContactsModule::OnMutedUsersChanged(std::function<void()> changed) {
    const int id = nextCallbackId_++;
    mutedCallbacks_[id] = std::move(changed);
    return id;
}

void ContactsModule::RemoveMutedUsersChanged(int id) {
    mutedCallbacks_.erase(id);
}

void ContactsModule::SetContactAction(ContactAction action,
                                      std::function<void(const std::string&)> run) {
    (action == ContactAction::SendIm ? sendIm_ : retrieveDocuments_) = std::move(run);
    UpdateMenuItems();
}

void ContactsModule::SetViewWhiteboardAction(
    std::function<void(const std::string&, const std::string&)> run) {
    viewWhiteboard_ = std::move(run);
    UpdateMenuItems();
}

void ContactsModule::SetAccountPicked(std::function<bool(const std::string&)> pick) {
    if (find_) find_->SetPick(std::move(pick));
}

void ContactsModule::SetAccountListForManagement(std::function<void(const std::string&)> done) {
    managementList_ = std::move(done);
}

void ContactsModule::SetRecipientOfflineHandler(MessageHook hook) {
    recipientOffline_ = std::move(hook);
}

void ContactsModule::SetIncomingMessageHandler(MessageHook hook) {
    incomingMessage_ = std::move(hook);
}

// --- MsgContactListener ---

void ContactsModule::ContactListArrived(std::vector<Contact> contacts) {
    book_.Replace(std::move(contacts));
    Redraw();
}

void ContactsModule::StatusChanged(const StatusChange& change) {
    book_.SetStatus(change.username, change.status);
    Redraw();
}

void ContactsModule::UnknownUser() {
    client_->ShowServerResponse(
        "An account with the specified username could not be found",
        "Unable to locate the containing folder for the specified username");
}

void ContactsModule::RecipientOffline(net::MessageReader& fields, net::LogLine& log) {
    if (recipientOffline_) recipientOffline_(fields, log);
}

void ContactsModule::IncomingMessage(net::MessageReader& fields, net::LogLine& log) {
    if (incomingMessage_) incomingMessage_(fields, log);
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<ContactsModule>();
}

}  // namespace contacts
