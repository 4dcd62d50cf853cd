#include "ui/TextViewerDlg.h"

#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QPlainTextEdit>

#include "ui/Dialogs.h"
#include "ui/ExportText.h"
#include "ui/TextConvert.h"

namespace ui {

bool ReadTextPieces(const QString& path, std::vector<std::string>& pieces) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    char buffer[kTextViewerPiece + 1];
    for (;;) {
        const qint64 n = file.readLine(buffer, sizeof buffer);
        if (n <= 0) break;
        pieces.emplace_back(buffer, static_cast<size_t>(n));
    }
    return true;
}

namespace {

// The number of bytes at the end of `bytes` that begin a UTF-8 character
// whose remaining bytes are missing.
size_t IncompleteTail(const std::string& bytes) {
    const size_t n = bytes.size();
    for (size_t back = 1; back <= 3 && back <= n; ++back) {
        const auto c = static_cast<unsigned char>(bytes[n - back]);
        if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
        size_t need = 0;
        if ((c & 0xE0) == 0xC0) {
            need = 2;
        } else if ((c & 0xF0) == 0xE0) {
            need = 3;
        } else if ((c & 0xF8) == 0xF0) {
            need = 4;
        }
        return need > back ? back : 0;
    }
    return 0;
}

// Lines per paragraph of the text box: few enough that laying out the
// paragraphs on screen stays cheap, many enough to keep the count low.
constexpr int kLinesPerParagraph = 32;

}  // namespace

QString TextFromPieces(const std::vector<std::string>& pieces) {
    QString text;
    std::string carry;
    for (const std::string& piece : pieces) {
        std::string bytes = carry + piece;
        carry.clear();
        const bool lineEnded = !bytes.empty() && bytes.back() == '\n';
        if (!lineEnded) {
            const size_t tail = IncompleteTail(bytes);
            carry.assign(bytes.end() - static_cast<std::ptrdiff_t>(tail), bytes.end());
            bytes.resize(bytes.size() - tail);
        } else {
            bytes.pop_back();
            if (!bytes.empty() && bytes.back() == '\r') bytes.pop_back();
            bytes.push_back('\n');
        }
        QString converted;
        if (Utf8ToText(bytes, converted)) text += converted;
    }
    if (!carry.empty()) {
        QString converted;
        if (Utf8ToText(carry, converted)) text += converted;
    }
    return text;
}

QString GroupLines(QString text, int perGroup) {
    if (perGroup <= 1) return text;
    int inGroup = 0;
    for (QChar& c : text) {
        if (c != QLatin1Char('\n')) continue;
        if (++inGroup < perGroup) {
            c = QChar::LineSeparator;
        } else {
            inGroup = 0;
        }
    }
    return text;
}

CTextViewerDlg::CTextViewerDlg(const Skin& skin, Dialogs& dialogs, const net::Timings& timings,
                               QWidget* owner)
    : CSkinnedDlg(skin, dialogs, timings, owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Text Viewer"));
    SetClientSize(skin_.FrameClientSize(QStringLiteral("IDB_BKGNDTEXTVIEWER")).isValid()
                      ? skin_.FrameClientSize(QStringLiteral("IDB_BKGNDTEXTVIEWER"))
                      : QSize(520, 380));
    SetFramePieces({{QStringLiteral("IDB_BKGNDTEXTVIEWERTOP"), QPoint(0, 0)},
                    {QStringLiteral("IDB_BKGNDTEXTVIEWERSIDE"), QPoint(0, 20)},
                    {QStringLiteral("IDB_BKGNDTEXTVIEWERSIDE"), QPoint(width() - 20, 20)},
                    {QStringLiteral("IDB_BKGNDTEXTVIEWERBOTTOM"), QPoint(20, height() - 20)}});
    // A plain-text box lays out only what it shows, so a file of tens of
    // thousands of lines opens at once with the caret at its end.
    text_ = new QPlainTextEdit(this);
    text_->setReadOnly(true);
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    text_->setGeometry(20, 20, width() - 40, height() - 40);
    text_->setFrameShape(QFrame::NoFrame);
    text_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

CTextViewerDlg* CTextViewerDlg::Open(const Skin& skin, Dialogs& dialogs,
                                     const net::Timings& timings, QWidget* owner,
                                     const QString& path) {
    auto* viewer = new CTextViewerDlg(skin, dialogs, timings, owner);
    viewer->Load(path);
    viewer->ShowInFront();
    return viewer;
}

void CTextViewerDlg::Load(const QString& path) {
    path_ = path;
    std::vector<std::string> pieces;
    if (!ReadTextPieces(path, pieces)) {
        dialogs_.Message(
            parentWidget(), QStringLiteral("Error"),
            QString::asprintf("Unable to open '%s' for reading", path.toUtf8().constData()),
            MsgIcon::Error, MsgButtons::Ok);
        return;
    }
    // Kept as read: a later download to the same path does not change what
    // this viewer saves.
    bytes_.clear();
    for (const std::string& piece : pieces) {
        bytes_.append(piece.data(), static_cast<qsizetype>(piece.size()));
    }
    // Plain text: a file's content is never interpreted as markup.
    text_->setPlainText(GroupLines(TextFromPieces(pieces), kLinesPerParagraph));
    text_->moveCursor(QTextCursor::End);
}

QString CTextViewerDlg::Text() const {
    return text_->toPlainText();
}

void CTextViewerDlg::EnableSaveAs(const QString& suggestedName) {
    saveName_ = suggestedName;
    text_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(text_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = ContextMenu(at);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(text_->viewport()->mapToGlobal(at));
    });
}

QMenu* CTextViewerDlg::ContextMenu(const QPoint& at) {
    QMenu* menu = text_->createStandardContextMenu(at);
    if (!saveName_.isEmpty()) {
        menu->addSeparator();
        connect(menu->addAction(QStringLiteral("Save as Text...")), &QAction::triggered, this,
                [this] { SaveAs(); });
    }
    return menu;
}

bool CTextViewerDlg::SaveAs() {
    // The bytes as downloaded: the file keeps its own line ends, and a byte
    // the box could not show is not lost.
    return ExportText(dialogs_, this, QStringLiteral("Save as Text"), saveName_, bytes_);
}

void CTextViewerDlg::done(int result) {
    // Closing by OK, Escape or the close box destroys the viewer.
    QPointer<CTextViewerDlg> guard(this);
    CSkinnedDlg::done(result);
    if (guard != nullptr) close();
}

}  // namespace ui
