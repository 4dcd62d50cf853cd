#pragma once

// One session room: the transcript (read only, web links open in the
// browser), the input line, the participants with their roles and presence,
// and the buttons. The window is thin: the room list (Rooms) decides what
// is sent and when the window goes; the window only shows and reports.

#include <QAbstractListModel>
#include <QPixmap>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTreeView>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "sessions/RoomModel.h"
#include "shell/Transcript.h"
#include "ui/MessageInputEdit.h"
#include "ui/SkinnedDlg.h"

class QPushButton;

namespace ui {
class CFixedButton;
}

namespace sessions {

// The input line: at most 500 characters and 600 bytes of UTF-8 (line
// breaks counted as the two bytes they take on the wire), however the text
// comes in; pasted text comes in plain. Enter sends, Shift+Enter breaks.
class CChatInputEdit : public ui::CMessageInputEdit {
    Q_OBJECT
  public:
    explicit CChatInputEdit(QWidget* parent = nullptr);

  private:
    void Limit(int position, int added);
    bool limiting_ = false;
};

// How many bytes `text` takes on the wire, line breaks as "\r\n".
int WireBytes(const QString& text);

class CParticipantsModel : public QAbstractListModel {
  public:
    CParticipantsModel(const ui::Skin& skin, QObject* parent);

    void Reset(const std::vector<Participant>& participants,
               const std::function<bool(const std::string&)>& muted);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

  private:
    struct Row {
        QString name;
        QString tip;
        int image = 0;
        RowLook look = RowLook::Grey;
    };
    std::vector<Row> rows_;
    std::array<QPixmap, 4> pictures_;
};

// One column, 130 pixels, no header, one row per participant in order.
class CListParticipants : public QTreeView {
    Q_OBJECT
  public:
    static constexpr int kColumnWidth = 130;

    CListParticipants(const ui::Skin& skin, QWidget* parent = nullptr);
    void Redraw(const std::vector<Participant>& participants,
                const std::function<bool(const std::string&)>& muted);
    CParticipantsModel& Model() { return model_; }

  signals:
    // A right click on a row.
    void menuRequested(int row, const QPoint& globalPos);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    CParticipantsModel model_;
};

class CSessionDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    static constexpr QSize kClientSize{600, 430};

    // What the buttons and the window report.
    struct Actions {
        std::function<void(const QString& text)> send;
        std::function<void()> close;
        std::function<void()> coffee;
        std::function<void()> invite;
        std::function<void()> info;
        std::function<void()> poll;
        std::function<void()> history;
        std::function<void(int row, const QPoint& globalPos)> menu;
        std::function<void(const QString& link)> openLink;
    };

    CSessionDlg(const std::string& id, const std::string& name, const ui::Skin& skin,
                ui::Dialogs& dialogs, const net::Timings& timings, QWidget* parent = nullptr);

    const std::string& SessionId() const { return id_; }
    const std::string& SessionName() const { return name_; }
    bool Joined() const { return joined_; }
    void SetJoined(bool joined) { joined_ = joined; }
    void SetActions(Actions actions) { actions_ = std::move(actions); }
    // POLL and HISTORY are enabled only while they have somewhere to go.
    void EnableHookButtons(bool poll, bool history);

    std::vector<Participant>& Participants() { return participants_; }
    const std::vector<Participant>& Participants() const { return participants_; }
    void RedrawParticipants(const std::function<bool(const std::string&)>& muted);

    shell::CTranscript& Transcript() { return *transcript_; }
    // The transcript with everything written so far in it.
    QTextBrowser* TranscriptView() {
        transcript_->Flush();
        return view_;
    }
    CChatInputEdit* Input() const { return input_; }
    CListParticipants* List() const { return list_; }
    QPushButton* SendButton() const { return send_; }
    ui::CFixedButton* Button(const char* caption) const;

    // The window's Escape and close box: the room list closes the room.
    void reject() override;

  protected:
    void OnShownInFront() override;

  private:
    std::string id_;
    std::string name_;
    bool joined_ = true;
    std::vector<Participant> participants_;
    Actions actions_;
    QTextBrowser* view_ = nullptr;
    shell::CTranscript* transcript_ = nullptr;
    CChatInputEdit* input_ = nullptr;
    CListParticipants* list_ = nullptr;
    QPushButton* send_ = nullptr;
    std::vector<ui::CFixedButton*> buttons_;
};

// Only web links: http, https and "www." (opened as http).
std::vector<std::pair<int, int>> FindWebLinks(const QString& text);
std::optional<QString> WebLinkTarget(const QString& linkText);

}  // namespace sessions
