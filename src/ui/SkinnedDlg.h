#pragma once

// The base of every window: a fixed-size dialog painted with a background
// picture or a frame of pieces from the skin, laid out at a fixed density,
// created hidden once and then shown and hidden. OK and Cancel hide it.

#include <QDialog>
#include <QPixmap>
#include <QPoint>
#include <QTimer>
#include <QVector>

#include "net/Timings.h"
#include "ui/DialogLayout.h"
#include "ui/Skin.h"

namespace ui {

class Dialogs;

// Where "show a window in front" puts the window.
struct ShowPlacement {
    enum class Kind { Centre, At, Keep };
    Kind kind = Kind::Centre;
    QPoint topLeft;

    static ShowPlacement Centred() { return {}; }
    static ShowPlacement At(const QPoint& p) { return {Kind::At, p}; }
    // Leaves the window where it is (windows that remember their place).
    static ShowPlacement Keep() { return {Kind::Keep, {}}; }
};

class CSkinnedDlg : public QDialog {
    Q_OBJECT

  public:
    CSkinnedDlg(const Skin& skin, Dialogs& dialogs, const net::Timings& timings,
                QWidget* parent = nullptr);

    // Fixes the client area at `size` logical pixels.
    void SetClientSize(const QSize& size);

    // Loads the background picture and sizes the window to it. An unknown
    // name shows "Failed to load bitmap resource, NAME" and leaves the window
    // without a background; it still opens. Returns whether it loaded.
    bool SetBackground(const QString& name);
    // The same for a frame of pieces: a skin frame prefix ("IDB_MAILBOX"),
    // or pieces placed by the caller.
    bool SetFrame(const QString& prefix);
    bool SetFramePieces(const QVector<SkinFramePiece>& pieces);
    bool HasBackground() const { return !background_.isNull() || !pieces_.isEmpty(); }
    // Repaints the heading band of a one-picture background with other
    // words (and `detail` at its right end); nothing without a background.
    void SetHeading(const QString& heading, const QString& detail = {});
    const QString& Heading() const { return heading_; }
    const QString& HeadingDetail() const { return headingDetail_; }
    // What the window paints under its controls (tests read colours from it).
    const QPixmap& BackgroundPicture() const { return background_; }

    // The fixed-density layout: gives the window its pixel-sized font and
    // measures the dialog units from it. The constructor applies the default
    // ("Tahoma", 8 points). RestoreDialogFont gives back the earlier font.
    void ApplyDialogFont(const DialogFontSpec& spec = {});
    void RestoreDialogFont();
    const DialogUnits& Units() const { return units_; }
    QRect Dlu(const QRect& dlu) const { return DluToPixels(dlu, units_); }

    // Show a window in front: place it, wait the show delay (without
    // blocking), show it, raise it, activate it and give it the focus.
    // Calling it again before the delay passes restarts the wait; hiding the
    // window cancels a pending show.
    void ShowInFront(const ShowPlacement& placement = ShowPlacement::Centred());
    // The same without the delay, for callers that need the window up at once.
    void ShowInFrontNow(const ShowPlacement& placement = ShowPlacement::Centred());
    bool ShowPending() const { return showTimer_.isActive(); }

    // The top-left corner that centres a window of `window` size (frame
    // included) on `screen`.
    static QPoint CentredTopLeft(const QRect& screen, const QSize& window);
    // The geometry of the screen the window is on (the primary one before).
    QRect ScreenRect() const;
    // The window's outer size: the frame is included once it is known.
    QSize OuterSize() const;

    void setVisible(bool visible) override;

    const Skin& SkinRef() const { return skin_; }
    Dialogs& DialogsRef() const { return dialogs_; }
    const net::Timings& TimingsRef() const { return timings_; }

  signals:
    void shownInFront();

  protected:
    void paintEvent(QPaintEvent* event) override;
    // Called after the window came to the front; the default gives the focus
    // to the window's first focusable control if none has it.
    virtual void OnShownInFront();

    const Skin& skin_;
    Dialogs& dialogs_;
    net::Timings timings_;

  private:
    void Place(const ShowPlacement& placement);
    void BringToFront();
    void ReportMissing(const QString& name);

    QPixmap background_;
    QString heading_;
    QString headingDetail_;
    struct Piece {
        QPixmap picture;
        QPoint pos;
    };
    QVector<Piece> pieces_;
    QTimer showTimer_;
    ShowPlacement pending_;
    QFont previousFont_;
    bool fontApplied_ = false;
    DialogUnits units_;
};

}  // namespace ui
