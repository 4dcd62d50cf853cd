#include "shell/MainDlg.h"

#include <algorithm>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAction>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QUrl>

#include "net/Client.h"
#include "net/MsgNetwork.h"
#include "shell/AboutDlg.h"
#include "shell/Settings.h"
#include "shell/TrayIcon.h"
#include "ui/Dialogs.h"
#include "ui/FixedButton.h"
#include "ui/Skin.h"

namespace shell {

namespace {

// Control identifier of the status choice, as the other tools know it.
constexpr int kIdStatusChoice = 1078;

// The layout, in client pixels: the tools along the top under the heading
// band with the user's status at their right, then the sessions pane (the
// page of sessions with its paging row), and the contacts pane beside it.
constexpr int kMargin = 12;
constexpr int kToolTop = 44;
constexpr int kToolPitch = 41;
const QRect kSessionsPaneRect(kMargin, 90, 406, 246);
const QRect kContactsPaneRect(432, 90, 210, 246);
const QPoint kStatusPicture(432, 42);
const QRect kStatusChoiceRect(480, 50, 162, 24);

struct ToolSpec {
    Tool tool;
    const char* caption;  // also the name of its pictures
    int id;
    const char* tooltip;
};

// The tools, left to right.
constexpr ToolSpec kTools[] = {
    {Tool::AddContact, "ADDCONTACT", 1074, "Add a Contact"},
    {Tool::Search, "SEARCH", 1296, "Find a Contact"},
    {Tool::AccountInfo, "ACCOUNTINFO", 1295, "Account Information"},
    {Tool::Mail, "MAIL", 1297, "Mailbox"},
    {Tool::Sessions, "SESSIONS", 1083, "Manage Sessions"},
    {Tool::Documents, "DOCUMENTS", 1027, "Share Documents"},
    {Tool::Whiteboard, "WHITEBOARD", 1062, "Access the Whiteboard for Drawing"},
    {Tool::NetworkInfo, "NETWORKINFO", 1298, "Network Information"},
    {Tool::Settings, "SETTINGS", 1084, "View and Change Settings"},
    {Tool::Help, "HELP", 1003, "Help"},
};

const char* const kStatusPictures[] = {"IDB_STATUSONLINE", "IDB_STATUSAWAY"};

bool LoggedIn(net::Connection& connection) {
    return connection.State() == net::kStateLoggedIn;
}

}  // namespace

void CzorvicDlg::RegisterPictures(ui::Skin& skin) {
    using Kind = ui::SkinEntry::Kind;
    skin.RegisterBackground(QStringLiteral("IDB_MAINDIALOG"), kClientSize,
                            QStringLiteral("Palindor"));
    skin.RegisterBackground(QStringLiteral("IDB_ABOUTDLG"), QSize(375, 182),
                            QStringLiteral("About Palindor"));
    for (const ToolSpec& t : kTools) skin.RegisterButton(QString::fromLatin1(t.caption), QSize(36, 36));
    for (int away = 0; away < 2; ++away) {
        ui::SkinEntry e;
        e.kind = Kind::Status;
        e.size = QSize(40, 40);
        e.arg = away;
        skin.Register(QString::fromLatin1(kStatusPictures[away]), e);
    }
    const char* tray[] = {"IDI_ONLINE", "IDI_AWAY", "IDI_ALERT"};
    for (int i = 0; i < 3; ++i) {
        ui::SkinEntry e;
        e.kind = Kind::TrayIcon;
        e.size = QSize(32, 32);
        e.arg = i;
        skin.Register(QString::fromLatin1(tray[i]), e);
    }
}

CzorvicDlg::CzorvicDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       net::Client& client, const Settings& settings)
    : CSkinnedDlg(skin, dialogs, timings, nullptr), client_(client) {
    // A window of its own, not a dialog: window managers give it a task-bar
    // entry and let it be minimised and restored by itself, so that with the
    // tray option off a minimised main window can always be reached. Hence
    // no parent either: a parent would make it transient for a hidden window.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    SetBackground(QStringLiteral("IDB_MAINDIALOG"));
    SetClientSize(kClientSize);
    setWindowTitle(QStringLiteral("Palindor"));

    guidePath_ = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("guide.pdf"));
    trayOption_ = [&settings] { return settings.TrayOption(); };

    BuildControls();

    tray_ = new CTrayIcon(skin_, timings_, this);
    tray_->SetHiddenInTrayQuery([this] { return hiddenInTray_; });
    connect(tray_, &CTrayIcon::ShowRequested, this, &CzorvicDlg::RestoreFromTray);
    connect(tray_, &CTrayIcon::StatusChosen, this, [this](int32_t s) { SetStatus(s); });
    connect(tray_, &CTrayIcon::ExitChosen, this, &CzorvicDlg::ExitProgram);

    about_ = new CAboutDlg(skin_, dialogs_, timings_, this);

    refreshTimer_.setInterval(static_cast<int>(timings_.refreshInterval.count()));
    connect(&refreshTimer_, &QTimer::timeout, this, &CzorvicDlg::PeriodicRefresh);
    refreshTimer_.start();
}

CzorvicDlg::~CzorvicDlg() = default;

void CzorvicDlg::BuildControls() {
    for (size_t i = 0; i < std::size(kTools); ++i) {
        const ToolSpec& spec = kTools[i];
        auto* button = new ui::CFixedButton(skin_, QString::fromLatin1(spec.caption), this);
        button->setObjectName(QString::number(spec.id));
        button->setToolTip(QString::fromLatin1(spec.tooltip));
        // A picture button says what it does through its tooltip's words.
        button->setAccessibleName(QString::fromLatin1(spec.tooltip));
        button->move(QPoint(kMargin + static_cast<int>(i) * kToolPitch, kToolTop));
        button->setEnabled(false);  // until a tool takes it
        const int key = static_cast<int>(spec.tool);
        connect(button, &QAbstractButton::clicked, this, [this, key] {
            const auto it = actions_.constFind(key);
            if (it != actions_.constEnd() && *it) (*it)();
        });
        tools_.insert(key, button);
    }

    panes_[static_cast<size_t>(MainPane::Sessions)] = new QWidget(this);
    panes_[static_cast<size_t>(MainPane::Sessions)]->setGeometry(kSessionsPaneRect);
    panes_[static_cast<size_t>(MainPane::Contacts)] = new QWidget(this);
    panes_[static_cast<size_t>(MainPane::Contacts)]->setGeometry(kContactsPaneRect);

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
    // Reachable by Tab as one stop; Enter or Space opens the box.
    aboutLink_->setFocusPolicy(Qt::TabFocus);
    aboutLink_->setStyleSheet(QStringLiteral("QLabel:focus { border: 1px dotted white; }"));
    aboutLink_->setAccessibleName(QStringLiteral("About Palindor"));
    aboutLink_->installEventFilter(this);
    connect(aboutLink_, &QLabel::linkActivated, this, [this] { ShowAbout(); });

    // The shell's own tools.
    SetToolAction(Tool::Help, [this] { OpenHelp(); });
    SetToolAction(Tool::NetworkInfo, [this] { SendNetworkInformation(); });
}

ui::CFixedButton* CzorvicDlg::ToolButton(Tool tool) const {
    return tools_.value(static_cast<int>(tool));
}

void CzorvicDlg::SetToolAction(Tool tool, std::function<void()> action) {
    ui::CFixedButton* button = ToolButton(tool);
    if (button == nullptr) return;
    button->setEnabled(static_cast<bool>(action));
    actions_.insert(static_cast<int>(tool), std::move(action));
}

QWidget* CzorvicDlg::Pane(MainPane pane) {
    return panes_[static_cast<size_t>(pane)];
}

void CzorvicDlg::SetStatusSender(std::function<void(int32_t)> send) {
    statusSender_ = std::move(send);
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

void CzorvicDlg::keyPressEvent(QKeyEvent* event) {
    // Escape would reject the window, which ends the program: the home
    // window is left by its close box or "Exit" only.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    CSkinnedDlg::keyPressEvent(event);
}

void CzorvicDlg::ConnectionDropped() {
    // Nothing is in the tray any more: the login window is where the user
    // is, and a tray icon blinking at it would lead nowhere.
    hiddenInTray_ = false;
    tray_->StopBlink(status_);
    hide();
}

void CzorvicDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    ExitProgram();
}

bool CzorvicDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == aboutLink_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            emit aboutLink_->linkActivated(QStringLiteral("about"));
            return true;
        }
    }
    return CSkinnedDlg::eventFilter(watched, event);
}

void CzorvicDlg::ArrangeTabOrder() {
    // Reading order: the heading band's link, the tools left to right with
    // the status at their right, then each pane's controls from the top
    // left, the sessions before the contacts. The panes are filled by the
    // modules after this window is built, so the order is set when shown.
    std::vector<QWidget*> order{aboutLink_};
    for (const ToolSpec& t : kTools) order.push_back(ToolButton(t.tool));
    order.push_back(statusChoice_);
    for (QWidget* pane : panes_) {
        QList<QWidget*> controls;
        for (QWidget* w : pane->findChildren<QWidget*>()) {
            if ((w->focusPolicy() & Qt::TabFocus) && w->focusProxy() == nullptr) controls << w;
        }
        // Rows first, then left to right within a row. A control belongs to
        // the row of the first control above it whose height it starts
        // within, so a field set a pixel lower than the buttons beside it
        // still comes between them.
        const auto top = [pane](QWidget* w) { return w->mapTo(pane, QPoint(0, 0)).y(); };
        const auto left = [pane](QWidget* w) { return w->mapTo(pane, QPoint(0, 0)).x(); };
        std::stable_sort(controls.begin(), controls.end(),
                         [&](QWidget* a, QWidget* b) { return top(a) < top(b); });
        for (qsizetype i = 0; i < controls.size();) {
            const int rowBottom = top(controls[i]) + controls[i]->height();
            qsizetype end = i + 1;
            while (end < controls.size() && top(controls[end]) < rowBottom) ++end;
            std::stable_sort(controls.begin() + i, controls.begin() + end,
                             [&](QWidget* a, QWidget* b) { return left(a) < left(b); });
            i = end;
        }
        for (QWidget* w : controls) order.push_back(w);
    }
    for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    tabOrder_.assign(order.begin(), order.end());
}

bool CzorvicDlg::focusNextPrevChild(bool next) {
    // The chain also holds widgets of the panes' own making; close the
    // round at its ends so that Tab comes back to the top.
    QWidget* at = focusWidget();
    std::vector<QWidget*> usable;
    for (const QPointer<QWidget>& w : tabOrder_) {
        if (w != nullptr && w->isEnabled() && w->isVisibleTo(this)) usable.push_back(w);
    }
    if (!usable.empty() && at != nullptr) {
        if (next && (at == usable.back() || usable.back()->isAncestorOf(at))) {
            usable.front()->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (!next && at == usable.front()) {
            usable.back()->setFocus(Qt::BacktabFocusReason);
            return true;
        }
    }
    return CSkinnedDlg::focusNextPrevChild(next);
}

void CzorvicDlg::OnShownInFront() {
    ArrangeTabOrder();
    // The sessions list is where the keyboard is most useful.
    Pane(MainPane::Sessions)->setFocus(Qt::OtherFocusReason);
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

bool CzorvicDlg::AboutMenuAt(const QPoint& pos) const {
    if (pos.y() < skin_.HeaderHeight(QStringLiteral("IDB_MAINDIALOG"))) return true;
    // Below the band only the background: not the lists, whose rows get
    // menus of their own, nor any control.
    for (const QWidget* w = childAt(pos); w != nullptr && w != this; w = w->parentWidget()) {
        if (qobject_cast<const QAbstractScrollArea*>(w) != nullptr ||
            qobject_cast<const QAbstractButton*>(w) != nullptr ||
            qobject_cast<const QComboBox*>(w) != nullptr) {
            return false;
        }
    }
    return true;
}

void CzorvicDlg::contextMenuEvent(QContextMenuEvent* event) {
    if (!AboutMenuAt(event->pos())) {
        event->ignore();
        return;
    }
    QMenu menu(this);
    QAction* about = menu.addAction(QStringLiteral("&About Palindor..."));
    std::vector<QAction*> items;
    for (const auto& item : menuItems_) items.push_back(menu.addAction(item.first));
    QAction* chosen = menuRunner_ ? menuRunner_(menu, event->globalPos())
                                  : menu.exec(event->globalPos());
    if (chosen == about) ShowAbout();
    for (size_t i = 0; i < items.size(); ++i) {
        if (chosen == items[i] && menuItems_[i].second) menuItems_[i].second();
    }
}

void CzorvicDlg::ShowAbout() {
    about_->move(CentredTopLeft(ScreenRect(), about_->OuterSize()));
    about_->exec();
}

void CzorvicDlg::SetStatus(int32_t status) {
    ApplyStatus(status);
    // The tray menu outlives a login; a status chosen while logged out is
    // only shown (the next login starts online anyway).
    if (LoggedIn(client_.NetworkServer()) && statusSender_) statusSender_(status_);
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

void CzorvicDlg::PeriodicRefresh() {
    if (!PeriodicRefreshDue(LoggedIn(client_.NetworkServer()), LoggedIn(client_.FileServer()))) {
        return;
    }
    for (const auto& refresh : periodicRefresh_) refresh();
}

void CzorvicDlg::AddPeriodicRefresh(std::function<void()> refresh) {
    if (refresh) periodicRefresh_.push_back(std::move(refresh));
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

void CzorvicDlg::SetMailUnread(bool unread) {
    mailUnread_ = unread;
    if (ui::CFixedButton* button = ToolButton(Tool::Mail)) {
        button->SetCaption(unread ? QStringLiteral("MAILACTIVE") : QStringLiteral("MAIL"));
    }
}

}  // namespace shell
