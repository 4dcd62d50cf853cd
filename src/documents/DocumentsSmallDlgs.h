#pragma once

// The small windows of the document browsers: one box with OK and Cancel
// (Lock Folder, View Locked Directory, New Folder, Rename Folder, Rename
// File and the username prompt), Move File with its list of destinations,
// and Upload a File. Each is made once, hidden, and shown when needed.

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ui/SkinnedDlg.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace documents {

// One line of text to type. OK hands the text to the check; an error text
// is shown in a box titled "Error" and the window stays, an empty one lets
// the window act and close.
class CDocumentsTextDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{340, 150};

    struct Spec {
        QString title;       // the window's title and heading
        QString background;  // the picture's name
        QString prompt;      // the words above the box
        bool password = false;
        int maxLength = 255;  // characters the box takes
    };

    CDocumentsTextDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                      const Spec& spec, QWidget* parent = nullptr);

    // `confirm` gets the typed text and returns the error text (empty: done).
    void SetConfirm(std::function<std::string(const QString& text)> confirm) {
        confirm_ = std::move(confirm);
    }
    // Clears the box and brings the window up (centred the first time).
    void Open();

    QLineEdit* Field() const { return field_; }
    QLabel* Prompt() const { return prompt_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  protected:
    void OnShownInFront() override;

  private:
    void Confirm();

    QLabel* prompt_ = nullptr;
    QLineEdit* field_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::function<std::string(const QString&)> confirm_;
    bool placed_ = false;
};

// Move File: where the file goes.
class CMoveFileDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{300, 150};

    CMoveFileDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                 QWidget* parent = nullptr);

    void SetMove(std::function<void(const std::string& destination)> move) {
        move_ = std::move(move);
    }
    // Fills the list without a choice and brings the window up centred.
    void Open(const QString& file, const std::vector<std::string>& destinations);

    QComboBox* Destinations() const { return list_; }
    QLabel* FileLabel() const { return file_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    void Confirm();

    QLabel* file_ = nullptr;
    QComboBox* list_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::function<void(const std::string&)> move_;
};

// Upload a File: the local file and the name it gets on the server.
class CUploadFileDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    static constexpr QSize kClientSize{420, 180};

    CUploadFileDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                   QWidget* parent = nullptr);

    // Called once the checks pass, with the local path and the remote name
    // (UTF-8); the window hides when it returns true.
    void SetUpload(std::function<bool(const QString& local, const std::string& remote)> upload) {
        upload_ = std::move(upload);
    }
    void Open();
    // "Browse...": the file chooser, then the proposed remote name.
    void Browse();

    QLineEdit* LocalField() const { return local_; }
    QLineEdit* RemoteField() const { return remote_; }
    QPushButton* BrowseButton() const { return browse_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

  private:
    void Confirm();

    QLineEdit* local_ = nullptr;
    QLineEdit* remote_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::function<bool(const QString&, const std::string&)> upload_;
    bool placed_ = false;
};

}  // namespace documents
