#pragma once

// The polls module: the Polling Center, the poll family and the poll
// transfers. The session rooms open it through their POLL button.

#include <memory>

#include "shell/Module.h"

namespace net {
class Client;
}

namespace polls {

class CPollingCenterDlg;
class CBallotDlg;
class CPollResultsDlg;
class CIndividualBallotsDlg;
class CPollDlg;
class CPollQuestionDlg;

class PollsModule final : public shell::Module {
  public:
    PollsModule();
    ~PollsModule() override;

    const char* Name() const override { return "polls"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;
    void LoggedIn() override;
    void LoggedOut() override;

    // Null until registered.
    CPollingCenterDlg* Center() const { return center_.get(); }
    CBallotDlg* Ballot() const { return ballot_.get(); }
    CPollResultsDlg* Results() const { return results_.get(); }
    CIndividualBallotsDlg* IndividualBallots() const { return individual_.get(); }
    CPollDlg* PollWindow() const { return poll_.get(); }
    CPollQuestionDlg* QuestionWindow() const { return question_.get(); }

  private:
    // Declared in the order they may go: the poll window uses the question
    // window, the results window shows through the individual ballots.
    std::unique_ptr<CPollQuestionDlg> question_;
    std::unique_ptr<CPollDlg> poll_;
    std::unique_ptr<CIndividualBallotsDlg> individual_;
    std::unique_ptr<CPollResultsDlg> results_;
    std::unique_ptr<CBallotDlg> ballot_;
    std::unique_ptr<CPollingCenterDlg> center_;
    net::Client* client_ = nullptr;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace polls
