#pragma once

// "Poll Results": the ballots of a finished poll tallied question by
// question; and "View Individual Ballots": each voter's answers and score,
// with its voter list. One window each, made with the main window, hidden
// when closed and reused.

#include <QAbstractTableModel>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <array>
#include <string>
#include <vector>

#include "polls/PollWidgets.h"
#include "polls/model/PollFiles.h"
#include "ui/SkinnedDlg.h"

namespace net {
class Client;
}

namespace polls {

// The voters and their scores, drawn from the ballots themselves so that a
// poll of tens of thousands of ballots costs no widget per row.
class VoterListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column { kUsername, kNumberCorrect, kColumns };
    using QAbstractTableModel::QAbstractTableModel;
    // Shows `ballots` (kept by the caller) with their scores.
    void SetBallots(const std::vector<CBallot>* ballots, std::vector<int> scores, int gradable);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    const std::vector<CBallot>* ballots_ = nullptr;
    std::vector<int> scores_;
    int gradable_ = 0;
};

class CListVoters : public QTreeView {
    Q_OBJECT
  public:
    explicit CListVoters(QWidget* parent = nullptr);
    VoterListModel& Model() { return model_; }
    int RowCount() const { return model_.rowCount(); }
    QString Cell(int row, int column) const;

  private:
    VoterListModel model_;
};

class CIndividualBallotsDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    static constexpr QSize kClientSize{640, 420};

    CIndividualBallotsDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                          QWidget* parent = nullptr);
    ~CIndividualBallotsDlg() override;
    static void RegisterPictures(ui::Skin& skin);

    // Shows the results window's questions and ballots (shared, not copied).
    void Open(const std::vector<CPollQuestion>* questions, const std::vector<CBallot>* ballots);
    // The results window's data goes: nothing of it is shown any more.
    void Detach();
    // Selects the voter of a row (a click or a key release in the list).
    void SelectVoter(int row);

    CListVoters* Voters() const { return list_; }
    QLabel* QuestionLabel() const { return number_; }
    QLabel* AnswerLabel() const { return answer_; }
    CMarkWidget* Mark() const { return mark_; }
    QPlainTextEdit* OpenText() const { return openText_; }
    QLabel* ChoiceText(int i) const { return choices_[size_t(i)]; }
    QPushButton* PreviousButton() const { return previous_; }
    QPushButton* NextButton() const { return next_; }
    size_t Selected() const { return selected_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowAnswer();

    const std::vector<CPollQuestion>* questions_ = nullptr;
    const std::vector<CBallot>* ballots_ = nullptr;
    size_t selected_ = 0;
    size_t current_ = 0;

    CListVoters* list_ = nullptr;
    QLabel* number_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    CMarkWidget* mark_ = nullptr;
    QLabel* answer_ = nullptr;
    std::array<QLabel*, 4> choices_{};
    QPlainTextEdit* openText_ = nullptr;
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
};

class CPollResultsDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    // The file the export proposes.
    static constexpr char kCsvName[] = "poll-results.csv";

    static constexpr QSize kClientSize{560, 440};

    CPollResultsDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                    net::Client& client, QWidget* parent = nullptr);
    ~CPollResultsDlg() override;
    static void RegisterPictures(ui::Skin& skin);

    void SetUsername(const std::string& username) { username_ = username; }
    void SetIndividualWindow(CIndividualBallotsDlg* window) { individual_ = window; }
    // View Results: the poll's owner and its others-may-view flag.
    void SetPoll(const std::string& owner, int32_t othersMayView);
    // The results download is complete.
    void ResultsArrived();
    void Reset();

    const std::vector<CPollQuestion>& Questions() const { return questions_; }
    const std::vector<CBallot>& Ballots() const { return ballots_; }
    QLabel* QuestionLabel() const { return number_; }
    QPlainTextEdit* QuestionText() const { return text_; }
    CPollBars* Bars() const { return bars_; }
    QLabel* ChoiceText(int i) const { return choiceTexts_[size_t(i)]; }
    QLabel* NumericLabel() const { return numericLabel_; }
    QLabel* RowText(int i) const { return rows_[size_t(i)]; }
    CMarkWidget* RowMark(int i) const { return rowMarks_[size_t(i)]; }
    QPushButton* PreviousButton() const { return previous_; }
    QPushButton* NextButton() const { return next_; }
    QPushButton* ViewBallotsButton() const { return viewBallots_; }
    QPushButton* OkButton() const { return ok_; }
    // The right-click menu: "Export to CSV...", offered once results are in.
    QMenu* ContextMenu() const { return menu_; }
    QAction* ExportCsvAction() const { return exportCsv_; }
    // Asks where and writes the results there; false when cancelled or failed.
    bool ExportCsv();

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void ShowQuestion(size_t index);
    void ViewBallots();
    bool MayView() const;

    net::Client& client_;
    CIndividualBallotsDlg* individual_ = nullptr;
    std::string username_;
    std::string owner_;
    int32_t othersMayView_ = 0;
    std::vector<CPollQuestion> questions_;
    std::vector<CBallot> ballots_;
    size_t current_ = 0;

    QLabel* number_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    CPollBars* bars_ = nullptr;
    std::array<QLabel*, 4> choiceTexts_{};
    QWidget* numeric_ = nullptr;
    QLabel* numericLabel_ = nullptr;
    std::array<QLabel*, 4> rows_{};
    std::array<CMarkWidget*, 4> rowMarks_{};
    QPushButton* previous_ = nullptr;
    QPushButton* next_ = nullptr;
    QPushButton* viewBallots_ = nullptr;
    QPushButton* ok_ = nullptr;
    QMenu* menu_ = nullptr;
    QAction* exportCsv_ = nullptr;
};

}  // namespace polls
