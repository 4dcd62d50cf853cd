#pragma once

// The Server Response window: a server's answer and its details in a
// read-only text box with OK. Several may come in quick succession, so each
// showing lands at a random offset from the centre.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include "ui/SkinnedDlg.h"

class QPushButton;
class QTextEdit;

namespace ui {

// The text the window shows for a response and its details.
QString ServerResponseText(const QString& response, const QString& details);

// The window's top-left corner: the centre of `screen` moved by
// -40 + offsetX (and -40 + offsetY), offsets being 0..79.
QPoint ServerResponsePlacement(const QRect& screen, const QSize& window, int offsetX, int offsetY);

class CServerResponseDlg : public CSkinnedDlg {
    Q_OBJECT

  public:
    CServerResponseDlg(const Skin& skin, Dialogs& dialogs, const net::Timings& timings,
                       QWidget* parent = nullptr);

    // Fills the text, places the window and brings it to the front with the
    // caret at the start of the text.
    void ShowServerResponse(const QString& response, const QString& details);

    const QString& Text() const { return text_; }
    QTextEdit* TextBox() const { return box_; }
    QPushButton* OkButton() const { return ok_; }

  protected:
    void OnShownInFront() override;

  private:
    QTextEdit* box_ = nullptr;
    QPushButton* ok_ = nullptr;
    QString text_;
};

}  // namespace ui
