#include "mailbox/MailboxDlg.h"

#include <QAction>
#include <QMenu>
#include <fstream>

#include "mailbox/ListMessage.h"
#include "mailbox/MailboxSmallDlgs.h"
#include "mailbox/TreeFolders.h"
#include "net/Client.h"
#include "net/Transfers.h"
#include "shell/MainWindowServices.h"
#include "ui/Dialogs.h"
#include "ui/FilterEdit.h"
#include "ui/FixedButton.h"
#include "ui/SessionHeaderCtrl.h"

namespace mailbox {

namespace {

// The frame: heading band, the two sides, a divider between the tree and the
// list, and the band of buttons at the bottom.
constexpr int kHeader = 56;
constexpr int kFooter = 64;
constexpr int kSide = 14;
constexpr int kTreeWidth = 190;
constexpr int kDivider = 10;
constexpr int kBodyHeight = CMailboxDlg::kClientSize.height() - kHeader - kFooter;
const QRect kTreeRect(kSide, kHeader, kTreeWidth, kBodyHeight);
const QRect kListRect(kSide + kTreeWidth + kDivider, kHeader,
                      CMailboxDlg::kClientSize.width() - 2 * kSide - kTreeWidth - kDivider,
                      kBodyHeight);

struct ButtonSpec {
    const char* caption;
    const char* tip;
};
constexpr ButtonSpec kButtons[] = {
    {"NEWMESSAGE", "New Message"},       {"DELETEMESSAGE", "Delete"},
    {"MARKREAD", "Mark Read"},           {"MARKUNREAD", "Mark Unread"},
    {"MOVETOFOLDER", "Move to Folder"},  {"NEWFOLDER", "New Folder"},
};

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr char kDeleteMessagesText[] = "Are you sure you wish to delete the selected messages?\r\n\r\n";
constexpr char kDeleteOutboxMessagesText[] =
    "Are you sure you wish to delete the selected messages?\r\n\r\nNOTE: Because these messages "
    "are contained within the outbox folder, they will no longer be accessible by their "
    "recipient(s)";

}  // namespace

void CMailboxDlg::RegisterPictures(ui::Skin& skin) {
    // The frame (IDB_MAILBOX...) is the toolkit's; the companions are ours.
    skin.RegisterBackground(QStringLiteral("IDB_MAILBOXFOLDERCREATE"),
                            CMailboxFolderCreateDlg::kClientSize,
                            QStringLiteral("New mailbox folder"));
    skin.RegisterBackground(QStringLiteral("IDB_MAILBOXSELECTFOLDER"),
                            CMailboxSelectFolderDlg::kClientSize, QStringLiteral("Select folder"));
    skin.RegisterBackground(QStringLiteral("IDB_MAILALERT"), CMailboxAlertDlg::kClientSize,
                            QStringLiteral("Mailbox alert"));
    for (const ButtonSpec& b : kButtons) {
        skin.RegisterButton(QString::fromLatin1(b.caption), QSize(32, 32));
    }
    skin.RegisterButton(QStringLiteral("MAILACTIVE"), QSize(36, 36));
}

CMailboxDlg::CMailboxDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                         net::Client& client, shell::MainWindowServices& main, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client), main_(main) {
    setWindowTitle(QStringLiteral("Mailbox"));
    SetClientSize(kClientSize);
    SetFrame(QStringLiteral("IDB_MAILBOX"));
    BuildControls();

    create_ = new CMailboxFolderCreateDlg(skin, dialogs, timings, parent);
    create_->SetCreate([this](int32_t root, const std::string& name) {
        SendCreateFolder(client_.FileServer(), root, name);
    });
    select_ = new CMailboxSelectFolderDlg(skin, dialogs, timings, parent);
    select_->SetChosen([this](const QString& key) {
        const std::string destination = key.toStdString();
        if (movingRoot_ == state_.CurrentRoot() && destination == movingKey_) return;
        std::vector<const CMailboxMessage*> messages;
        for (const CMailboxMessage& m : moving_) messages.push_back(&m);
        UploadOperation(kOpMove, destination, messages);
    });
    alert_ = new CMailboxAlertDlg(skin, dialogs, timings, parent);
    alert_->SetGoToMailbox([this] { OpenMailbox(); });
    UpdateButtons();
}

CMailboxDlg::~CMailboxDlg() {
    // The list shows the state's rows, which go before the widgets do.
    list_->Model().SetMessages(nullptr);
    // The companions share the parent; they go with this window.
    delete create_;
    delete select_;
    delete alert_;
}

void CMailboxDlg::BuildControls() {
    tree_ = new CTreeFolders(this);
    tree_->setGeometry(kTreeRect);
    list_ = new CListMessage(skin_, this);
    list_->setGeometry(kListRect);
    list_->Model().SetMessages(&state_.Messages());

    const int y = kClientSize.height() - kFooter + (kFooter - 32) / 2;
    int x = kSide + 4;
    for (const ButtonSpec& spec : kButtons) {
        auto* button = new ui::CFixedButton(skin_, QString::fromLatin1(spec.caption), this);
        button->setObjectName(QString::fromLatin1(spec.caption));
        button->setToolTip(QString::fromLatin1(spec.tip));
        button->setAccessibleName(QString::fromLatin1(spec.tip));
        // The folder button stands apart from those that act on messages.
        if (QLatin1String(spec.caption) == QLatin1String("NEWFOLDER")) x += 24;
        button->move(x, y);
        x += 40;
        buttons_.push_back(button);
    }
    // The filter takes the free end of the button band.
    constexpr int kFilterWidth = 220;
    filter_ = new ui::CFilterEdit(this);
    filter_->setGeometry(kClientSize.width() - kSide - kFilterWidth,
                         kClientSize.height() - kFooter + (kFooter - ui::kFilterHeight) / 2,
                         kFilterWidth, ui::kFilterHeight);
    filter_->Attach(list_);
    // Rows the filter hides leave the selection: the buttons follow it.
    connect(filter_, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    connect(Button("NEWMESSAGE"), &QAbstractButton::clicked, this, [this] {
        if (hooks_.compose) hooks_.compose();
    });
    connect(Button("DELETEMESSAGE"), &QAbstractButton::clicked, this,
            &CMailboxDlg::DeleteMessages);
    connect(Button("MARKREAD"), &QAbstractButton::clicked, this, &CMailboxDlg::MarkRead);
    connect(Button("MARKUNREAD"), &QAbstractButton::clicked, this, &CMailboxDlg::MarkUnread);
    connect(Button("MOVETOFOLDER"), &QAbstractButton::clicked, this, &CMailboxDlg::MoveToFolder);
    connect(Button("NEWFOLDER"), &QAbstractButton::clicked, this, &CMailboxDlg::NewFolder);

    connect(tree_, &CTreeFolders::FolderClicked, this,
            [this](int32_t root, const QString& key) { ChooseFolder(root, key.toStdString()); });
    connect(tree_, &CTreeFolders::DeleteRequested, this,
            [this](int32_t root, const QString& key) { DeleteFolder(root, key.toStdString()); });
    connect(tree_, &CTreeFolders::MenuRequested, this,
            [this](int32_t root, const QString& key, const QPoint& at) {
                FolderMenu(root, key.toStdString(), at);
            });
    connect(list_, &CListMessage::SelectionTouched, this, &CMailboxDlg::UpdateButtons);
    connect(list_, &CListMessage::OpenRequested, this, &CMailboxDlg::OpenMessage);
    connect(list_, &CListMessage::DeletePressed, this, &CMailboxDlg::DeleteMessages);
    connect(list_, &CListMessage::MenuRequested, this, &CMailboxDlg::MessageMenu);
    connect(&list_->Header(), &ui::CSessionHeaderCtrl::SortRequested, this,
            &CMailboxDlg::SortBy);

    setTabOrder(tree_, list_);
    QWidget* previous = list_;
    for (ui::CFixedButton* b : buttons_) {
        setTabOrder(previous, b);
        previous = b;
    }
}

ui::CFixedButton* CMailboxDlg::Button(const char* caption) const {
    for (ui::CFixedButton* b : buttons_) {
        if (b->Caption() == QLatin1String(caption)) return b;
    }
    return nullptr;
}

std::vector<QWidget*> CMailboxDlg::Windows() const {
    return {const_cast<CMailboxDlg*>(this), create_, select_, alert_};
}

void CMailboxDlg::SetHooks(MailboxHooks hooks) {
    hooks_ = std::move(hooks);
    UpdateButtons();
}

void CMailboxDlg::ResetForLogin() {
    list_->Model().Replace([this] { state_.Reset(); }, &state_.Messages());
    list_->Header().Reset(kSortDate, false);
    tree_->clear();
    moving_.clear();
    main_.SetMailUnread(false);
    UpdateButtons();
}

void CMailboxDlg::OpenMailbox() {
    // The user asked: whatever an earlier quiet refresh left, this one shows.
    state_.SetQuiet(false);
    RequestFolderList();
}

void CMailboxDlg::RefreshQuietly() {
    state_.SetQuiet(true);
    if (!RequestFolderList()) state_.SetQuiet(false);
}

bool CMailboxDlg::RequestFolderList() {
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kFolderListFile);
    if (path.empty()) return false;
    return net::StartDownload(client_.FileServer(), kTransferSlotFolders, path, 0,
                              {net::TransferField(int32_t(0))});
}

bool CMailboxDlg::RequestMessageList() {
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kMessageListFile);
    const bool sent = !path.empty() &&
                      net::StartDownload(client_.FileServer(), kTransferSlotMessages, path, 0,
                                         {net::TransferField(int32_t(0)),
                                          net::TransferField(state_.CurrentRoot()),
                                          net::TransferField(state_.CurrentKey())});
    // No list is coming that would consume the flag.
    if (!sent) state_.SetKeepTree(false);
    return sent;
}

void CMailboxDlg::FolderListArrived() {
    state_.ClearFolders();
    std::string bytes;
    if (!ReadWholeFile(client_.DataPath(kFolderListFile), bytes)) return;
    const int64_t unread = state_.TakeFolderList(ParseFolderList(bytes));
    SetMailButton(unread);
    RequestMessageList();
}

void CMailboxDlg::MessageListArrived() {
    list_->Model().Replace([this] { state_.ClearMessages(); }, &state_.Messages());
    std::string bytes;
    if (!ReadWholeFile(client_.DataPath(kMessageListFile), bytes)) {
        dialogs_.Message(this, QStringLiteral("Error"),
                         QStringLiteral("Unable to open downloaded list message file"),
                         ui::MsgIcon::Information);
        return;
    }
    std::vector<CMailboxMessage> messages;
    if (ParseMessageList(bytes, messages) == MessageListResult::Corrupt) {
        dialogs_.Message(this, QStringLiteral("Error"),
                         QStringLiteral("The list message file appears to be corrupted"),
                         ui::MsgIcon::Information);
    }
    list_->Model().Replace([&] { state_.SetMessages(std::move(messages)); }, &state_.Messages());
    ShowChainEnd();
}

void CMailboxDlg::MessageListRefused() {
    // The folder is gone or not ours: the list stays as it was and the chain
    // ends here as if it had been read, with the tree drawn afresh.
    state_.SetKeepTree(false);
    ShowChainEnd();
}

void CMailboxDlg::OperationUploaded() {
    // The server has applied it: the refreshed lists show the result.
    RequestFolderList();
}

void CMailboxDlg::ShowChainEnd() {
    Redraw();
    if (state_.Quiet()) {
        state_.SetQuiet(false);
        return;
    }
    if (placed_) {
        ShowInFront(ui::ShowPlacement::Keep());
        return;
    }
    placed_ = true;
    const QPoint centred = CentredTopLeft(ScreenRect(), OuterSize());
    ShowInFront(ui::ShowPlacement::At(centred + QPoint(200, 100)));
}

void CMailboxDlg::Redraw() {
    if (state_.KeepTree()) {
        state_.SetKeepTree(false);
    } else {
        tree_->Rebuild(state_.Folders(), state_.CurrentRoot(), state_.CurrentKey());
    }
    list_->Model().Replace([this] { state_.Sort(); }, &state_.Messages());
    UpdateButtons();
}

void CMailboxDlg::UpdateButtons() {
    const ButtonStates b = state_.Buttons(list_->SelectedRows().size());
    Button("MARKREAD")->setEnabled(b.markRead);
    Button("MARKUNREAD")->setEnabled(b.markUnread);
    Button("DELETEMESSAGE")->setEnabled(b.deleteMessages);
    Button("MOVETOFOLDER")->setEnabled(b.moveToFolder);
    Button("NEWMESSAGE")->setEnabled(static_cast<bool>(hooks_.compose));
}

void CMailboxDlg::SetMailButton(int64_t unreadSum) {
    main_.SetMailUnread(unreadSum > 0);
}

void CMailboxDlg::SortBy(int column, bool ascending) {
    state_.SetSort(column, ascending ? 0 : 1);
    list_->Model().Replace([this] { state_.Sort(); }, &state_.Messages());
    UpdateButtons();
}

std::vector<const CMailboxMessage*> CMailboxDlg::Selected() const {
    std::vector<const CMailboxMessage*> out;
    for (int row : list_->SelectedRows()) {
        if (const CMailboxMessage* m = list_->Model().At(row)) out.push_back(m);
    }
    return out;
}

bool CMailboxDlg::UploadOperation(int32_t operation, const std::string& destination,
                                  const std::vector<const CMailboxMessage*>& messages) {
    const std::string text = OperationFileText(
        operation, operation == kOpMove ? movingRoot_ : state_.CurrentRoot(),
        operation == kOpMove ? movingKey_ : state_.CurrentKey(), destination, messages);
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kOperationFile);
    bool written = false;
    if (!path.empty()) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        written = static_cast<bool>(out);
    }
    if (!written) {
        dialogs_.Message(this, QStringLiteral("Alert"),
                         QStringLiteral("Failed to generate listmessage file"));
        return false;
    }
    return net::StartUpload(client_.FileServer(), kTransferSlotOperation, path, {});
}

void CMailboxDlg::MarkRead() {
    const auto selected = Selected();
    if (!selected.empty()) UploadOperation(kOpMarkRead, {}, selected);
    UpdateButtons();
}

void CMailboxDlg::MarkUnread() {
    const auto selected = Selected();
    if (!selected.empty()) UploadOperation(kOpMarkUnread, {}, selected);
    UpdateButtons();
}

void CMailboxDlg::DeleteMessages() {
    const auto selected = Selected();
    if (selected.empty()) return;
    const bool outbox = state_.CurrentRoot() == kRootOutbox;
    const ui::MsgAnswer answer = dialogs_.Message(
        this, QStringLiteral("Warning"),
        QString::fromLatin1(outbox ? kDeleteOutboxMessagesText : kDeleteMessagesText),
        ui::MsgIcon::Question, ui::MsgButtons::YesNo);
    if (answer != ui::MsgAnswer::Yes) return;
    UploadOperation(kOpDelete, {}, selected);
    UpdateButtons();
}

void CMailboxDlg::MoveToFolder() {
    if (state_.CurrentRoot() == kRootSessions) return;
    const auto selected = Selected();
    if (selected.empty()) return;
    moving_.clear();
    for (const CMailboxMessage* m : selected) moving_.push_back(*m);
    movingRoot_ = state_.CurrentRoot();
    movingKey_ = state_.CurrentKey();
    QStringList keys;
    for (const CMailboxFolder& f : state_.Folders().roots[static_cast<size_t>(movingRoot_)]) {
        keys << FromUtf8(f.Key());
    }
    select_->Open(keys);
}

void CMailboxDlg::NewFolder() {
    create_->Open();
}

void CMailboxDlg::DeleteFolder(int32_t rootType, const std::string& key) {
    const CMailboxFolder* folder = state_.Folders().Find(rootType, key);
    if (folder == nullptr) return;
    QString text = rootType == kRootOutbox
                       ? QStringLiteral(
                             "Are you sure you wish to delete folder '%1'?\r\n\r\nNOTE: Because "
                             "this is an outbox folder, all messages contained within will no "
                             "longer be accessible by their recipient(s)")
                       : QStringLiteral("Are you sure you wish to delete folder '%1'?");
    text = text.arg(FromUtf8(folder->Name()));
    const ui::MsgAnswer answer = dialogs_.Message(this, QStringLiteral("Caution"), text,
                                                  ui::MsgIcon::Warning, ui::MsgButtons::YesNo);
    if (answer != ui::MsgAnswer::Yes) return;
    SendDeleteFolder(client_.FileServer(), rootType, key);
}

void CMailboxDlg::OpenMessage(int row) {
    const CMailboxMessage* m = list_->Model().At(row);
    // Without a reader nothing is opened, so nothing becomes read either.
    if (m == nullptr || !hooks_.read) return;
    const CMailboxMessage message = *m;
    hooks_.read(message, state_.CurrentRoot(), state_.CurrentKey());
    if (state_.MessageOpened(static_cast<size_t>(row))) {
        list_->Model().RowChanged(row);
        tree_->Rebuild(state_.Folders(), state_.CurrentRoot(), state_.CurrentKey());
        SetMailButton(state_.UnreadSum());
    }
}

void CMailboxDlg::ChooseFolder(int32_t rootType, const std::string& key) {
    if (state_.Folders().Find(rootType, key) == nullptr) return;
    if (!state_.ChooseFolder(rootType, key)) return;
    RequestMessageList();
}

void CMailboxDlg::Handle(const MailboxEvent& event) {
    using Kind = MailboxEvent::Kind;
    switch (event.kind) {
        case Kind::FolderCreated:
        case Kind::FolderDeleted:
            RequestFolderList();
            break;
        case Kind::CreateFolderRefused:
        case Kind::DeleteFolderRefused:
            client_.ShowServerResponse(ResponseHeading(event.kind), event.text);
            break;
        case Kind::RecipientsRefused:
            client_.ShowServerResponse(ResponseHeading(event.kind), event.text);
            if (hooks_.recipientsRefused) hooks_.recipientsRefused();
            break;
        case Kind::MessageGone:
            client_.ShowServerResponse(ResponseHeading(event.kind), kMessageGoneDetails);
            if (hooks_.messageGone) hooks_.messageGone();
            break;
        case Kind::UnreadMail:
            UnreadMail(event.value);
            break;
        case Kind::NewMail:
            NewMail();
            break;
        case Kind::GoAhead:
            if (hooks_.goAhead) hooks_.goAhead(event.onFileServer);
            break;
        case Kind::Sent:
        case Kind::SentWithReport:
            if (hooks_.sent) hooks_.sent(event.kind == Kind::SentWithReport, event.value);
            break;
        case Kind::AttachmentName:
            if (hooks_.attachmentName) hooks_.attachmentName(event.text);
            break;
        case Kind::AttachmentNameUnreadable:
            // Nothing to show (the log says why), but the reader's request
            // was answered: without this it would take the next answer for
            // this one and never open another message with an attachment.
            if (hooks_.attachmentNameUnreadable) hooks_.attachmentNameUnreadable();
            break;
        case Kind::None:
            break;
    }
}

void CMailboxDlg::NewMail() {
    if (hooks_.newMail) hooks_.newMail();
    if (isVisible()) {
        state_.SetQuiet(true);
        RequestFolderList();
    }
    main_.SetMailUnread(true);
    alert_->ShowInFront(ui::ShowPlacement::Centred());
}

void CMailboxDlg::UnreadMail(int32_t count) {
    main_.SetMailUnread(count > 0);
}

QAction* CMailboxDlg::RunMenu(QMenu& menu, const QPoint& globalPos) {
    if (menuRunner_) return menuRunner_(menu, globalPos);
    return menu.exec(globalPos);
}

void CMailboxDlg::MessageMenu(const QPoint& globalPos) {
    QMenu menu(this);
    QAction* move = menu.addAction(QStringLiteral("Move to Folder..."));
    move->setEnabled(state_.CurrentRoot() != kRootSessions);
    QAction* read = menu.addAction(QStringLiteral("Mark Read"));
    QAction* unread = menu.addAction(QStringLiteral("Mark Unread"));
    QAction* del = menu.addAction(QStringLiteral("Delete"));
    QAction* chosen = RunMenu(menu, globalPos);
    if (chosen == nullptr || !chosen->isEnabled()) return;
    if (chosen == move) MoveToFolder();
    if (chosen == read) MarkRead();
    if (chosen == unread) MarkUnread();
    if (chosen == del) DeleteMessages();
}

void CMailboxDlg::FolderMenu(int32_t rootType, const std::string& key, const QPoint& globalPos) {
    QMenu menu(this);
    QAction* del = menu.addAction(QStringLiteral("Delete"));
    if (RunMenu(menu, globalPos) == del) DeleteFolder(rootType, key);
}

}  // namespace mailbox
