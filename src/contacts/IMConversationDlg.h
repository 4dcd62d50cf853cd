#pragma once

// One conversation with another user: the conversation text (read only, with
// links that open in the browser), an input field of at most 600 characters,
// and "Send". The window is made once per username and kept for the run;
// closing it hides it and keeps its text.

#include <QTextBrowser>
#include <QTextEdit>
#include <functional>
#include <string>
#include <vector>

#include "contacts/InstantMessage.h"
#include "shell/Transcript.h"
#include "ui/MessageInputEdit.h"
#include "ui/SkinnedDlg.h"

class QMenu;
class QPushButton;

namespace contacts {

// The input field: rich text, at most 600 characters however they come in;
// pasted text comes in plain. Enter sends, Shift+Enter breaks the line.
class CIMInputEdit : public ui::CMessageInputEdit {
    Q_OBJECT
  public:
    explicit CIMInputEdit(QWidget* parent = nullptr);

  private:
    void Limit(int position, int added);
    bool limiting_ = false;
};

class CIMConversationDlg : public ui::CSkinnedDlg {
    Q_OBJECT
  public:
    // How a message is shown: the stamp (when on) from the given local time,
    // every part at `size` pixels.
    struct Display {
        bool timestamp = true;
        int hour = 0;
        int minute = 0;
        int32_t size = 12;
    };

    CIMConversationDlg(const std::string& username, const ui::Skin& skin, ui::Dialogs& dialogs,
                       const net::Timings& timings, QWidget* parent = nullptr);

    const std::string& Username() const { return username_; }

    // Appends a message: stamp, "N: " and the text in its format, then a
    // line break. The text is never read as markup.
    void AppendMessage(const QString& sender, const QString& text, const MessageFormat& format,
                       const Display& display);
    // Appends a plain line in a given format (the offline notice).
    void AppendLine(const QString& text, const QTextCharFormat& format);
    // Empties the conversation and the input (another account logged in).
    void Clear();

    // Called with the input's text when "Send" or Enter is pressed.
    void SetSend(std::function<void(const QString& text)> send) { send_ = std::move(send); }
    // Opens a link's text; only the program's schemes get through.
    void OpenLink(const QString& linkText);

    // The conversation, with every message appended so far in it.
    QTextBrowser* Conversation() {
        transcript_->Flush();
        return conversation_;
    }
    CIMInputEdit* Input() const { return input_; }

    // The conversation as shown, one line per line of the window (a message
    // is "[time] name: text" with the stamps on), in UTF-8 with "\n" ends.
    QByteArray ConversationText();
    // The conversation's context menu with "Save Conversation as Text..."
    // (the caller owns it).
    QMenu* ConversationMenu(const QPoint& at);
    // Asks for a file and saves ConversationText() there; false when
    // cancelled or failed (the failure is told to the user).
    bool SaveConversation();
    QPushButton* SendButton() const { return sendButton_; }

  protected:
    void OnShownInFront() override;
    void reject() override;

  private:
    std::string username_;
    QTextBrowser* conversation_ = nullptr;
    CIMInputEdit* input_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    std::function<void(const QString&)> send_;
    // Batches what arrives within a frame into one edit.
    shell::CTranscript* transcript_ = nullptr;
};

// The link texts in `text`: [start, length) ranges of the schemes the
// program detects.
std::vector<std::pair<int, int>> FindLinks(const QString& text);

}  // namespace contacts
