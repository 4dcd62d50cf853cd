#pragma once

// The two progress windows of a mail attachment: Uploading Attachment while
// the composer sends one, Downloading Attachment while the reader saves one.
// Each shows "Progress: %i%%" above a bar; the download's has a Cancel.

#include <functional>

#include "ui/SkinnedDlg.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace mailbox {

class CAttachmentProgressBase : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{340, 140};

    // Back to "Progress: 0%" with an empty bar.
    void Reset();
    void SetPercent(int percent);
    int Percent() const { return percent_; }
    QString ProgressText() const;
    QProgressBar* Bar() const { return bar_; }
    // Called whenever the window hides, however that came about.
    void SetOnHidden(std::function<void()> hidden) { hidden_ = std::move(hidden); }

  protected:
    void hideEvent(QHideEvent* event) override;
    CAttachmentProgressBase(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                            const QString& title, const QString& background, QWidget* parent);
    int ControlsTop() const { return top_; }

  private:
    QLabel* text_ = nullptr;
    QProgressBar* bar_ = nullptr;
    int percent_ = 0;
    int top_ = 0;
    std::function<void()> hidden_;
};

// Uploading Attachment: shown by the upload's go-ahead, hidden on completion.
class CProgressAttachmentDlg : public CAttachmentProgressBase {
    Q_OBJECT

  public:
    CProgressAttachmentDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                           QWidget* parent = nullptr);
};

// Downloading Attachment: its Cancel (and the close box) hides it, which
// stops the download.
class CDownloadingAttachmentDlg : public CAttachmentProgressBase {
    Q_OBJECT

  public:
    CDownloadingAttachmentDlg(const ui::Skin& skin, ui::Dialogs& dialogs,
                              const net::Timings& timings, QWidget* parent = nullptr);

    QPushButton* CancelButton() const { return cancelButton_; }

  private:
    QPushButton* cancelButton_ = nullptr;
};

}  // namespace mailbox
