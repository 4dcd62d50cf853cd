#pragma once

// Retrieve Documents: another user's store, read-only. Folders open with a
// double click (a locked one asks for its password first, which is kept for
// downloads and refreshes); Download File saves the selected file; while the
// window is visible and the user leaves the list alone, timer 4 reads the
// folder again without bringing the window forward.

#include <QString>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "documents/DocumentsBrowserDlg.h"

class QPushButton;

namespace documents {

class CDocumentsTextDlg;

class CRetrieveDocumentsDlg : public CDocumentsBrowserDlg {
    Q_OBJECT

  public:
    static constexpr int kDownloadSlot = 1;
    // How long the list must be left alone before timer 4 reads it again.
    static constexpr std::chrono::milliseconds kQuietTime{10000};

    CRetrieveDocumentsDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                          net::Client& client, QWidget* parent = nullptr);
    ~CRetrieveDocumentsDlg() override;

    // The root of `owner`'s store (the entry points).
    bool Retrieve(const std::string& owner);
    // A listing for this window.
    void ShowListing(const CDirectoryView& view);
    // A refusal of the family. True when the window took it (a refusal of
    // a silent refresh: shown once, and the window goes back to "/"); the
    // caller shows every other one.
    bool TakeRefusal(int32_t code, const std::string& reason);
    // Timer 4.
    void Tick();

    // The download of slot 1.
    void StartDownload();
    void DownloadProgress(int percent);
    void DownloadCompleted();
    void DownloadEnded();
    bool Downloading() const { return downloading_; }

    void Reset() override;

    void SetQuietTime(std::chrono::milliseconds quiet) { quiet_ = quiet; }
    bool SilentMark() const { return silent_; }
    const std::optional<std::string>& StoredPassword() const { return password_; }

    QPushButton* DownloadButton() const { return download_; }
    CDocumentsTextDlg& LockedWindow() const { return *locked_; }
    // This window and its companion (hidden on a drop).
    std::vector<QWidget*> Windows();

  protected:
    void RowActivated(int row) override;
    void BackClicked() override;
    void hideEvent(QHideEvent* event) override;

  private:
    void Touched();
    void UpdateButtons();

    QPushButton* download_ = nullptr;
    CDocumentsTextDlg* locked_ = nullptr;
    // The locked folder the password window asks for.
    std::string lockedFolder_;
    std::optional<std::string> password_;
    std::chrono::steady_clock::time_point lastAction_ = std::chrono::steady_clock::now();
    std::chrono::milliseconds quiet_ = kQuietTime;
    bool silent_ = false;
    bool downloading_ = false;
};

}  // namespace documents
