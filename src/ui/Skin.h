#pragma once

// The program's pictures, all painted in code: window backgrounds and frame
// pieces, image buttons (caption + U/D/F/X), toggles and check boxes,
// presence and status pictures, small list icons, the sign-in result
// pictures and animations. Every picture is requested by its resource name
// and comes at a fixed logical size, rendered for the skin's device pixel
// ratio so that it stays crisp on dense screens.

#include <QColor>
#include <QFont>
#include <QHash>
#include <QPixmap>
#include <QPoint>
#include <QSet>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

namespace ui {

// Where one piece of a window frame goes, in client pixels.
struct SkinFramePiece {
    QString name;
    QPoint pos;
};

// How one picture is painted. The toolkit registers its own pictures; each
// part of the program registers the pictures its windows ask for.
struct SkinEntry {
    enum class Kind {
        Background,
        FramePiece,
        Button,
        CheckBox,
        Toggle,
        Presence,
        Status,
        TrayIcon,
        SmallIcon,
        Result,
        Banner,
        Link,
        Label,
        Bar
    };
    Kind kind = Kind::Background;
    QSize size;
    QString text;    // heading, caption, glyph or words
    QString label;   // buttons: words beside the arrow of a text pill
    int arg = 0;     // variant: U/D/F/X, state, tone (SkinTone), index...
    QRect piece;     // frame pieces: the piece within the framed client area
    QSize whole;     // frame pieces: the framed client size
    int header = 0;  // heading band height
    int footer = 0;  // frame pieces: footer band height
    QRect middle;    // frame pieces: the divider, if any
};

// The signal colour of a result picture (SkinEntry::arg of Kind::Result).
enum SkinTone { kToneProgress = 0, kToneSuccess = 1, kToneError = 2, kToneWarning = 3 };

// One frame of an animation and how long it stays.
struct AnimationFrame {
    QPixmap picture;
    int delayMs = 100;
};

class Skin {
  public:
    // 0 takes the application's device pixel ratio. Pictures are rendered at
    // the next whole ratio (1.5 renders at 2).
    explicit Skin(qreal devicePixelRatio = 0);

    qreal DevicePixelRatio() const { return dpr_; }

    // Adds (or replaces) a picture; called while the program is put together,
    // before the windows that use it are created.
    void Register(const QString& name, SkinEntry entry);
    // A window background with its heading band.
    void RegisterBackground(const QString& name, const QSize& size, const QString& heading);
    // An image button: the caption with U, D, F and X (up, down, focus,
    // disabled); `label` puts words beside the arrow of a wide text pill.
    void RegisterButton(const QString& caption, const QSize& size, const QString& label = {});

    // Every name asked for through Has, SizeOf, Bitmap or HeaderHeight, known
    // or not: lets a test check that each picture a window asks for exists.
    QStringList AskedFor() const;

    bool Has(const QString& name) const;
    // The logical size; an invalid size for an unknown name.
    QSize SizeOf(const QString& name) const;
    // The picture at SizeOf(name) logical pixels; null for an unknown name.
    QPixmap Bitmap(const QString& name) const;
    // Every picture name, sorted.
    QStringList Names() const;

    // The pieces of a frame such as "IDB_MAILBOX" (…TOP, …LEFT, …RIGHT,
    // …BOTTOM, the session window's …MIDDLE; the text viewer's …TOP, …SIDE
    // twice, …BOTTOM) with their places, and the client size they frame.
    QVector<SkinFramePiece> FramePieces(const QString& prefix) const;
    QSize FrameClientSize(const QString& prefix) const;

    // Animations by resource name ("GIF_AUTHENTICATING", "GIF_CREATINGACCOUNT").
    bool HasAnimation(const QString& name) const;
    QVector<AnimationFrame> Animation(const QString& name) const;
    QStringList AnimationNames() const;

    // The height of the heading band at the top of a background; windows
    // place their controls below it. 0 for names without a band.
    int HeaderHeight(const QString& name) const;

    // The background look at any size, for windows without a named picture
    // and for windows whose heading changes; `detail` is set at the band's
    // right end (the network a login window signs in to).
    QPixmap PaintBackground(const QSize& size, const QString& heading,
                            const QString& detail = {}) const;

    // The palette and type scale, for windows that draw their own text.
    static QColor Navy();
    static QColor Accent();
    static QColor Body();
    static QColor Ink();
    static QColor Muted();
    // Link words, at rest and under the pointer.
    static QColor Link();
    static QColor LinkHover();
    // Every pairing of words and the ground they are painted on.
    struct TextOnGround {
        const char* what;
        QColor text;
        QColor ground;
    };
    static QVector<TextOnGround> ReadableText();
    // The WCAG contrast ratio of two opaque colours (1 to 21).
    static double ContrastRatio(const QColor& a, const QColor& b);
    static QColor Success();
    static QColor Danger();
    static QColor Warning();
    // A pixel-sized font of the skin's face (11 body, 12 emphasis, 13 heading).
    static QFont Font(int pixelSize, int weight = 400);

  private:
    QPixmap Render(const SkinEntry& entry) const;
    QPixmap Canvas(const QSize& size) const;
    QVector<AnimationFrame> RenderAnimation(const QString& name) const;

    qreal dpr_ = 1.0;
    QHash<QString, SkinEntry> entries_;
    QHash<QString, QVector<SkinFramePiece>> frames_;
    QHash<QString, QSize> frameSizes_;
    mutable QHash<QString, QPixmap> cache_;
    mutable QSet<QString> asked_;
};

}  // namespace ui
