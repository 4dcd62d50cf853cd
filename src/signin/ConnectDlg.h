#pragma once

// The network selection window: the first window of the program. It asks for
// the zorvic number, checks it, hands it on for the lookup, remembers the
// numbers that were found in numbers.dat, and offers the home-page link. It
// lives, hidden, for the whole run; closing it ends the program.

#include <QAbstractButton>
#include <QComboBox>
#include <QRect>
#include <QTimer>
#include <string>
#include <vector>

#include "ui/SkinnedDlg.h"

namespace ui {
class CFixedButton;
}

namespace signin {

class CConnectDlg : public ui::CSkinnedDlg {
    Q_OBJECT

  public:
    // The home-page link, client pixels, bounds included.
    static constexpr QPoint kLinkPos{202, 127};
    static constexpr QRect kLinkRect{QPoint(202, 127), QPoint(320, 145)};

    CConnectDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                std::string numbersPath, QWidget* parent = nullptr);

    // Fills the list and the field from numbers.dat (a missing file leaves
    // both empty).
    void LoadNumbers();
    // A lookup succeeded: store the number as the current one, keep the
    // other listed numbers, and add it to the list for later writes.
    void RecordNumber(const std::string& number);

    // Checks the typed number; a valid one is announced by lookupRequested.
    // Does nothing while a lookup is running.
    void Next();

    // While a lookup runs NEXT is disabled and the pointer shows that the
    // program is busy.
    void SetLookupRunning(bool running);
    bool LookupRunning() const { return lookupRunning_; }
    // How long a lookup may go unanswered before NEXT comes back.
    static constexpr int kLookupPatienceMs = 20000;
    QTimer& LookupPatience() { return lookupPatience_; }
    QWidget* LinkFocus() const { return linkFocus_; }

    // The title, then show in front (centred).
    void ShowConnect();

    QComboBox* NumberField() const { return number_; }
    ui::CFixedButton* NextButton() const { return next_; }
    std::vector<std::string> ListEntries() const;

    bool LinkHovered() const { return linkHover_; }
    int LinkRepaints() const { return linkRepaints_; }

  signals:
    void lookupRequested(const std::string& digits);
    // Closing or cancelling this window ends the program.
    void quitRequested();

  public slots:
    void accept() override;  // Enter
    void reject() override;  // Escape or the close box

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void OnShownInFront() override;

  private:
    void AddSorted(const QString& number);
    void SetLinkHover(bool inside);
    void OpenHomePage();

    std::string numbersPath_;
    QComboBox* number_ = nullptr;
    ui::CFixedButton* next_ = nullptr;
    QAbstractButton* linkFocus_ = nullptr;
    bool lookupRunning_ = false;
    QTimer lookupPatience_;
    QPixmap link_;
    QPixmap linkHoverPicture_;
    bool linkHover_ = false;
    int linkRepaints_ = 0;
};

}  // namespace signin
