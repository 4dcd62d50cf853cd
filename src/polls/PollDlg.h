#pragma once

// The poll window ("Create Poll" / "Modify Poll"): schedule, limits and the
// ordered questions of one poll, written and uploaded on OK; and the
// question window ("Poll Question") that edits one question at a time. One
// window each, made with the main window, hidden when closed and reused.

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QTreeWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "polls/model/PollAuthoring.h"
#include "polls/model/PollFiles.h"
#include "ui/SkinnedDlg.h"

namespace net {
class Client;
}

namespace polls {

class CPollDlg;

class CPollQuestionDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    static constexpr QSize kClientSize{520, 430};

    CPollQuestionDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                     QWidget* parent = nullptr);
    static void RegisterPictures(ui::Skin& skin);

    // Where finished questions go.
    void SetAdd(std::function<void(const CPollQuestion&)> add) { add_ = std::move(add); }
    void SetUpdate(std::function<void(size_t, const CPollQuestion&)> update) {
        update_ = std::move(update);
    }

    // New Question: an empty form with "Next Question" and "Finished".
    void OpenNew();
    // Modify: the question at `index` with "Update Question".
    void OpenUpdate(size_t index, const CPollQuestion& question);
    bool Updating() const { return updating_; }
    size_t UpdatingIndex() const { return index_; }
    // The question list lost a row: hides the window when it was this
    // question's, moves its index down when it was an earlier one.
    void QuestionDeleted(size_t deleted);

    QRadioButton* KindButton(QuestionKind k) const { return kinds_[size_t(k)]; }
    QPlainTextEdit* TextBox() const { return text_; }
    QLineEdit* AnswerBox(int i) const { return answers_[size_t(i)]; }
    QRadioButton* CorrectChoice(int i) const { return correctChoices_[size_t(i)]; }
    QRadioButton* TrueButton() const { return trueButton_; }
    QRadioButton* FalseButton() const { return falseButton_; }
    QLineEdit* MinimumBox() const { return minimum_; }
    QLineEdit* MaximumBox() const { return maximum_; }
    QLineEdit* CorrectMinimumBox() const { return correctMinimum_; }
    QLineEdit* CorrectMaximumBox() const { return correctMaximum_; }
    QCheckBox* NoCorrectBox() const { return noCorrect_; }
    QPushButton* NextQuestionButton() const { return nextQuestion_; }
    QPushButton* FinishedButton() const { return finished_; }
    QPushButton* UpdateButton() const { return updateQuestion_; }

  private:
    void ShowKind();
    void Clear();
    void Fill(const QuestionForm& form);
    // The form as typed; nothing when a number box holds no number (with
    // `speak`, its message is shown and it gets the focus).
    std::optional<QuestionForm> Read(bool speak);
    // A complete question, or nothing (with `speak`, the first failure shown).
    std::optional<CPollQuestion> Validate(bool speak);
    void NextQuestion();
    void Finished();
    void UpdateQuestion();

    std::function<void(const CPollQuestion&)> add_;
    std::function<void(size_t, const CPollQuestion&)> update_;
    bool updating_ = false;
    size_t index_ = 0;

    std::array<QRadioButton*, 4> kinds_{};
    QButtonGroup* kindGroup_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QWidget* trueFalse_ = nullptr;
    QRadioButton* trueButton_ = nullptr;
    QRadioButton* falseButton_ = nullptr;
    QButtonGroup* trueFalseGroup_ = nullptr;
    QWidget* choice_ = nullptr;
    std::array<QLineEdit*, 4> answers_{};
    std::array<QRadioButton*, 4> correctChoices_{};
    QButtonGroup* choiceGroup_ = nullptr;
    QWidget* numeric_ = nullptr;
    QLineEdit* minimum_ = nullptr;
    QLineEdit* maximum_ = nullptr;
    QLineEdit* correctMinimum_ = nullptr;
    QLineEdit* correctMaximum_ = nullptr;
    QCheckBox* noCorrect_ = nullptr;
    QPushButton* nextQuestion_ = nullptr;
    QPushButton* finished_ = nullptr;
    QPushButton* updateQuestion_ = nullptr;
};

class CPollDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    static constexpr QSize kClientSize{630, 420};
    enum Mode { kCreate = 0, kModify = 1 };
    enum Column { kNumber, kType, kQuestion };

    CPollDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
             net::Client& client, CPollQuestionDlg& questionWindow, QWidget* parent = nullptr);
    static void RegisterPictures(ui::Skin& skin);

    // Asks for the poll list again once an upload is complete.
    void SetListRequest(std::function<void()> request) { requestList_ = std::move(request); }

    void StartCreating(const std::string& sessionId);
    void StartModifying(const std::string& sessionId, const CPollEntry& entry);
    // The poll file to modify has arrived.
    void PollFileArrived();
    // The go-ahead of the poll upload, with its integer; the upload completed.
    void UploadGoAhead(int32_t value) { keptId_ = value; }
    void UploadCompleted();
    // The poll slot changed (refused, stored without a file, or closed).
    void UpdateOk();
    void Reset();

    Mode CurrentMode() const { return mode_; }
    bool QuestionsChanged() const { return questionsChanged_; }
    const std::vector<CPollQuestion>& Questions() const { return questions_; }
    int32_t KeptId() const { return keptId_; }
    QTreeWidget* List() const { return list_; }
    QDateEdit* StartDate() const { return startDate_; }
    QTimeEdit* StartTime() const { return startTime_; }
    QDateEdit* EndDate() const { return endDate_; }
    QTimeEdit* EndTime() const { return endTime_; }
    QLineEdit* MaxVotesBox() const { return maxVotes_; }
    QCheckBox* OthersMayViewBox() const { return othersMayView_; }
    QCheckBox* RecurBox() const { return recur_; }
    QLineEdit* IntervalBox() const { return interval_; }
    QPushButton* NewQuestionButton() const { return newQuestion_; }
    QPushButton* ModifyButton() const { return modify_; }
    QPushButton* DeleteButton() const { return delete_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    void AddQuestion(const CPollQuestion& q);
    void ReplaceQuestion(size_t index, const CPollQuestion& q);
    void Refill();
    // In modify mode the first change to the questions asks first.
    bool MayChangeQuestions();
    int SelectedRow() const;
    void NewQuestion();
    void ModifyQuestion();
    void DeleteQuestion();
    void Ok();
    bool SlotBusy() const;

    net::Client& client_;
    CPollQuestionDlg& questionWindow_;
    std::function<void()> requestList_;
    Mode mode_ = kCreate;
    bool questionsChanged_ = false;
    bool warned_ = false;
    std::string sessionId_;
    int32_t pollId_ = -1;
    CPollEntry entry_;
    std::vector<CPollQuestion> questions_;
    // Whether each question came from the downloaded file (its label).
    std::vector<bool> fromFile_;
    int32_t keptId_ = -1;

    QTreeWidget* list_ = nullptr;
    QDateEdit* startDate_ = nullptr;
    QTimeEdit* startTime_ = nullptr;
    QDateEdit* endDate_ = nullptr;
    QTimeEdit* endTime_ = nullptr;
    QLineEdit* maxVotes_ = nullptr;
    QCheckBox* othersMayView_ = nullptr;
    QCheckBox* recur_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QPushButton* newQuestion_ = nullptr;
    QPushButton* modify_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace polls
