#pragma once

// The New Message window and its Select Recipient Type companion. A send
// goes: the checks, the window locked for a moment (so that a double click
// cannot send twice), the recipient list uploaded; the network server's
// go-ahead starts the attachment (with its progress window) or at once the
// body with the subject; the file server's go-ahead asks the network server
// to deliver; its answer closes the window or shows the report.

#include <QPointer>
#include <QTimer>
#include <functional>
#include <string>

#include "mailbox/ComposeFormats.h"
#include "ui/SkinnedDlg.h"
#include "ui/TextViewerDlg.h"

class QLineEdit;
class QMimeData;
class QPlainTextEdit;
class QPushButton;

namespace net {
class Client;
}

namespace mailbox {

class CProgressAttachmentDlg;

// Select Recipient Type: "Individual..." or "Session...".
class CMailboxSelectRecipientDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{300, 150};

    CMailboxSelectRecipientDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                               const net::Timings& timings, QWidget* parent = nullptr);

    // What each choice runs after the window hid itself.
    void SetChoices(std::function<void()> individual, std::function<void()> session);

    QPushButton* IndividualButton() const { return individual_; }
    QPushButton* SessionButton() const { return session_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    QPushButton* individual_ = nullptr;
    QPushButton* session_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::function<void()> onIndividual_;
    std::function<void()> onSession_;
};

class CMailboxWriteMsgDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{600, 500};
    static constexpr int kTransferSlotRecipients = 17;
    static constexpr int kTransferSlotAttachment = 18;
    static constexpr int kTransferSlotBody = 19;
    static constexpr int kTransferSlotReport = 20;

    // Where a send stands.
    enum class Stage {
        Idle,        // editable, nothing under way
        Locked,      // checks passed, waiting out the lock
        Recipients,  // list uploaded, waiting for the network server's go-ahead
        Attachment,  // attachment uploading
        Body,        // body uploaded, waiting for the file server's go-ahead
        Delivering,  // deliver sent, waiting for the answer
    };

    CMailboxWriteMsgDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                        net::Client& client, QWidget* parent = nullptr);
    ~CMailboxWriteMsgDlg() override;

    // The texts the next opening starts with.
    void SetPrefill(const Prefill& prefill);
    // New message, Reply, Reply All and Forward: after the cancel question
    // (false when the user kept the message being written) the fields are
    // cleared, prefilled when asked for, and the window comes up.
    bool Open();
    // A recipient chosen in a picker: "name" or "(name)", after ", " when
    // the field holds something.
    void AppendRecipient(const std::string& name, bool session);
    // "Cancel" and the close box: false when the user kept the message.
    bool CancelMessage();
    // "Send Message".
    void Send();
    // A file dropped anywhere on the window becomes the attachment, as one
    // chosen with "Browse..." does; replacing another one is asked first.
    // One local file only: folders, other addresses and drops of several
    // are refused with a message. Returns whether the attachment changed.
    bool DropAttachment(const QMimeData* data);
    // Whether a drag may end here: the attachment can be chosen now.
    bool TakesDrops() const;

    // The exchange, as the module hands it over.
    void GoAhead(bool onFileServer);
    void AttachmentUploadStarted();
    void AttachmentUploadProgress(int percent);
    void AttachmentUploaded();
    void AttachmentRefused();
    void BodyRefused();
    void RecipientsRefused();
    void Sent(bool withReport, int32_t value);
    void ReportArrived();

    // What the module supplies: the pickers, and the quiet refresh of the
    // mailbox when it is showing.
    void SetPickers(std::function<void()> individual, std::function<void()> session);
    void SetRefreshMailbox(std::function<void()> refresh) { refreshMailbox_ = std::move(refresh); }

    Stage CurrentStage() const { return stage_; }
    bool Locked() const { return lock_.isActive(); }
    QLineEdit* RecipientsField() const { return recipients_; }
    QLineEdit* AttachmentField() const { return attachment_; }
    QLineEdit* SubjectField() const { return subject_; }
    QPlainTextEdit* BodyField() const { return body_; }
    QPushButton* SendButton() const { return send_; }
    QPushButton* CancelButton() const { return cancel_; }
    QPushButton* AddRecipientButton() const { return addRecipient_; }
    QPushButton* BrowseButton() const { return browse_; }
    CMailboxSelectRecipientDlg& SelectRecipientWindow() const { return *selectRecipient_; }
    CProgressAttachmentDlg& ProgressWindow() const { return *progress_; }
    ui::CTextViewerDlg* ReportViewer() const { return viewer_; }
    // This window's companions, to hide when the connection drops.
    std::vector<QWidget*> Companions() const;

  protected:
    void OnShownInFront() override;
    void reject() override;
    void hideEvent(QHideEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // The text fields would take a dropped file as its path typed in.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void SetControlsEnabled(bool enabled);
    void LockElapsed();
    void UploadBody();
    // Ends whatever send is under way: the lock, a running attachment upload.
    void StopSending();
    bool AnyFieldFilled() const;
    // A drag event for this window, wherever it arrived; true when handled.
    // Over a text field only local files are ours: a web link dragged there
    // stays the field's text.
    bool HandleDrag(QEvent* event, bool overField);
    // The body as sent: the window's lines ended by "\r\n".
    std::u16string BodyText() const;

    net::Client& client_;
    QLineEdit* recipients_ = nullptr;
    QLineEdit* attachment_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QPlainTextEdit* body_ = nullptr;
    QPushButton* addRecipient_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* cancel_ = nullptr;
    CMailboxSelectRecipientDlg* selectRecipient_ = nullptr;
    CProgressAttachmentDlg* progress_ = nullptr;
    QPointer<ui::CTextViewerDlg> viewer_;
    QTimer lock_;
    Stage stage_ = Stage::Idle;
    Prefill prefill_;
    bool prefillSet_ = false;
    bool focusBody_ = false;
    bool placed_ = false;
    // What the current send carries, fixed when the lock ends.
    std::string sendingAttachment_;
    std::string sendingSubject_;
    std::u16string sendingBody_;
    std::function<void()> refreshMailbox_;
};

}  // namespace mailbox
