#pragma once

// The Mailbox Message window: one message with its From, To, Date,
// Attachment and Subject, the body, "Reply", "Reply All", "Forward" and
// "Close", and "Download..." to save the attachment. Opening a message is a
// chain: the attachment's name (when it has one), the recipient list, the
// body, then the window fills and comes up.
//
// Answers and completions that belong to a message opened earlier are told
// apart by a number carried as the transfer's purpose value; a request that
// found its slot still busy with such a transfer goes out when it ends.

#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

#include "mailbox/ComposeFormats.h"
#include "mailbox/MailboxFormats.h"
#include "ui/SkinnedDlg.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace net {
class Client;
}

namespace mailbox {

class CDownloadingAttachmentDlg;

class CMailboxMessageDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{600, 500};
    static constexpr int kTransferSlotRecipients = 22;
    static constexpr int kTransferSlotBody = 23;
    static constexpr int kTransferSlotAttachment = 24;

    CMailboxMessageDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                       net::Client& client, QWidget* parent = nullptr);
    ~CMailboxMessageDlg() override;

    // A double-click in the message list.
    void OpenMessage(const CMailboxMessage& message, int32_t rootType, const std::string& key);
    // Mailbox responses 9 and 10.
    void AttachmentNameArrived(const std::string& name);
    void MessageGone();
    // An answer whose name could not be read: the opening it answers stops.
    void AttachmentNameUnreadable();
    // The transfers of slots 22, 23 and 24.
    void RecipientsArrived(uint32_t purpose);
    void RecipientsRefused(uint32_t purpose);
    void BodyArrived(uint32_t purpose);
    void BodyRefused(uint32_t purpose);
    void AttachmentProgress(int percent);
    void AttachmentArrived();
    void AttachmentRefused();

    // Fills the window from the downloaded recipient list and body and
    // brings it up (the end of the chain).
    void Fill();

    // "Download...": the save dialog, then the download into a file beside
    // the chosen one, renamed to it once complete.
    void DownloadAttachment();
    bool Downloading() const { return downloading_; }
    const std::string& DownloadTempPath() const { return downloadTemp_; }

    // Reply, Reply All and Forward hand their texts to the composer.
    void SetCompose(std::function<void(const Prefill&)> compose) { compose_ = std::move(compose); }

    const std::string& AttachmentName() const { return attachmentName_; }
    QLineEdit* FromField() const { return from_; }
    QLineEdit* ToField() const { return to_; }
    QLineEdit* DateField() const { return date_; }
    QLineEdit* AttachmentField() const { return attachment_; }
    QLineEdit* SubjectField() const { return subject_; }
    QPlainTextEdit* BodyField() const { return body_; }
    QPushButton* DownloadButton() const { return download_; }
    QPushButton* ReplyButton() const { return reply_; }
    QPushButton* ReplyAllButton() const { return replyAll_; }
    QPushButton* ForwardButton() const { return forward_; }
    QPushButton* CloseButton() const { return close_; }
    CDownloadingAttachmentDlg& DownloadWindow() const { return *downloading_window_; }

  protected:
    void OnShownInFront() override;

  private:
    void BuildControls();
    void RequestRecipients();
    void RequestBody();
    void StopDownload(bool tellServer);
    std::string BodyUtf8() const;

    net::Client& client_;
    QLineEdit* from_ = nullptr;
    QLineEdit* to_ = nullptr;
    QLineEdit* date_ = nullptr;
    QLineEdit* attachment_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QPlainTextEdit* body_ = nullptr;
    QPushButton* download_ = nullptr;
    QPushButton* reply_ = nullptr;
    QPushButton* replyAll_ = nullptr;
    QPushButton* forward_ = nullptr;
    QPushButton* close_ = nullptr;
    CDownloadingAttachmentDlg* downloading_window_ = nullptr;
    std::function<void(const Prefill&)> compose_;
    bool placed_ = false;

    // The message being opened or shown.
    std::string sender_;
    std::string subject_text_;
    int32_t sentTime_ = 0;
    int32_t number_ = 0;
    int32_t attachmentNumber_ = kNoAttachment;
    int32_t rootType_ = 0;
    std::string key_;
    std::string attachmentName_;
    std::string toText_;
    // Which opening the transfers belong to; attachment-name requests not
    // yet answered (the server answers in order, so the last one is ours).
    uint32_t generation_ = 0;
    int namesOutstanding_ = 0;
    bool recipientsWaiting_ = false;
    bool bodyWaiting_ = false;

    // The attachment being saved.
    bool downloading_ = false;
    std::string downloadTarget_;
    std::string downloadTemp_;
};

}  // namespace mailbox
