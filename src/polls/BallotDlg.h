#pragma once

// "Take Poll": the questions of one poll shown one at a time, answered and
// submitted as a ballot on the ballot slot. One window, made with the main
// window, hidden when closed and reused.

#include <QButtonGroup>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "polls/PollWidgets.h"
#include "polls/model/PollFiles.h"
#include "ui/SkinnedDlg.h"

namespace net {
class Client;
}

namespace polls {

class CBallotDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    static constexpr QSize kClientSize{540, 410};

    CBallotDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
               net::Client& client, QWidget* parent = nullptr);

    static void RegisterPictures(ui::Skin& skin);

    void SetUsername(const std::string& username) { username_ = username; }
    // Asks for the poll list again once a ballot is in.
    void SetListRequest(std::function<void()> request) { requestList_ = std::move(request); }

    // Take Poll: what the coming poll file is for.
    void SetPoll(const std::string& sessionId, const std::string& owner, int32_t pollId,
                 int32_t version);
    // The poll file (purpose 0) has arrived.
    void PollFileArrived();
    // The ballot upload is complete.
    void UploadCompleted();
    // The ballot slot changed (a refusal or a response closed it).
    void UpdateSubmit();
    void Reset();

    size_t Current() const { return current_; }
    const std::vector<CPollQuestion>& Questions() const { return questions_; }
    const std::vector<CPollAnswer>& Answers() const { return answers_; }
    QLabel* QuestionLabel() const { return number_; }
    QPlainTextEdit* QuestionText() const { return text_; }
    QRadioButton* TrueButton() const { return trueButton_; }
    QRadioButton* FalseButton() const { return falseButton_; }
    QRadioButton* ChoiceButton(int i) const { return choices_[size_t(i)]; }
    QLabel* ChoiceText(int i) const { return choiceTexts_[size_t(i)]; }
    CBallotEditCtrl* NumberBox() const { return numberBox_; }
    CBallotEditCtrl* OpenBox() const { return openBox_; }
    QLabel* RangeText() const { return range_; }
    QPushButton* PreviousButton() const { return previous_; }
    QPushButton* NextButton() const { return next_; }
    QPushButton* SubmitButton() const { return submit_; }
    QPushButton* CancelButton() const { return cancel_; }

  public slots:
    // Cancel and the close box ask first.
    void reject() override;

  private:
    void ShowQuestion(size_t index);
    void Record();
    bool MayLeave();
    void Move(int step);
    void Submit();
    void Error(const QString& text);
    bool SlotBusy() const;

    net::Client& client_;
    std::function<void()> requestList_;
    std::string username_;
    std::string sessionId_, owner_ = "<?>";
    int32_t pollId_ = -1, version_ = -1;
    std::vector<CPollQuestion> questions_;
    std::vector<CPollAnswer> answers_;
    size_t current_ = 0;

    QLabel* number_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QWidget* trueFalse_ = nullptr;
    QWidget* choice_ = nullptr;
    QWidget* numeric_ = nullptr;
    QRadioButton* trueButton_ = nullptr;
    QRadioButton* falseButton_ = nullptr;
    QButtonGroup* trueFalseGroup_ = nullptr;
    std::array<QRadioButton*, 4> choices_{};
    std::array<QLabel*, 4> choiceTexts_{};
    QButtonGroup* choiceGroup_ = nullptr;
    CBallotEditCtrl* numberBox_ = nullptr;
    QLabel* range_ = nullptr;
    CBallotEditCtrl* openBox_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* submit_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace polls
