#pragma once

// The text viewer: shows one local text file, read-only. Unlike the other
// windows, each use makes a new viewer, owned by the caller's window; it is
// destroyed when it is closed.

#include <QByteArray>
#include <QPlainTextEdit>
#include <QString>
#include <string>
#include <vector>

#include "ui/SkinnedDlg.h"

namespace ui {

// Lines are read in pieces of at most this many bytes.
inline constexpr int kTextViewerPiece = 2046;

// Reads `path` in pieces as the viewer does: each piece ends after a line
// end or after kTextViewerPiece bytes. Returns false when the file cannot be
// opened.
bool ReadTextPieces(const QString& path, std::vector<std::string>& pieces);

// Joins the pieces into the viewer's text. A multi-byte UTF-8 character cut
// by a piece boundary is carried into the next piece instead of being
// garbled; line ends become '\n'.
QString TextFromPieces(const std::vector<std::string>& pieces);

// The viewer's text with its lines grouped into paragraphs of `perGroup`
// lines (line separators inside a group, one paragraph break after it). A
// long file (a connection history, a log) then makes a few hundred
// paragraphs instead of one per line, which the box builds and scrolls
// through many times faster; the text it gives back is the same.
QString GroupLines(QString text, int perGroup);

class CTextViewerDlg : public CSkinnedDlg {
    Q_OBJECT

  public:
    // Opens a viewer for `path` and shows it in front. When the file cannot
    // be opened, "Unable to open '%s' for reading" is shown first and the
    // viewer opens empty.
    static CTextViewerDlg* Open(const Skin& skin, Dialogs& dialogs, const net::Timings& timings,
                                QWidget* owner, const QString& path);

    QString Text() const;
    QPlainTextEdit* TextBox() const { return text_; }
    const QString& Path() const { return path_; }
    // The file's bytes as they were read, whatever the box could show.
    const QByteArray& Bytes() const { return bytes_; }

    // Gives the text's context menu "Save as Text...", which saves the file
    // as it was read (under `suggestedName`, offered in the file chooser).
    void EnableSaveAs(const QString& suggestedName);
    // The text's context menu (the caller owns it).
    QMenu* ContextMenu(const QPoint& at);
    // Asks for a file and saves the bytes there; false when cancelled or
    // failed (the failure is told to the user).
    bool SaveAs();

  protected:
    void done(int result) override;

  private:
    CTextViewerDlg(const Skin& skin, Dialogs& dialogs, const net::Timings& timings, QWidget* owner);
    void Load(const QString& path);

    QPlainTextEdit* text_ = nullptr;
    QString path_;
    QByteArray bytes_;
    QString saveName_;
};

}  // namespace ui
