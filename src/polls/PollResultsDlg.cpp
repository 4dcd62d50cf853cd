#include "polls/PollResultsDlg.h"

#include <QEvent>
#include <QHeaderView>
#include <QContextMenuEvent>
#include <QIODevice>
#include <QKeyEvent>

#include "net/Client.h"
#include "polls/model/PollResults.h"
#include "polls/model/ResultsCsv.h"
#include "ui/Dialogs.h"
#include "ui/FileExport.h"
#include "ui/ListView.h"
#include "ui/Skin.h"

namespace polls {

namespace {

constexpr int kMargin = 14;
constexpr int kTop = 44;

QString FromUtf8(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QPushButton* MakeButton(const char* text, const QRect& r, QWidget* parent) {
    auto* b = new QPushButton(QString::fromLatin1(text), parent);
    b->setGeometry(r);
    b->setAutoDefault(false);
    return b;
}

QLabel* BoldLabel(QWidget* parent, const QRect& r) {
    auto* l = new QLabel(parent);
    l->setGeometry(r);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

}  // namespace

// --- The voter list ----------------------------------------------------------

void VoterListModel::SetBallots(const std::vector<CBallot>* ballots, std::vector<int> scores,
                                int gradable) {
    beginResetModel();
    ballots_ = ballots;
    scores_ = std::move(scores);
    gradable_ = gradable;
    endResetModel();
}

int VoterListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !ballots_ ? 0 : int(ballots_->size());
}

int VoterListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant VoterListModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !ballots_ || !index.isValid() || index.row() < 0 ||
        size_t(index.row()) >= ballots_->size())
        return {};
    const size_t row = size_t(index.row());
    if (index.column() == kUsername) return FromUtf8((*ballots_)[row].voterName);
    if (index.column() == kNumberCorrect && row < scores_.size())
        return QString::fromStdString(ScoreText(scores_[row], gradable_));
    return {};
}

QVariant VoterListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == kUsername) return QStringLiteral("Username");
    if (section == kNumberCorrect) return QStringLiteral("Number Correct");
    return {};
}

CListVoters::CListVoters(QWidget* parent) : QTreeView(parent) {
    ui::ConfigureListView(*this);
    setModel(&model_);
    setColumnWidth(VoterListModel::kUsername, 90);
    setColumnWidth(VoterListModel::kNumberCorrect, 90);
}

QString CListVoters::Cell(int row, int column) const {
    return model_.data(model_.index(row, column), Qt::DisplayRole).toString();
}

// --- View Individual Ballots ---------------------------------------------------

void CIndividualBallotsDlg::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_INDIVIDUALBALLOTS"), kClientSize,
                            QStringLiteral("View Individual Ballots"));
}

CIndividualBallotsDlg::CIndividualBallotsDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                             const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("View Individual Ballots"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_INDIVIDUALBALLOTS"));
    const int bottom = kClientSize.height() - kMargin - 26;
    list_ = new CListVoters(this);
    list_->setGeometry(kMargin, kTop, 200, bottom - kTop - 10);
    list_->setAccessibleName(QStringLiteral("Voters"));
    list_->viewport()->installEventFilter(this);
    list_->installEventFilter(this);

    const int x = kMargin + 214;
    const int width = kClientSize.width() - x - kMargin;
    number_ = BoldLabel(this, QRect(x, kTop, width, 20));
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setGeometry(x, kTop + 24, width, 80);
    mark_ = new CMarkWidget(this);
    mark_->move(x, kTop + 116);
    answer_ = new QLabel(this);
    answer_->setGeometry(x + 22, kTop + 112, width - 22, 24);
    answer_->setWordWrap(true);
    for (int i = 0; i < 4; ++i) {
        choices_[size_t(i)] = new QLabel(this);
        choices_[size_t(i)]->setGeometry(x, kTop + 146 + 24 * i, width, 22);
    }
    openText_ = new QPlainTextEdit(this);
    openText_->setReadOnly(true);
    openText_->setGeometry(x, kTop + 146, width, bottom - kTop - 156);

    previous_ = MakeButton("Previous", QRect(x, bottom, 88, 26), this);
    next_ = MakeButton("Next", QRect(x + 94, bottom, 88, 26), this);
    auto* ok = MakeButton("OK", QRect(kClientSize.width() - kMargin - 88, bottom, 88, 26), this);
    connect(previous_, &QPushButton::clicked, this, [this] {
        if (current_ > 0) --current_;
        ShowAnswer();
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        if (questions_ && current_ + 1 < questions_->size()) ++current_;
        ShowAnswer();
    });
    connect(ok, &QPushButton::clicked, this, [this] { hide(); });
    connect(list_, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { SelectVoter(index.row()); });
    ShowAnswer();
}

CIndividualBallotsDlg::~CIndividualBallotsDlg() { list_->Model().SetBallots(nullptr, {}, 0); }

void CIndividualBallotsDlg::Open(const std::vector<CPollQuestion>* questions,
                                 const std::vector<CBallot>* ballots) {
    questions_ = questions;
    ballots_ = ballots;
    std::vector<int> scores;
    scores.reserve(ballots->size());
    for (const CBallot& b : *ballots) scores.push_back(Score(*questions, b));
    list_->Model().SetBallots(ballots, std::move(scores), GradableCount(*questions));
    // The first voter is shown, no row highlighted yet.
    list_->clearSelection();
    selected_ = 0;
    current_ = 0;
    ShowAnswer();
    ShowInFront(ui::ShowPlacement::Centred());
}

void CIndividualBallotsDlg::Detach() {
    hide();
    list_->Model().SetBallots(nullptr, {}, 0);
    questions_ = nullptr;
    ballots_ = nullptr;
    ShowAnswer();
}

void CIndividualBallotsDlg::SelectVoter(int row) {
    if (!ballots_ || row < 0 || size_t(row) >= ballots_->size()) return;
    selected_ = size_t(row);
    ShowAnswer();
}

void CIndividualBallotsDlg::ShowAnswer() {
    const bool any = questions_ && ballots_ && !questions_->empty() && !ballots_->empty();
    const int count = questions_ ? int(questions_->size()) : 0;
    number_->setText(QString::fromStdString(ResultsQuestionLabel(int(current_) + 1, count)));
    previous_->setEnabled(any && current_ > 0);
    next_->setEnabled(any && int(current_) + 1 < count);
    for (QLabel* c : choices_) c->hide();
    openText_->hide();
    if (!any || current_ >= questions_->size() || selected_ >= ballots_->size()) {
        text_->clear();
        answer_->clear();
        mark_->SetMark(-1);
        return;
    }
    const CPollQuestion& q = (*questions_)[current_];
    text_->setPlainText(FromUtf8(q.text));
    const AnswerView view = DescribeAnswer(*questions_, (*ballots_)[selected_], current_);
    answer_->setText(FromUtf8(view.text));
    mark_->SetMark(view.mark);
    if (q.kind == int32_t(QuestionKind::MultipleChoice)) {
        for (size_t i = 0; i < 4; ++i) {
            choices_[i]->setText(QString(QChar('A' + int(i))) + QStringLiteral(": ") +
                                 (q.answers ? FromUtf8((*q.answers)[i]) : QString()));
            choices_[i]->show();
        }
    }
    if (view.showsText) {
        openText_->setPlainText(FromUtf8(view.answerText));
        openText_->show();
    }
}

bool CIndividualBallotsDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease && watched == list_) {
        // A key release takes the selected row.
        const QModelIndex index = list_->currentIndex();
        if (index.isValid()) SelectVoter(index.row());
    }
    return CSkinnedDlg::eventFilter(watched, event);
}

// --- Poll Results ----------------------------------------------------------------

void CPollResultsDlg::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_POLLRESULTS"), kClientSize,
                            QStringLiteral("Poll Results"));
}

CPollResultsDlg::CPollResultsDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                                 const net::Timings& timings, net::Client& client, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), client_(client) {
    setWindowTitle(QStringLiteral("Poll Results"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_POLLRESULTS"));
    const int width = kClientSize.width() - 2 * kMargin;
    number_ = BoldLabel(this, QRect(kMargin, kTop, width, 20));
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setGeometry(kMargin, kTop + 24, width, 76);

    const int panelTop = kTop + 112;
    bars_ = new CPollBars(this);
    bars_->setGeometry(kMargin + 8, panelTop, 250, 126 + 40);
    for (int i = 0; i < 4; ++i) {
        choiceTexts_[size_t(i)] = new QLabel(this);
        choiceTexts_[size_t(i)]->setGeometry(kMargin + 280, panelTop + 24 + 30 * i, width - 280, 26);
        choiceTexts_[size_t(i)]->setWordWrap(true);
    }
    numeric_ = new QWidget(this);
    numeric_->setGeometry(kMargin, panelTop, width, 170);
    auto* correct = new QLabel(QStringLiteral("Correct answers:"), numeric_);
    correct->setGeometry(8, 4, 120, 20);
    numericLabel_ = BoldLabel(numeric_, QRect(132, 4, width - 140, 20));
    auto* most = new QLabel(QStringLiteral("Most frequent answers:"), numeric_);
    most->setGeometry(8, 34, 200, 20);
    for (int i = 0; i < 4; ++i) {
        rowMarks_[size_t(i)] = new CMarkWidget(numeric_);
        rowMarks_[size_t(i)]->move(16, 62 + 26 * i);
        rows_[size_t(i)] = new QLabel(numeric_);
        rows_[size_t(i)]->setGeometry(40, 60 + 26 * i, width - 48, 20);
    }

    const int y = kClientSize.height() - kMargin - 26;
    previous_ = MakeButton("Previous", QRect(kMargin, y, 88, 26), this);
    next_ = MakeButton("Next", QRect(kMargin + 94, y, 88, 26), this);
    viewBallots_ = MakeButton("View Individual Ballots",
                              QRect(kClientSize.width() - kMargin - 88 - 6 - 160, y, 160, 26), this);
    ok_ = MakeButton("OK", QRect(kClientSize.width() - kMargin - 88, y, 88, 26), this);
    connect(previous_, &QPushButton::clicked, this, [this] {
        if (current_ > 0) ShowQuestion(current_ - 1);
    });
    connect(next_, &QPushButton::clicked, this, [this] {
        if (current_ + 1 < questions_.size()) ShowQuestion(current_ + 1);
    });
    connect(viewBallots_, &QPushButton::clicked, this, [this] { ViewBallots(); });
    connect(ok_, &QPushButton::clicked, this, [this] { hide(); });
    viewBallots_->setEnabled(false);
    menu_ = new QMenu(this);
    exportCsv_ = menu_->addAction(QStringLiteral("Export to CSV..."), this, [this] { ExportCsv(); });
    ShowQuestion(0);
}

CPollResultsDlg::~CPollResultsDlg() = default;

void CPollResultsDlg::contextMenuEvent(QContextMenuEvent* event) {
    exportCsv_->setEnabled(!questions_.empty());
    menu_->popup(event->globalPos());
    event->accept();
}

bool CPollResultsDlg::ExportCsv() {
    if (questions_.empty()) return false;
    // The text is fixed now: results arriving while the chooser is open do
    // not change what this export writes.
    const std::string csv = ResultsCsv(questions_, ballots_);
    return ui::ExportToChosenFile(
        dialogs_, this, QStringLiteral("Export to CSV"), QString::fromLatin1(kCsvName),
        QStringLiteral("CSV files (*.csv);;All files (*)"), [&csv](QIODevice& out) {
            return out.write(csv.data(), qint64(csv.size())) == qint64(csv.size());
        });
}

void CPollResultsDlg::SetPoll(const std::string& owner, int32_t othersMayView) {
    owner_ = owner;
    othersMayView_ = othersMayView;
}

bool CPollResultsDlg::MayView() const {
    return MayViewIndividualBallots(username_, owner_, othersMayView_);
}

void CPollResultsDlg::ResultsArrived() {
    // The individual ballots show this window's data, which is replaced.
    if (individual_) individual_->Detach();
    viewBallots_->setEnabled(MayView());
    ResultsRead read = ReadResults(client_.DataPath(kResultsFile),
                                   client_.DataPath(kResultsPollFile),
                                   client_.DataPath(kResultsBallotsFile));
    questions_ = std::move(read.questions);
    ballots_ = std::move(read.ballots);
    if (!read.error.empty()) {
        hide();
        ShowQuestion(0);
        dialogs_.Message(this, QStringLiteral("Error"), QString::fromStdString(read.error),
                         ui::MsgIcon::Error);
        return;
    }
    ShowQuestion(0);
    ShowInFront(ui::ShowPlacement::Centred());
}

void CPollResultsDlg::ShowQuestion(size_t index) {
    current_ = index;
    const int count = int(questions_.size());
    number_->setText(QString::fromStdString(ResultsQuestionLabel(int(index) + 1, count)));
    previous_->setEnabled(index > 0);
    next_->setEnabled(int(index) + 1 < count);
    bars_->hide();
    numeric_->hide();
    for (QLabel* c : choiceTexts_) c->hide();
    if (index >= questions_.size()) {
        text_->clear();
        return;
    }
    const CPollQuestion& q = questions_[index];
    text_->setPlainText(FromUtf8(q.text));
    const QuestionTally t = TallyQuestion(questions_, ballots_, index);
    switch (QuestionKind(q.kind)) {
        case QuestionKind::TrueFalse:
            bars_->SetBars({QStringLiteral("True"), QStringLiteral("False")},
                           {t.trueFraction, t.falseFraction}, CorrectBar(q));
            bars_->show();
            break;
        case QuestionKind::MultipleChoice:
            bars_->SetBars({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                            QStringLiteral("D")},
                           {t.choiceFractions.begin(), t.choiceFractions.end()}, CorrectBar(q));
            bars_->show();
            for (size_t i = 0; i < 4; ++i) {
                choiceTexts_[i]->setText(QString(QChar('A' + int(i))) + QStringLiteral(": ") +
                                         (q.answers ? FromUtf8((*q.answers)[i]) : QString()));
                choiceTexts_[i]->show();
            }
            break;
        case QuestionKind::Numeric:
            numericLabel_->setText(QString::fromStdString(t.numericLabel));
            for (size_t i = 0; i < 4; ++i) {
                rows_[i]->setText(QString::fromStdString(t.rows[i].text));
                // The rows' 1 is drawn as the answers' "correct", 2 as "incorrect".
                rowMarks_[i]->SetMark(t.rows[i].mark < 0 ? -1 : t.rows[i].mark == 1 ? 0 : 1);
            }
            numeric_->show();
            break;
        default:
            break;
    }
}

void CPollResultsDlg::ViewBallots() {
    // The rule again: the button may have been left enabled by mistake.
    if (!MayView() || !individual_ || ballots_.empty()) return;
    individual_->Open(&questions_, &ballots_);
}

void CPollResultsDlg::Reset() {
    if (individual_) individual_->Detach();
    hide();
    questions_.clear();
    ballots_.clear();
    ShowQuestion(0);
}

}  // namespace polls
