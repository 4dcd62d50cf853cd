#pragma once

// The one way windows talk to the user outside their own controls: message
// boxes, file and colour choosers, and opening links or files with the
// desktop's default program. Windows receive a Dialogs reference from the
// application state; tests substitute a scripted one that records every call.

#include <QColor>
#include <QString>
#include <QUrl>
#include <optional>

class QWidget;

namespace ui {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, OkCancel, YesNo };
enum class MsgAnswer { Ok, Cancel, Yes, No };

class Dialogs {
  public:
    virtual ~Dialogs() = default;

    // A modal message box; returns the button the user chose. Closing the box
    // without a choice answers Cancel (OK/Cancel), No (Yes/No) or Ok (OK).
    virtual MsgAnswer Message(QWidget* parent, const QString& title, const QString& text,
                              MsgIcon icon = MsgIcon::None,
                              MsgButtons buttons = MsgButtons::Ok) = 0;

    // File choosers; an empty result means the user cancelled. `filter` uses
    // the "Text files (*.txt);;All files (*)" form.
    virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                 const QString& filter) = 0;
    virtual QString SaveFileName(QWidget* parent, const QString& caption,
                                 const QString& suggestedPath, const QString& filter) = 0;

    // The colour chooser preset to `initial`; nullopt when cancelled.
    virtual std::optional<QColor> PickColor(QWidget* parent, const QColor& initial,
                                            const QString& title) = 0;

    // Opens a web address or a local file (file:// URL) with the desktop's
    // default program; false when nothing could open it.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

// The production service: Qt's standard boxes and the desktop services.
class QtDialogs final : public Dialogs {
  public:
    MsgAnswer Message(QWidget* parent, const QString& title, const QString& text, MsgIcon icon,
                      MsgButtons buttons) override;
    QString OpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                         const QString& filter) override;
    QString SaveFileName(QWidget* parent, const QString& caption, const QString& suggestedPath,
                         const QString& filter) override;
    std::optional<QColor> PickColor(QWidget* parent, const QColor& initial,
                                    const QString& title) override;
    bool OpenUrl(const QUrl& url) override;
};

}  // namespace ui
