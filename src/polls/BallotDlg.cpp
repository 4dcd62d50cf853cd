#include "polls/BallotDlg.h"

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "polls/model/PollResults.h"
#include "ui/Dialogs.h"
#include "ui/Skin.h"

namespace polls {

namespace {

constexpr int kMargin = 14;
constexpr int kTop = 44;

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string ToUtf8(const QString& s) {
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}

QPushButton* MakeButton(const char* text, const QRect& r, QWidget* parent) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setGeometry(r);
    b->setAutoDefault(false);
    return b;
}

void Uncheck(QButtonGroup* group) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
}

}  // namespace

void CBallotDlg::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_TAKEPOLL"), kClientSize, QStringLiteral("Take Poll"));
}

CBallotDlg::CBallotDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       net::Client& client, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client) {
    setWindowTitle(QStringLiteral("Take Poll"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_TAKEPOLL"));
    const int width = kClientSize.width() - 2 * kMargin;

    number_ = new QLabel(this);
    number_->setGeometry(kMargin, kTop, width, 20);
    QFont bold = number_->font();
    bold.setBold(true);
    number_->setFont(bold);
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setGeometry(kMargin, kTop + 24, width, 96);
    text_->setAccessibleName(QStringLiteral("Question"));

    const QRect panel(kMargin, kTop + 132, width, 166);
    trueFalse_ = new QWidget(this);
    trueFalse_->setGeometry(panel);
    trueButton_ = new QRadioButton(QStringLiteral("True"), trueFalse_);
    trueButton_->setGeometry(16, 8, 200, 22);
    falseButton_ = new QRadioButton(QStringLiteral("False"), trueFalse_);
    falseButton_->setGeometry(16, 38, 200, 22);
    trueFalseGroup_ = new QButtonGroup(this);
    trueFalseGroup_->addButton(trueButton_);
    trueFalseGroup_->addButton(falseButton_);

    choice_ = new QWidget(this);
    choice_->setGeometry(panel);
    choiceGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        choices_[size_t(i)] = new QRadioButton(QString(QChar('A' + i)), choice_);
        choices_[size_t(i)]->setGeometry(16, 6 + 38 * i, 44, 22);
        choiceGroup_->addButton(choices_[size_t(i)], i);
        choiceTexts_[size_t(i)] = new QLabel(choice_);
        choiceTexts_[size_t(i)]->setGeometry(64, 2 + 38 * i, width - 72, 32);
        choiceTexts_[size_t(i)]->setWordWrap(true);
    }

    numeric_ = new QWidget(this);
    numeric_->setGeometry(panel);
    auto* prompt = new QLabel(QStringLiteral("Your answer:"), numeric_);
    prompt->setGeometry(16, 10, 120, 20);
    numberBox_ = new CBallotEditCtrl(kNumericBoxChars, kNumericBoxChars * 4, true, numeric_);
    numberBox_->setGeometry(16, 34, 220, 28);
    numberBox_->setAccessibleName(QStringLiteral("Number"));
    range_ = new QLabel(numeric_);
    range_->setGeometry(16, 70, 400, 20);

    openBox_ = new CBallotEditCtrl(kOpenBoxChars, int(kMaxOpenAnswerBytes), false, this);
    openBox_->setGeometry(panel);
    openBox_->setAccessibleName(QStringLiteral("Answer"));

    const int y = kClientSize.height() - kMargin - 26;
    previous_ = MakeButton("Previous", QRect(kMargin, y, 88, 26), this);
    next_ = MakeButton("Next", QRect(kMargin + 94, y, 88, 26), this);
    submit_ = MakeButton("Submit", QRect(kClientSize.width() - kMargin - 182, y, 88, 26), this);
    cancel_ = MakeButton("Cancel", QRect(kClientSize.width() - kMargin - 88, y, 88, 26), this);

    // Every click of an answer button and every key release in an answer
    // box records the answer.
    for (QAbstractButton* b : trueFalseGroup_->buttons())
        connect(b, &QAbstractButton::clicked, this, [this] { Record(); });
    for (QAbstractButton* b : choiceGroup_->buttons())
        connect(b, &QAbstractButton::clicked, this, [this] { Record(); });
    connect(numberBox_, &CBallotEditCtrl::keyReleased, this, [this] { Record(); });
    connect(openBox_, &CBallotEditCtrl::keyReleased, this, [this] { Record(); });
    connect(previous_, &QPushButton::clicked, this, [this] { Move(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { Move(1); });
    connect(submit_, &QPushButton::clicked, this, [this] { Submit(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
    ShowQuestion(0);
}

void CBallotDlg::SetPoll(const std::string& sessionId, const std::string& owner, int32_t pollId,
                         int32_t version) {
    sessionId_ = sessionId;
    owner_ = owner;
    pollId_ = pollId;
    version_ = version;
}

void CBallotDlg::Error(const QString& text) {
    dialogs_.Message(this, QStringLiteral("Error"), text, ui::MsgIcon::Error);
}

bool CBallotDlg::SlotBusy() const {
    net::TransferSlot& slot = client_.FileServer().Slot(net::poll::kBallotSlot);
    auto lock = slot.Lock();
    return slot.Busy();
}

void CBallotDlg::UpdateSubmit() { submit_->setEnabled(!SlotBusy()); }

void CBallotDlg::PollFileArrived() {
    const std::string path = client_.DataPath(kTakePollFile);
    if (!UnmaskFile(path)) {
        Error(QString::fromLatin1(kFailedToOpenPoll0));
        return;
    }
    // A file the reader's bounds refuse cannot be taken either.
    auto questions = ReadPlainPollFile(path);
    MaskFile(path);
    if (!questions) {
        Error(QString::fromLatin1(kFailedToOpenPoll1));
        return;
    }
    questions_ = std::move(*questions);
    answers_ = FreshAnswers(questions_.size());
    ShowQuestion(0);
    UpdateSubmit();
    ShowInFront(ui::ShowPlacement::Centred());
}

void CBallotDlg::ShowQuestion(size_t index) {
    current_ = index;
    const int count = int(questions_.size());
    number_->setText(QString::fromStdString(BallotQuestionLabel(int(index) + 1, count)));
    previous_->setEnabled(index > 0);
    next_->setEnabled(int(index) + 1 < count);
    Uncheck(trueFalseGroup_);
    Uncheck(choiceGroup_);
    numberBox_->SetText({});
    openBox_->SetText({});
    trueFalse_->hide();
    choice_->hide();
    numeric_->hide();
    openBox_->hide();
    if (index >= questions_.size()) {
        text_->clear();
        return;
    }
    const CPollQuestion& q = questions_[index];
    const CPollAnswer& a = answers_[index];
    text_->setPlainText(FromUtf8(q.text));
    const bool answered = a.skipped == 0;
    switch (QuestionKind(q.kind)) {
        case QuestionKind::TrueFalse:
            trueFalse_->show();
            if (answered) (a.trueFalse == 0 ? trueButton_ : falseButton_)->setChecked(true);
            break;
        case QuestionKind::MultipleChoice:
            choice_->show();
            for (size_t i = 0; i < 4; ++i)
                choiceTexts_[i]->setText(q.answers ? FromUtf8((*q.answers)[i]) : QString());
            if (answered && a.choice >= 0 && a.choice <= 3) choices_[size_t(a.choice)]->setChecked(true);
            break;
        case QuestionKind::Numeric:
            numeric_->show();
            range_->setText(QString::fromStdString(RangeLabel(q)));
            if (answered) numberBox_->SetText(QString::fromStdString(NumberText(a.number)));
            break;
        case QuestionKind::Open:
            openBox_->show();
            if (answered) openBox_->SetText(FromUtf8(a.text));
            break;
    }
}

void CBallotDlg::Record() {
    if (current_ >= questions_.size()) return;
    const CPollQuestion& q = questions_[current_];
    CPollAnswer& a = answers_[current_];
    // Once answered, never skipped again, even with its box emptied.
    a.skipped = 0;
    a.kind = q.kind;
    switch (QuestionKind(q.kind)) {
        case QuestionKind::TrueFalse: a.trueFalse = trueButton_->isChecked() ? 0 : 1; break;
        case QuestionKind::MultipleChoice: {
            a.choice = 0;
            for (int i = 0; i < 4; ++i) {
                if (choices_[size_t(i)]->isChecked()) {
                    a.choice = i;
                    break;
                }
            }
            break;
        }
        case QuestionKind::Numeric: a.number = BallotNumber(ToUtf8(numberBox_->Text())); break;
        case QuestionKind::Open: a.text = ToUtf8(openBox_->Text()); break;
    }
}

bool CBallotDlg::MayLeave() {
    if (current_ >= questions_.size()) return true;
    if (MayLeaveQuestion(questions_[current_], answers_[current_])) return true;
    Error(QString::fromLatin1(kOutOfRange));
    return false;
}

void CBallotDlg::Move(int step) {
    const long target = long(current_) + step;
    if (target < 0 || target >= long(questions_.size())) return;
    if (!MayLeave()) return;
    ShowQuestion(size_t(target));
}

void CBallotDlg::Submit() {
    // Rewriting the ballot file while it is being sent would corrupt it.
    if (SlotBusy()) {
        UpdateSubmit();
        return;
    }
    if (questions_.empty() || !MayLeave()) return;
    if (AnySkipped(answers_) &&
        dialogs_.Message(this, QStringLiteral("Warning"), QString::fromLatin1(kNotAllAnswered),
                         ui::MsgIcon::Warning, ui::MsgButtons::YesNo) != ui::MsgAnswer::Yes)
        return;
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kBallotFile);
    if (path.empty() || !WriteBallotFile(path, MakeBallot(username_, answers_))) {
        Error(QString::fromStdString(UnableToWriteText(client_.DataPath(kBallotFile))));
        return;
    }
    net::StartUpload(client_.FileServer(), net::poll::kBallotSlot, path,
                     {net::TransferField(sessionId_), net::TransferField(owner_),
                      net::TransferField(pollId_), net::TransferField(version_)});
    UpdateSubmit();
}

void CBallotDlg::UploadCompleted() {
    UpdateSubmit();
    hide();
    if (requestList_) requestList_();
}

void CBallotDlg::reject() {
    if (dialogs_.Message(this, QStringLiteral("Warning"), QString::fromLatin1(kQuitTaking),
                         ui::MsgIcon::Warning, ui::MsgButtons::YesNo) != ui::MsgAnswer::Yes)
        return;
    CSkinnedDlg::reject();
}

void CBallotDlg::Reset() {
    hide();
    questions_.clear();
    answers_.clear();
    ShowQuestion(0);
}

}  // namespace polls
