#include "polls/PollDlg.h"

#include <QDateTime>
#include <QHeaderView>

#include "net/Client.h"
#include "net/Connection.h"
#include "net/Protocol.h"
#include "net/Transfers.h"
#include "polls/MsgPoll.h"
#include "polls/model/PollResults.h"
#include "ui/Dialogs.h"
#include "ui/ListView.h"
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

QLabel* MakeLabel(const char* text, const QRect& r, QWidget* parent) {
    auto* l = new QLabel(QString::fromLatin1(text), parent);
    l->setGeometry(r);
    return l;
}

QLineEdit* MakeBox(const QRect& r, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setGeometry(r);
    return e;
}

void Uncheck(QButtonGroup* group) {
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons()) b->setChecked(false);
    group->setExclusive(true);
}

QString Number(double v) { return QString::number(v, 'g', 15); }

PollTime TimeOf(const QDate& d, const QTime& t) {
    return {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()};
}

}  // namespace

// --- Poll Question -------------------------------------------------------------

void CPollQuestionDlg::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_POLLQUESTION"), kClientSize,
                            QStringLiteral("Poll Question"));
}

CPollQuestionDlg::CPollQuestionDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                   const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("Poll Question"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_POLLQUESTION"));
    const int width = kClientSize.width() - 2 * kMargin;

    kindGroup_ = new QButtonGroup(this);
    const char* kinds[] = {"True/false", "Multiple", "Numeric", "Open"};
    for (int i = 0; i < 4; ++i) {
        kinds_[size_t(i)] = new QRadioButton(QString::fromLatin1(kinds[i]), this);
        kinds_[size_t(i)]->setGeometry(kMargin + 110 * i, kTop, 104, 22);
        kindGroup_->addButton(kinds_[size_t(i)], i);
    }
    MakeLabel("Question:", QRect(kMargin, kTop + 30, 200, 18), this);
    text_ = new QPlainTextEdit(this);
    text_->setGeometry(kMargin, kTop + 50, width, 88);
    text_->setTabChangesFocus(true);

    const QRect panel(kMargin, kTop + 148, width, 170);
    trueFalse_ = new QWidget(this);
    trueFalse_->setGeometry(panel);
    MakeLabel("Correct answer:", QRect(0, 4, 200, 18), trueFalse_);
    trueButton_ = new QRadioButton(QStringLiteral("True"), trueFalse_);
    trueButton_->setGeometry(16, 28, 120, 22);
    falseButton_ = new QRadioButton(QStringLiteral("False"), trueFalse_);
    falseButton_->setGeometry(16, 56, 120, 22);
    trueFalseGroup_ = new QButtonGroup(this);
    trueFalseGroup_->addButton(trueButton_, 0);
    trueFalseGroup_->addButton(falseButton_, 1);

    choice_ = new QWidget(this);
    choice_->setGeometry(panel);
    MakeLabel("Answers (choose the correct one):", QRect(0, 0, 300, 18), choice_);
    choiceGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        correctChoices_[size_t(i)] = new QRadioButton(QString(QChar('A' + i)), choice_);
        correctChoices_[size_t(i)]->setGeometry(8, 26 + 34 * i, 44, 24);
        choiceGroup_->addButton(correctChoices_[size_t(i)], i);
        answers_[size_t(i)] = MakeBox(QRect(56, 24 + 34 * i, width - 60, 26), choice_);
    }

    numeric_ = new QWidget(this);
    numeric_->setGeometry(panel);
    MakeLabel("Answers allowed from", QRect(0, 8, 150, 20), numeric_);
    minimum_ = MakeBox(QRect(156, 4, 110, 26), numeric_);
    MakeLabel("to", QRect(274, 8, 24, 20), numeric_);
    maximum_ = MakeBox(QRect(300, 4, 110, 26), numeric_);
    MakeLabel("Correct from", QRect(0, 50, 150, 20), numeric_);
    correctMinimum_ = MakeBox(QRect(156, 46, 110, 26), numeric_);
    MakeLabel("to", QRect(274, 50, 24, 20), numeric_);
    correctMaximum_ = MakeBox(QRect(300, 46, 110, 26), numeric_);

    noCorrect_ = new QCheckBox(QStringLiteral("Not using correct answer"), this);
    noCorrect_->setGeometry(kMargin, kTop + 324, 260, 22);

    const int y = kClientSize.height() - kMargin - 26;
    nextQuestion_ = MakeButton("Next Question", QRect(kClientSize.width() - kMargin - 220, y, 110, 26), this);
    finished_ = MakeButton("Finished", QRect(kClientSize.width() - kMargin - 104, y, 104, 26), this);
    updateQuestion_ =
        MakeButton("Update Question", QRect(kClientSize.width() - kMargin - 130, y, 130, 26), this);
    connect(kindGroup_, &QButtonGroup::idClicked, this, [this] { ShowKind(); });
    connect(nextQuestion_, &QPushButton::clicked, this, [this] { NextQuestion(); });
    connect(finished_, &QPushButton::clicked, this, [this] { Finished(); });
    connect(updateQuestion_, &QPushButton::clicked, this, [this] { UpdateQuestion(); });
    kinds_[0]->setChecked(true);
    ShowKind();
}

void CPollQuestionDlg::ShowKind() {
    const int kind = kindGroup_->checkedId();
    trueFalse_->setVisible(kind == int(QuestionKind::TrueFalse));
    choice_->setVisible(kind == int(QuestionKind::MultipleChoice));
    numeric_->setVisible(kind == int(QuestionKind::Numeric));
}

void CPollQuestionDlg::Clear() {
    text_->clear();
    for (QLineEdit* a : answers_) a->clear();
    for (QLineEdit* n : {minimum_, maximum_, correctMinimum_, correctMaximum_}) n->clear();
}

void CPollQuestionDlg::Fill(const QuestionForm& f) {
    Clear();
    if (f.kind >= 0 && f.kind <= 3) kinds_[size_t(f.kind)]->setChecked(true);
    text_->setPlainText(FromUtf8(f.text));
    for (size_t i = 0; i < 4; ++i) answers_[i]->setText(FromUtf8(f.answers[i]));
    Uncheck(trueFalseGroup_);
    Uncheck(choiceGroup_);
    if (f.correctTrueFalse == 0 || f.correctTrueFalse == 1)
        trueFalseGroup_->button(f.correctTrueFalse)->setChecked(true);
    if (f.correctChoice >= 0 && f.correctChoice <= 3)
        correctChoices_[size_t(f.correctChoice)]->setChecked(true);
    if (f.kind == int32_t(QuestionKind::Numeric)) {
        minimum_->setText(Number(f.minimum));
        maximum_->setText(Number(f.maximum));
        if (!f.noCorrectAnswer) {
            correctMinimum_->setText(Number(f.correctMinimum));
            correctMaximum_->setText(Number(f.correctMaximum));
        }
    }
    noCorrect_->setChecked(f.noCorrectAnswer);
    ShowKind();
}

void CPollQuestionDlg::OpenNew() {
    updating_ = false;
    Clear();
    Uncheck(trueFalseGroup_);
    Uncheck(choiceGroup_);
    kinds_[0]->setChecked(true);
    noCorrect_->setChecked(false);
    ShowKind();
    nextQuestion_->show();
    finished_->show();
    updateQuestion_->hide();
    ShowInFront(ui::ShowPlacement::Centred());
}

void CPollQuestionDlg::OpenUpdate(size_t index, const CPollQuestion& question) {
    updating_ = true;
    index_ = index;
    Fill(FormOf(question));
    nextQuestion_->hide();
    finished_->hide();
    updateQuestion_->show();
    ShowInFront(ui::ShowPlacement::Centred());
}

void CPollQuestionDlg::QuestionDeleted(size_t deleted) {
    if (!isVisible() || !updating_) return;
    const auto index = IndexAfterDelete(index_, deleted);
    if (!index) {
        hide();
        return;
    }
    index_ = *index;
}

std::optional<QuestionForm> CPollQuestionDlg::Read(bool speak) {
    QuestionForm f;
    f.kind = kindGroup_->checkedId();
    f.text = ToUtf8(text_->toPlainText());
    for (size_t i = 0; i < 4; ++i) f.answers[i] = ToUtf8(answers_[i]->text());
    f.noCorrectAnswer = noCorrect_->isChecked();
    f.correctTrueFalse = trueFalseGroup_->checkedId();
    f.correctChoice = choiceGroup_->checkedId();
    if (f.kind == int32_t(QuestionKind::Numeric)) {
        std::vector<std::pair<QLineEdit*, double*>> boxes = {{minimum_, &f.minimum},
                                                             {maximum_, &f.maximum}};
        // Without a correct answer its two numbers are not asked for.
        if (!f.noCorrectAnswer) {
            boxes.push_back({correctMinimum_, &f.correctMinimum});
            boxes.push_back({correctMaximum_, &f.correctMaximum});
        }
        for (auto [box, value] : boxes) {
            if (!ParsePlainDecimal(ToUtf8(box->text().trimmed()), *value)) {
                if (speak) {
                    dialogs_.Message(this, QStringLiteral("Error"),
                                     QString::fromLatin1(kEnterNumber), ui::MsgIcon::Error);
                    box->setFocus();
                }
                return std::nullopt;
            }
        }
    }
    return f;
}

std::optional<CPollQuestion> CPollQuestionDlg::Validate(bool speak) {
    const auto form = Read(speak);
    if (!form) return std::nullopt;
    if (const auto failure = CheckQuestion(*form)) {
        if (speak && !failure->empty())
            dialogs_.Message(this, QStringLiteral("Error"), QString::fromStdString(*failure),
                             ui::MsgIcon::Error);
        return std::nullopt;
    }
    return MakeQuestion(*form);
}

void CPollQuestionDlg::NextQuestion() {
    const auto q = Validate(true);
    if (!q) return;
    if (add_) add_(*q);
    Clear();
    text_->setFocus();
}

void CPollQuestionDlg::Finished() {
    // An incomplete question is dropped without a word.
    if (const auto q = Validate(false); q && add_) add_(*q);
    hide();
}

void CPollQuestionDlg::UpdateQuestion() {
    const auto q = Validate(true);
    if (!q) return;
    if (update_) update_(index_, *q);
    hide();
}

// --- Create Poll / Modify Poll -------------------------------------------------------

void CPollDlg::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_NEWPOLL"), kClientSize, QStringLiteral("Poll"));
}

CPollDlg::CPollDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                   net::Client& client, CPollQuestionDlg& questionWindow, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client), questionWindow_(questionWindow) {
    setWindowTitle(QStringLiteral("Create Poll"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_NEWPOLL"));
    const int bottom = kClientSize.height() - kMargin - 26;

    MakeLabel("Questions:", QRect(kMargin, kTop, 200, 18), this);
    list_ = new QTreeWidget(this);
    ui::ConfigureListView(*list_);
    list_->setGeometry(kMargin, kTop + 20, 272, bottom - kTop - 62);
    list_->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Type"), QStringLiteral("Question")});
    list_->setColumnWidth(kNumber, 40);
    list_->setColumnWidth(kType, 85);
    list_->setColumnWidth(kQuestion, 125);
    newQuestion_ = MakeButton("New Question", QRect(kMargin, bottom - 34, 100, 26), this);
    modify_ = MakeButton("Modify", QRect(kMargin + 106, bottom - 34, 80, 26), this);
    delete_ = MakeButton("Delete", QRect(kMargin + 192, bottom - 34, 80, 26), this);

    const int x = kMargin + 290;
    MakeLabel("Start:", QRect(x, kTop, 120, 18), this);
    startDate_ = new QDateEdit(this);
    startDate_->setCalendarPopup(true);
    startDate_->setGeometry(x, kTop + 20, 150, 26);
    startTime_ = new QTimeEdit(this);
    startTime_->setGeometry(x + 156, kTop + 20, 122, 26);
    MakeLabel("End:", QRect(x, kTop + 56, 120, 18), this);
    endDate_ = new QDateEdit(this);
    endDate_->setCalendarPopup(true);
    endDate_->setGeometry(x, kTop + 76, 150, 26);
    endTime_ = new QTimeEdit(this);
    endTime_->setGeometry(x + 156, kTop + 76, 122, 26);
    for (QDateEdit* d : {startDate_, endDate_}) d->setDisplayFormat(QStringLiteral("MM/dd/yyyy"));
    for (QTimeEdit* t : {startTime_, endTime_}) t->setDisplayFormat(QStringLiteral("h:mm:ss AP"));

    MakeLabel("Max votes:", QRect(x, kTop + 124, 90, 20), this);
    maxVotes_ = MakeBox(QRect(x + 92, kTop + 120, 80, 26), this);
    othersMayView_ =
        new QCheckBox(QStringLiteral("Allow others to view individual ballot submissions"), this);
    othersMayView_->setGeometry(x, kTop + 160, 316, 22);
    recur_ = new QCheckBox(QStringLiteral("Make this poll recur every"), this);
    recur_->setGeometry(x, kTop + 194, 180, 22);
    interval_ = MakeBox(QRect(x + 184, kTop + 192, 50, 26), this);
    MakeLabel("hours", QRect(x + 240, kTop + 196, 50, 20), this);

    ok_ = MakeButton("OK", QRect(kClientSize.width() - kMargin - 182, bottom, 88, 26), this);
    cancel_ = MakeButton("Cancel", QRect(kClientSize.width() - kMargin - 88, bottom, 88, 26), this);
    connect(newQuestion_, &QPushButton::clicked, this, [this] { NewQuestion(); });
    connect(modify_, &QPushButton::clicked, this, [this] { ModifyQuestion(); });
    connect(delete_, &QPushButton::clicked, this, [this] { DeleteQuestion(); });
    connect(ok_, &QPushButton::clicked, this, [this] { Ok(); });
    connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });

    questionWindow_.SetAdd([this](const CPollQuestion& q) { AddQuestion(q); });
    questionWindow_.SetUpdate(
        [this](size_t index, const CPollQuestion& q) { ReplaceQuestion(index, q); });
}

bool CPollDlg::SlotBusy() const {
    net::TransferSlot& slot = client_.FileServer().Slot(net::poll::kPollUploadSlot);
    auto lock = slot.Lock();
    return slot.Busy();
}

void CPollDlg::UpdateOk() { ok_->setEnabled(!SlotBusy()); }

void CPollDlg::StartCreating(const std::string& sessionId) {
    questionWindow_.hide();
    questions_.clear();
    fromFile_.clear();
    Refill();
    mode_ = kCreate;
    questionsChanged_ = false;
    warned_ = false;
    sessionId_ = sessionId;
    pollId_ = -1;
    const QDateTime now = QDateTime::currentDateTime();
    for (QDateEdit* d : {startDate_, endDate_}) d->setDate(now.date());
    for (QTimeEdit* t : {startTime_, endTime_}) t->setTime(now.time());
    maxVotes_->clear();
    othersMayView_->setChecked(false);
    recur_->setChecked(false);
    interval_->clear();
    setWindowTitle(QStringLiteral("Create Poll"));
    SetHeading(QStringLiteral("Create Poll"));
    UpdateOk();
    ShowInFront(ui::ShowPlacement::Centred());
}

void CPollDlg::StartModifying(const std::string& sessionId, const CPollEntry& entry) {
    // Nothing shows until the poll file arrives.
    hide();
    questionWindow_.hide();
    mode_ = kModify;
    sessionId_ = sessionId;
    pollId_ = entry.pollId;
    entry_ = entry;
}

void CPollDlg::PollFileArrived() {
    const std::string path = client_.DataPath(kModifyPollFile);
    if (!UnmaskFile(path)) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kFailedToOpenModify0),
                         ui::MsgIcon::Error);
        return;
    }
    auto questions = ReadPlainPollFile(path);
    MaskFile(path);
    if (!questions) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kFailedToOpenModify1),
                         ui::MsgIcon::Error);
        return;
    }
    questions_ = std::move(*questions);
    fromFile_.assign(questions_.size(), true);
    Refill();
    const auto toDate = [](const PollTime& t) { return QDate(t.year, t.month, t.day); };
    const auto toTime = [](const PollTime& t) { return QTime(t.hour, t.minute, t.second); };
    startDate_->setDate(toDate(entry_.start));
    startTime_->setTime(toTime(entry_.start));
    endDate_->setDate(toDate(entry_.end));
    endTime_->setTime(toTime(entry_.end));
    maxVotes_->setText(QString::number(entry_.maxVotes));
    othersMayView_->setChecked(entry_.othersMayView != 0);
    recur_->setChecked(entry_.recurring != 0);
    interval_->setText(QString::number(entry_.recurrenceHours));
    questionsChanged_ = false;
    warned_ = false;
    setWindowTitle(QStringLiteral("Modify Poll"));
    SetHeading(QStringLiteral("Modify Poll"));
    UpdateOk();
    ShowInFront(ui::ShowPlacement::Centred());
}

void CPollDlg::Refill() {
    list_->clear();
    for (size_t i = 0; i < questions_.size(); ++i) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(kNumber, QString::number(i + 1));
        item->setText(kType, QString::fromStdString(KindLabel(questions_[i].kind, fromFile_[i])));
        item->setText(kQuestion, FromUtf8(ListQuestionText(questions_[i].text)));
    }
}

void CPollDlg::AddQuestion(const CPollQuestion& q) {
    questions_.push_back(q);
    fromFile_.push_back(false);
    Refill();
}

void CPollDlg::ReplaceQuestion(size_t index, const CPollQuestion& q) {
    if (index >= questions_.size()) return;
    questions_[index] = q;
    fromFile_[index] = false;
    Refill();
}

bool CPollDlg::MayChangeQuestions() {
    if (mode_ != kModify || warned_) return true;
    if (dialogs_.Message(this, QStringLiteral("Warning"), QString::fromLatin1(kVersionWarning),
                         ui::MsgIcon::Warning, ui::MsgButtons::YesNo) != ui::MsgAnswer::Yes)
        return false;
    warned_ = true;
    questionsChanged_ = true;
    return true;
}

int CPollDlg::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
}

void CPollDlg::NewQuestion() {
    if (!MayChangeQuestions()) return;
    questionWindow_.OpenNew();
}

void CPollDlg::ModifyQuestion() {
    const int row = SelectedRow();
    if (row < 0 || size_t(row) >= questions_.size()) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kSelectToModify),
                         ui::MsgIcon::Error);
        return;
    }
    if (!MayChangeQuestions()) return;
    questionWindow_.OpenUpdate(size_t(row), questions_[size_t(row)]);
}

void CPollDlg::DeleteQuestion() {
    const int row = SelectedRow();
    if (row < 0 || size_t(row) >= questions_.size()) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kSelectToDelete),
                         ui::MsgIcon::Error);
        return;
    }
    if (!MayChangeQuestions()) return;
    questions_.erase(questions_.begin() + row);
    fromFile_.erase(fromFile_.begin() + row);
    Refill();
    questionWindow_.QuestionDeleted(size_t(row));
}

void CPollDlg::Ok() {
    // Rewriting the poll file while it is being sent would corrupt it.
    if (SlotBusy()) {
        UpdateOk();
        return;
    }
    const auto integer = [this](QLineEdit* box, int32_t& out) {
        if (ParsePlainInteger(ToUtf8(box->text().trimmed()), out)) return true;
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kEnterInteger),
                         ui::MsgIcon::Error);
        box->setFocus();
        return false;
    };
    PollForm form;
    if (!integer(maxVotes_, form.maxVotes)) return;
    form.recurring = recur_->isChecked();
    if (form.recurring && !integer(interval_, form.intervalHours)) return;
    form.start = TimeOf(startDate_->date(), startTime_->time());
    form.end = TimeOf(endDate_->date(), endTime_->time());
    form.questionCount = questions_.size();
    if (const auto failure = CheckPoll(form)) {
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromStdString(*failure),
                         ui::MsgIcon::Error);
        return;
    }
    const std::string path = net::PrepareTransferFile(client_.DataDirectory(), kCreatedPollFile);
    if (path.empty() || !WritePollFile(path, questions_)) {
        dialogs_.Message(this, QStringLiteral("Error"),
                         QString::fromStdString(UnableToWriteText(client_.DataPath(kCreatedPollFile))),
                         ui::MsgIcon::Error);
        return;
    }
    PollUpload upload;
    upload.mode = mode_;
    upload.pollId = mode_ == kCreate ? -1 : pollId_;
    upload.fileFollows = mode_ == kCreate || questionsChanged_;
    const std::time_t now = std::time(nullptr);
    localtime_r(&now, &upload.clientNow);
    upload.sessionId = sessionId_;
    upload.form = form;
    upload.othersMayView = othersMayView_->isChecked();
    keptId_ = -1;
    // Without questions the request names one byte and no chunk follows.
    if (!net::StartUpload(client_.FileServer(), net::poll::kPollUploadSlot, path,
                          PollUploadFields(upload), upload.fileFollows ? -1 : 1))
        return;
    UpdateOk();
    questionWindow_.hide();
    hide();
}

void CPollDlg::UploadCompleted() {
    UpdateOk();
    SendConfirmPoll(client_.FileServer(), sessionId_, keptId_);
    if (requestList_) requestList_();
}

void CPollDlg::Reset() {
    questionWindow_.hide();
    hide();
    questions_.clear();
    fromFile_.clear();
    Refill();
}

}  // namespace polls
