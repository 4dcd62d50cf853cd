#include "app/MainDlg.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QUrl>

#include "app/AboutDlg.h"
#include "app/ListContacts.h"
#include "app/TrayIcon.h"
#include "net/Client.h"
#include "net/MsgNetwork.h"
#include "ui/Dialogs.h"
#include "ui/FixedButton.h"

namespace app {

namespace {

// Control identifiers of the window, as its other tools know them.
enum ControlId {
    kIdSessions = 1085,
    kIdContacts = 1073,
    kIdStatusChoice = 1078,
    kIdPageText = 1103,
};

// The layout, in client pixels: the tools along the top under the heading
// band with the user's status at their right, then the page of sessions with
// its paging row, and the contacts beside it.
constexpr int kMargin = 12;
constexpr int kToolTop = 44;
constexpr int kToolPitch = 41;
// Wide enough for the four columns and a scroll bar.
const QRect kSessionsRect(kMargin, 90, 406, 212);
constexpr int kPagingTop = 310;
const QRect kContactsRect(432, 90, 210, 246);
const QPoint kStatusPicture(432, 42);
const QRect kStatusChoiceRect(480, 50, 162, 24);

struct ToolSpec {
    const char* caption;
    int id;
    const char* tooltip;
};

// The tools, left to right.
constexpr ToolSpec kTools[] = {
    {"ADDCONTACT", 1074, "Add a Contact"},
    {"SEARCH", 1296, "Find a Contact"},
    {"ACCOUNTINFO", 1295, "Account Information"},
    {"MAIL", 1297, "Mailbox"},
    {"SESSIONS", 1083, "Manage Sessions"},
    {"DOCUMENTS", 1027, "Share Documents"},
    {"WHITEBOARD", 1062, "Access the Whiteboard for Drawing"},
    {"NETWORKINFO", 1298, "Network Information"},
    {"SETTINGS", 1084, "View and Change Settings"},
    {"HELP", 1003, "Help"},
};

const char* const kStatusPictures[] = {"IDB_STATUSONLINE", "IDB_STATUSAWAY"};

// Sort keys of the main window's columns: name 0, creation time 1,
// participants 3, creator 4.
int SortKeyOfColumn(int column) {
    switch (column) {
        case CSessionsZorvicModel::kName:
            return 0;
        case CSessionsZorvicModel::kCreated:
            return 1;
        case CSessionsZorvicModel::kBy:
            return 4;
        case CSessionsZorvicModel::kParticipants:
            return 3;
        default:
            return -1;
    }
}

bool LoggedIn(net::Connection& connection) {
    return connection.State() == net::kStateLoggedIn;
}

}  // namespace

CzorvicDlg::CzorvicDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       net::Client& client, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client) {
    SetBackground(QStringLiteral("IDB_MAINDIALOG"));
    SetClientSize(kClientSize);
    setWindowTitle(QStringLiteral("Palindor"));
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);

    guidePath_ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("guide.pdf"));
    trayOption_ = [this] { return ReadTrayOption(client_.DataPath("settings.dat")); };
    clock_ = [] {
        return static_cast<int64_t>(std::chrono::duration_cast<std::chrono::seconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
    };

    BuildControls();

    tray_ = new CTrayIcon(skin_, timings_, this);
    tray_->SetHiddenInTrayQuery([this] { return hiddenInTray_; });
    connect(tray_, &CTrayIcon::ShowRequested, this, &CzorvicDlg::RestoreFromTray);
    connect(tray_, &CTrayIcon::StatusChosen, this, [this](int32_t s) { SetStatus(s); });
    connect(tray_, &CTrayIcon::ExitChosen, this, &CzorvicDlg::ExitProgram);

    about_ = new CAboutDlg(skin_, dialogs_, timings_, this);

    lastListUse_ = Now();
    refreshTimer_.setInterval(static_cast<int>(timings_.refreshInterval.count()));
    connect(&refreshTimer_, &QTimer::timeout, this, &CzorvicDlg::PeriodicRefresh);
    refreshTimer_.start();

    // The first page of the list goes out with the opening requests.
    client_.SetOpeningRequest(net::OpeningRequest::SessionPage,
                              [this](net::Client&) { return RequestSessionPage(0, 0); });
}

CzorvicDlg::~CzorvicDlg() {
    client_.SetOpeningRequest(net::OpeningRequest::SessionPage, nullptr);
}

void CzorvicDlg::BuildControls() {
    for (size_t i = 0; i < std::size(kTools); ++i) {
        AddButton(QString::fromLatin1(kTools[i].caption), kTools[i].id,
                  QString::fromLatin1(kTools[i].tooltip),
                  QPoint(kMargin + static_cast<int>(i) * kToolPitch, kToolTop));
    }

    sessions_ = new CListSessionsZorvic(skin_, this);
    sessions_->setObjectName(QString::number(kIdSessions));
    sessions_->setGeometry(kSessionsRect);
    connect(sessions_, &CListSessionsZorvic::Used, this, &CzorvicDlg::NoteListUse);
    connect(sessions_, &CListSessionsZorvic::HeaderClicked, this, &CzorvicDlg::OnHeaderClicked);

    AddButton(QStringLiteral("LEFT"), 1102, QStringLiteral("Previous Page"),
              QPoint(kMargin, kPagingTop));
    AddButton(QStringLiteral("RIGHT"), 1091, QStringLiteral("Next Page"),
              QPoint(kMargin + 30, kPagingTop));
    pageText_ = new QLabel(this);
    pageText_->setObjectName(QString::number(kIdPageText));
    pageText_->setFont(ui::Skin::Font(11));
    pageText_->setStyleSheet(QStringLiteral("color: %1;").arg(ui::Skin::Muted().name()));
    pageText_->setGeometry(kMargin + 66, kPagingTop, 280, 26);
    const int refreshX = kSessionsRect.right() + 1 - 26;
    AddButton(QStringLiteral("REFRESH"), 1100, QStringLiteral("Refresh"),
              QPoint(refreshX, kPagingTop));

    contacts_ = new CListContacts(skin_, this);
    contacts_->setObjectName(QString::number(kIdContacts));
    contacts_->setGeometry(kContactsRect);

    statusChoice_ = new QComboBox(this);
    statusChoice_->setObjectName(QString::number(kIdStatusChoice));
    statusChoice_->addItems({QStringLiteral("Online"), QStringLiteral("Away")});
    statusChoice_->setCurrentIndex(StatusChoiceIndex(kStatusOnline));
    statusChoice_->setGeometry(kStatusChoiceRect);
    connect(statusChoice_, &QComboBox::activated, this,
            [this](int index) { SetStatus(StatusFromChoiceIndex(index)); });

    // The About box is reached from the window's context menu and from this
    // link in the heading band, where a user looks for it.
    aboutLink_ = new QLabel(this);
    aboutLink_->setText(QStringLiteral(
        "<a href=\"about\" style=\"color: white; text-decoration: none;\">About Palindor</a>"));
    aboutLink_->setFont(ui::Skin::Font(11, 600));
    aboutLink_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    aboutLink_->setGeometry(kClientSize.width() - kMargin - 120, 8, 120, 20);
    aboutLink_->setCursor(Qt::PointingHandCursor);
    aboutLink_->setToolTip(QStringLiteral("About Palindor"));
    connect(aboutLink_, &QLabel::linkActivated, this, [this] { ShowAbout(); });

    SetButtonAction(QStringLiteral("LEFT"), [this] {
        if (pageIndex_ - 1 >= 0) RequestSessionPage(pageIndex_ - 1, 0);
    });
    SetButtonAction(QStringLiteral("RIGHT"), [this] {
        if (pageIndex_ + 1 < pageCount_) RequestSessionPage(pageIndex_ + 1, 0);
    });
    SetButtonAction(QStringLiteral("REFRESH"), [this] {
        skipNextShow_ = false;
        RequestSessionPage(pageIndex_, 0);
    });
    SetButtonAction(QStringLiteral("HELP"), [this] { OpenHelp(); });
    SetButtonAction(QStringLiteral("NETWORKINFO"), [this] { SendNetworkInformation(); });

    pageText_->setText(QString::fromStdString(PageText(0, 1, 0)));
    UpdatePaging();
}

void CzorvicDlg::AddButton(const QString& caption, int id, const QString& tooltip,
                           const QPoint& at) {
    auto* button = new ui::CFixedButton(skin_, caption, this);
    button->setObjectName(QString::number(id));
    button->setToolTip(tooltip);
    button->move(at);
    button->setEnabled(false);  // until a tool takes it
    connect(button, &QAbstractButton::clicked, this, [this, caption] {
        const auto it = actions_.constFind(caption);
        if (it != actions_.constEnd() && *it) (*it)();
    });
    buttons_.insert(caption, button);
}

void CzorvicDlg::SetButtonAction(const QString& caption, std::function<void()> action) {
    ui::CFixedButton* button = buttons_.value(caption);
    if (button == nullptr) return;
    const bool enabled = static_cast<bool>(action);
    actions_.insert(caption, std::move(action));
    // The paging buttons follow the page; the others follow their tool.
    if (caption == QLatin1String("LEFT") || caption == QLatin1String("RIGHT")) {
        UpdatePaging();
    } else {
        button->setEnabled(enabled);
    }
}

QPoint CzorvicDlg::Placement(const QRect& screen) {
    return QPoint(screen.x() + screen.width() / 2 - 327, screen.y() + screen.height() / 2 - 190);
}

QString CzorvicDlg::TitleFor(const std::string& number) {
    return QString::fromStdString(MainWindowTitle(number));
}

void CzorvicDlg::ShowMainWindow() {
    if (skipNextShow_) {
        skipNextShow_ = false;
        return;
    }
    // Once shown, the window is no longer in the tray (the blink ends).
    hiddenInTray_ = false;
    setWindowTitle(TitleFor(client_.Number()));
    ShowInFront(ui::ShowPlacement::At(Placement(ScreenRect())));
    if (!tray_->Added()) tray_->Add(status_);
}

void CzorvicDlg::EndOfLogin() {
    skipNextShow_ = false;
    // A new login starts online, as the server has it; nothing is sent.
    ApplyStatus(kStatusOnline);
    ShowMainWindow();
}

void CzorvicDlg::RestoreFromTray() {
    // The icon stays after a dropped connection; the main window must not
    // come back over the login window then.
    if (!LoggedIn(client_.NetworkServer())) return;
    hiddenInTray_ = false;
    skipNextShow_ = false;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    ShowMainWindow();
}

void CzorvicDlg::ExitProgram() {
    tray_->Remove();
    hide();
    emit quitRequested();
}

void CzorvicDlg::reject() {
    ExitProgram();
}

void CzorvicDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    ExitProgram();
}

void CzorvicDlg::OnShownInFront() {
    // The sessions list is where the keyboard is most useful.
    sessions_->setFocus(Qt::OtherFocusReason);
}

void CzorvicDlg::hideEvent(QHideEvent* event) {
    // The About box goes with the window (a dropped connection hides both).
    about_->hide();
    CSkinnedDlg::hideEvent(event);
}

void CzorvicDlg::changeEvent(QEvent* event) {
    CSkinnedDlg::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || !isVisible()) return;
    // Without a tray to come back from, the window minimises as usual.
    if (!trayOption_ || !trayOption_() || !tray_->Available()) return;
    hiddenInTray_ = true;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    hide();
}

void CzorvicDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    QAction* about = menu.addAction(QStringLiteral("&About Palindor..."));
    if (menu.exec(event->globalPos()) == about) ShowAbout();
}

void CzorvicDlg::ShowAbout() {
    about_->move(CentredTopLeft(ScreenRect(), about_->OuterSize()));
    about_->exec();
}

void CzorvicDlg::SetStatus(int32_t status) {
    ApplyStatus(status);
    // The tray menu outlives a login; a status chosen while logged out is
    // only shown (the next login starts online anyway).
    if (LoggedIn(client_.NetworkServer())) {
        client_.NetworkServer().Enqueue(BuildStatusMessage(status_));
    }
}

void CzorvicDlg::SetStatusWithoutSending(int32_t status) {
    ApplyStatus(status);
}

void CzorvicDlg::ApplyStatus(int32_t status) {
    status_ = NormaliseStatus(status);
    statusChoice_->setCurrentIndex(StatusChoiceIndex(status_));
    update(StatusPictureRect());
    tray_->SetStatus(status_);
}

QRect CzorvicDlg::StatusPictureRect() const {
    return QRect(kStatusPicture, skin_.SizeOf(QString::fromLatin1(kStatusPictures[0])));
}

void CzorvicDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    QPainter p(this);
    const QPixmap picture =
        skin_.Bitmap(QString::fromLatin1(kStatusPictures[status_ == kStatusAway ? 1 : 0]));
    if (!picture.isNull()) p.drawPixmap(kStatusPicture, picture);
}

void CzorvicDlg::StartTrayBlink() {
    tray_->StartBlink();
}

bool CzorvicDlg::RequestSessionPage(int32_t pageIndex, int32_t refreshFlag) {
    auto request = BuildSessionListRequest(sortCode_, pageIndex, kMainPageSize, kMainListSelector,
                                           refreshFlag);
    if (!request) return false;
    client_.NetworkServer().Enqueue(std::move(request));
    return true;
}

void CzorvicDlg::DisplaySessionPage(const SessionPageView& page) {
    sortCode_ = page.sortCode;
    pageIndex_ = page.pageIndex;
    pageCount_ = SessionPageCount(page.total, page.pageSize);
    sessions_->Model().SetRows(QVector<SessionRow>(page.rows.begin(), page.rows.end()));
    pageText_->setText(QString::fromStdString(PageText(pageIndex_, pageCount_, page.total)));
    UpdatePaging();
}

void CzorvicDlg::UpdatePaging() {
    auto enable = [this](const char* caption, bool on) {
        ui::CFixedButton* b = buttons_.value(QString::fromLatin1(caption));
        if (b != nullptr) b->setEnabled(on && actions_.contains(QString::fromLatin1(caption)));
    };
    enable("LEFT", CanGoToPreviousPage(pageIndex_));
    enable("RIGHT", CanGoToNextPage(pageIndex_, pageCount_));
}

void CzorvicDlg::OnHeaderClicked(int column) {
    const int key = SortKeyOfColumn(column);
    if (key < 0) return;
    sortCode_ = 2 * key + (nextSortAscending_ ? 0 : 1);
    sessions_->SetSortArrow(column, nextSortAscending_);
    nextSortAscending_ = !nextSortAscending_;
    RequestSessionPage(pageIndex_, 0);
}

void CzorvicDlg::NoteListUse() {
    lastListUse_ = Now();
}

int64_t CzorvicDlg::Now() const {
    return clock_();
}

void CzorvicDlg::PeriodicRefresh() {
    const RefreshDecision decision = DecideRefresh(
        LoggedIn(client_.NetworkServer()), LoggedIn(client_.FileServer()), Now(), lastListUse_);
    if (decision.refreshSessionPage && RequestSessionPage(pageIndex_, 1)) {
        // The page that comes back must not bring the window forward.
        skipNextShow_ = true;
    }
    if (decision.refreshOthers) {
        for (const auto& refresh : periodicRefresh_) refresh();
    }
}

void CzorvicDlg::AddPeriodicRefresh(std::function<void()> refresh) {
    if (refresh) periodicRefresh_.push_back(std::move(refresh));
}

void CzorvicDlg::SetNoticeHandler(Notice notice, std::function<void()> handler) {
    notices_.insert(static_cast<int>(notice), std::move(handler));
}

void CzorvicDlg::Notify(Notice notice) {
    const auto it = notices_.constFind(static_cast<int>(notice));
    if (it != notices_.constEnd() && *it) (*it)();
}

void CzorvicDlg::OpenHelp() {
    // A missing guide is not worth a message: the button just does nothing.
    const QFileInfo guide(guidePath_);
    if (!guide.isFile()) return;
    dialogs_.OpenUrl(QUrl::fromLocalFile(guide.absoluteFilePath()));
}

void CzorvicDlg::SendNetworkInformation() {
    net::SendNetworkInformationRequest(client_.NetworkServer(), client_.Number(), "/");
}

}  // namespace app
