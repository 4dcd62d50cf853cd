#include "polls/PollingCenterDlg.h"

#include <QEvent>
#include <algorithm>
#include <QHeaderView>
#include <QScrollBar>

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "polls/MsgPoll.h"
#include "polls/model/PollSchedule.h"
#include "ui/Dialogs.h"
#include "ui/ListView.h"
#include "ui/Skin.h"

namespace polls {

namespace {

constexpr const char* kButtonTexts[] = {"Reset", "Delete", "Suspend", "Resume",
                                        "Modify", "Create", "Take Poll", "View Results"};
// Left to right under the list: what makes polls, then what acts on them.
constexpr CPollingCenterDlg::Button kButtonOrder[] = {
    CPollingCenterDlg::kCreate, CPollingCenterDlg::kModify,  CPollingCenterDlg::kTake,
    CPollingCenterDlg::kViewResults, CPollingCenterDlg::kReset, CPollingCenterDlg::kDelete,
    CPollingCenterDlg::kSuspend, CPollingCenterDlg::kResume};
constexpr int kMargin = 14;
constexpr int kTop = 34;
constexpr int kButtonWidth = 82;
constexpr int kButtonHeight = 26;

void CloseSlot(net::Connection& connection, int number) {
    net::TransferSlot& slot = connection.Slot(number);
    auto lock = slot.Lock();
    slot.Close();
}

}  // namespace

void CPollingCenterDlg::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_POLLINGCENTER"), kClientSize,
                            QStringLiteral("Polling Center"));
}

CPollingCenterDlg::CPollingCenterDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                     const net::Timings& timings, net::Client& client,
                                     QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent),
      client_(client),
      clock_([] { return std::time(nullptr); }) {
    setWindowTitle(QStringLiteral("Polling Center"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_POLLINGCENTER"));

    list_ = new CListPolls(this);
    list_->Model().SetEntries(&entries_);
    list_->setGeometry(kMargin, kTop, kClientSize.width() - 2 * kMargin,
                       kClientSize.height() - kTop - kButtonHeight - 2 * kMargin);
    list_->setAccessibleName(QStringLiteral("Polls"));
    list_->viewport()->installEventFilter(this);
    list_->installEventFilter(this);
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { Activity(); });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { UpdateButtons(); });

    const int y = kClientSize.height() - kMargin - kButtonHeight;
    int x = kMargin;
    for (Button b : kButtonOrder) {
        auto* button = new QPushButton(QString::fromLatin1(kButtonTexts[b]), this);
        button->setGeometry(x, y, kButtonWidth, kButtonHeight);
        button->setToolTip(QString::fromLatin1(kButtonTooltips[b]));
        button->setAutoDefault(false);
        buttons_[b] = button;
        // The makers and the changers are two groups.
        x += kButtonWidth + (b == kViewResults ? 24 : 6);
    }
    connect(buttons_[kReset], &QPushButton::clicked, this, [this] { Operate(net::poll::kReset); });
    connect(buttons_[kSuspend], &QPushButton::clicked, this,
            [this] { Operate(net::poll::kSuspend); });
    connect(buttons_[kResume], &QPushButton::clicked, this, [this] { Operate(net::poll::kResume); });
    connect(buttons_[kDelete], &QPushButton::clicked, this, [this] {
        if (dialogs_.Message(this, QStringLiteral("Warning"), QString::fromLatin1(kDeleteQuestion),
                             ui::MsgIcon::Warning, ui::MsgButtons::YesNo) != ui::MsgAnswer::Yes)
            return;
        Operate(net::poll::kDelete);
    });
    connect(buttons_[kCreate], &QPushButton::clicked, this, [this] { Create(); });
    connect(buttons_[kModify], &QPushButton::clicked, this, [this] { Modify(); });
    connect(buttons_[kTake], &QPushButton::clicked, this, [this] { Take(); });
    connect(buttons_[kViewResults], &QPushButton::clicked, this, [this] { ViewResults(); });
    lastActivity_.start();
    UpdateButtons();
}

CPollingCenterDlg::~CPollingCenterDlg() {
    // The list shows the entries, which go before the widgets do.
    list_->Model().SetEntries(nullptr);
}

void CPollingCenterDlg::Open(const std::string& sessionId) {
    sessionId_ = sessionId;
    automatic_ = false;
    RequestPollList(client_, sessionId_, 0);
}

void CPollingCenterDlg::Refresh() {
    if (sessionId_.empty()) return;
    automatic_ = false;
    RequestPollList(client_, sessionId_, 0);
}

void CPollingCenterDlg::RoomClosed(const std::string& sessionId) {
    if (isVisible() && sessionId == sessionId_) hide();
}

void CPollingCenterDlg::PeriodicTick() {
    if (!isVisible() || sessionId_.empty()) return;
    if (room_.isOpen && !room_.isOpen(sessionId_)) return;
    if (lastActivity_.elapsed() < quietMs_) return;
    if (RequestPollList(client_, sessionId_, 1)) automatic_ = true;
}

void CPollingCenterDlg::ListArrived() {
    const auto text = ReadWholeFile(client_.DataPath(kPollListFile), 1u << 26);
    // A list that cannot be opened changes nothing and shows nothing.
    if (!text) return;
    PollListView view = ReadPollListAt(*text, serverClock_, clock_());
    list_->Model().SetEntries(nullptr);
    entries_ = std::move(view.entries);
    Fill();
    if (view.failed) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kUnableToReadList),
                         ui::MsgIcon::Error);
    }
    if (automatic_) {
        automatic_ = false;
    } else {
        ShowInFront(shownOnce_ ? ui::ShowPlacement::Keep() : ui::ShowPlacement::Centred());
        shownOnce_ = true;
    }
    UpdateButtons();
}

void CPollingCenterDlg::Fill() {
    // The list reads the entries themselves; a refill is one reset, which
    // also clears the selection.
    list_->Model().SetEntries(&entries_);
}

void CPollingCenterDlg::UpdateButtons() {
    std::vector<SelectedPoll> selected;
    for (size_t i : SelectedRows()) {
        if (i < entries_.size())
            selected.push_back({&entries_[i], entries_[i].statusText});
        else
            selected.push_back({nullptr, {}});
    }
    const SessionRoles roles = room_.roles && !sessionId_.empty() ? room_.roles(sessionId_)
                                                                   : SessionRoles{};
    const PollButtons b = ComputeButtons(selected, username_, roles);
    buttons_[kReset]->setEnabled(b.reset);
    buttons_[kDelete]->setEnabled(b.remove);
    buttons_[kSuspend]->setEnabled(b.suspend);
    buttons_[kResume]->setEnabled(b.resume);
    buttons_[kCreate]->setEnabled(b.create);
    buttons_[kModify]->setEnabled(b.modify);
    buttons_[kTake]->setEnabled(b.take);
    buttons_[kViewResults]->setEnabled(b.viewResults);
}

std::vector<size_t> CPollingCenterDlg::SelectedRows() const {
    std::vector<size_t> rows;
    for (int r : list_->SelectedRowNumbers()) rows.push_back(size_t(r));
    return rows;
}

void CPollingCenterDlg::Operate(int32_t operation) {
    std::vector<std::pair<std::string, int32_t>> chosen;
    for (size_t i : SelectedRows())
        if (i < entries_.size()) chosen.push_back({entries_[i].owner, entries_[i].pollId});
    if (chosen.empty() || sessionId_.empty()) return;
    // The list changes when the server answers.
    SendPollOperation(client_.FileServer(), operation, sessionId_, chosen);
}

const CPollEntry* CPollingCenterDlg::SingleSelected() const {
    const std::vector<size_t> rows = SelectedRows();
    if (rows.size() != 1 || rows.front() >= entries_.size()) return nullptr;
    return &entries_[rows.front()];
}

bool CPollingCenterDlg::Ask(const char* text) {
    return dialogs_.Message(this, QStringLiteral("Warning"), QString::fromLatin1(text),
                            ui::MsgIcon::Warning, ui::MsgButtons::YesNo) == ui::MsgAnswer::Yes;
}

void CPollingCenterDlg::Create() {
    if (sessionId_.empty() || !windows_.startCreating) return;
    if (!MayCreateAnother(entries_.size())) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kTooManyPolls),
                         ui::MsgIcon::Error);
        return;
    }
    const int mode = windows_.pollWindowMode ? windows_.pollWindowMode() : -1;
    if (mode == 0 && !Ask(kAlreadyCreating)) return;
    if (mode == 1 && !Ask(kModifyingWhenCreating)) return;
    windows_.startCreating(sessionId_);
}

void CPollingCenterDlg::Modify() {
    const CPollEntry* e = SingleSelected();
    if (!e || !windows_.startModifying) return;
    const int mode = windows_.pollWindowMode ? windows_.pollWindowMode() : -1;
    if (mode == 0 && !Ask(kCreatingWhenModifying)) return;
    if (mode == 1 && !Ask(kAlreadyModifying)) return;
    const CPollEntry entry = *e;
    windows_.startModifying(sessionId_, entry);
    RequestPollFile(client_, sessionId_, entry.owner, entry.pollId, 1);
}

void CPollingCenterDlg::Take() {
    const CPollEntry* e = SingleSelected();
    if (!e || !windows_.startTaking) return;
    if (windows_.ballotVisible && windows_.ballotVisible() && !Ask(kAlreadyTaking)) return;
    const CPollEntry entry = *e;
    windows_.startTaking(sessionId_, entry.owner, entry.pollId, entry.version);
    RequestPollFile(client_, sessionId_, entry.owner, entry.pollId, 0);
}

void CPollingCenterDlg::ViewResults() {
    const CPollEntry* e = SingleSelected();
    if (!e || !windows_.viewResults) return;
    const CPollEntry entry = *e;
    windows_.viewResults(entry.owner, entry.othersMayView);
    RequestResults(client_, sessionId_, entry.owner, entry.pollId);
}

void CPollingCenterDlg::HandleResponse(int kind, int32_t errorCode) {
    using Kind = PollResponse::Kind;
    switch (Kind(kind)) {
        case Kind::ListChanged:
            // Nothing to refresh before a session was shown.
            Refresh();
            return;
        case Kind::Unavailable:
        case Kind::BallotFailed:
            CloseSlot(client_.FileServer(), net::poll::kPollFileSlot);
            CloseSlot(client_.FileServer(), net::poll::kBallotSlot);
            break;
        case Kind::ResultsRefused:
        case Kind::ResultsFailed:
            CloseSlot(client_.FileServer(), net::poll::kResultsSlot);
            break;
        case Kind::None:
            return;
    }
    const int code = kind == int(Kind::Unavailable)     ? 3
                     : kind == int(Kind::BallotFailed)   ? 4
                     : kind == int(Kind::ResultsRefused) ? 5
                                                         : 6;
    const ResponseText text = PollResponseText(code, errorCode);
    client_.Listener().ShowServerResponse(text.response, text.details);
}

void CPollingCenterDlg::Reset() {
    hide();
    sessionId_.clear();
    list_->Model().SetEntries(nullptr);
    entries_.clear();
    Fill();
    automatic_ = false;
    UpdateButtons();
}

bool CPollingCenterDlg::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
            Activity();
            break;
        case QEvent::MouseButtonRelease:
            // A click or right-click recomputes the buttons.
            Activity();
            UpdateButtons();
            break;
        default:
            break;
    }
    return CSkinnedDlg::eventFilter(watched, event);
}

}  // namespace polls
