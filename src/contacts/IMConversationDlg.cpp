#include "contacts/IMConversationDlg.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include "ui/Dialogs.h"
#include "ui/ExportText.h"

namespace contacts {

namespace {

const QRect kConversationRect(20, 20, 347, 118);
const QRect kInputRect(20, 142, 281, 56);
const QRect kSendRect(305, 142, 62, 56);

MessageFormat Arial(bool bold, int grey) {
    return {0, grey, grey, grey, bold, false, false};
}

}  // namespace

std::vector<std::pair<int, int>> FindLinks(const QString& text) {
    static const QRegularExpression kLink(
        QStringLiteral(R"((?:https?://|ftp://|mailto:|www\.)[^\s<>"]+)"),
        QRegularExpression::CaseInsensitiveOption);
    std::vector<std::pair<int, int>> out;
    auto it = kLink.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        // A link starts at a word's beginning ("xwww.a" is no link).
        const qsizetype start = m.capturedStart();
        if (start > 0 && text[start - 1].isLetterOrNumber()) continue;
        if (!LinkTarget(m.captured())) continue;
        out.emplace_back(static_cast<int>(start), static_cast<int>(m.capturedLength()));
    }
    return out;
}

// --- CIMInputEdit ---

CIMInputEdit::CIMInputEdit(QWidget* parent) : ui::CMessageInputEdit(parent) {
    setAcceptRichText(true);
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { Limit(position, added); });
}

void CIMInputEdit::Limit(int position, int added) {
    if (limiting_) return;
    const int over = static_cast<int>(toPlainText().size()) - kMaxInputCharacters;
    if (over <= 0 || added <= 0) return;
    // Whatever was just added beyond the limit goes again.
    limiting_ = true;
    QTextCursor c(document());
    const int cut = std::min(over, added);
    c.setPosition(position + added - cut);
    c.setPosition(position + added, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    limiting_ = false;
}

// --- CIMConversationDlg ---

CIMConversationDlg::CIMConversationDlg(const std::string& username, const ui::Skin& skin,
                                       ui::Dialogs& dialogs, const net::Timings& timings,
                                       QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), username_(username) {
    SetFrame(QStringLiteral("IDB_IMCONVERSATION"));
    setWindowTitle(QStringLiteral("IM Conversation - [%1]").arg(QString::fromUtf8(username.c_str())));

    conversation_ = new QTextBrowser(this);
    conversation_->setGeometry(kConversationRect);
    conversation_->setOpenLinks(false);
    conversation_->setOpenExternalLinks(false);
    // Nothing the user can undo here; an undo history would only grow.
    conversation_->setUndoRedoEnabled(false);
    conversation_->setAccessibleName(QStringLiteral("Conversation"));
    conversation_->setFocusPolicy(Qt::ClickFocus);
    connect(conversation_, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& url) { OpenLink(url.toString()); });
    transcript_ = new shell::CTranscript(conversation_, &FindLinks);
    conversation_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(conversation_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = ConversationMenu(at);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(conversation_->viewport()->mapToGlobal(at));
    });

    input_ = new CIMInputEdit(this);
    input_->setGeometry(kInputRect);
    input_->setAccessibleName(QStringLiteral("Message"));

    sendButton_ = new QPushButton(QStringLiteral("Send"), this);
    sendButton_->setGeometry(kSendRect);
    sendButton_->setDefault(true);
    sendButton_->setAutoDefault(true);

    const auto send = [this] {
        if (send_) send_(input_->toPlainText());
    };
    connect(sendButton_, &QPushButton::clicked, this, send);
    connect(input_, &CIMInputEdit::sendRequested, this, send);
}

void CIMConversationDlg::AppendMessage(const QString& sender, const QString& text,
                                       const MessageFormat& format, const Display& display) {
    if (display.timestamp)
        transcript_->Append(TimeStampText(display.hour, display.minute),
                            CharFormatFor(Arial(true, 128), display.size));
    transcript_->Append(sender + QStringLiteral(": "), CharFormatFor(Arial(true, 0), display.size));
    transcript_->Append(text + QStringLiteral("\r\n"), CharFormatFor(format, display.size));
}

void CIMConversationDlg::AppendLine(const QString& text, const QTextCharFormat& format) {
    transcript_->Append(text, format);
}

void CIMConversationDlg::Clear() {
    transcript_->Clear();
    input_->clear();
}

void CIMConversationDlg::OpenLink(const QString& linkText) {
    if (const auto target = LinkTarget(linkText)) dialogs_.OpenUrl(QUrl(*target));
}

QByteArray CIMConversationDlg::ConversationText() {
    QString text = Conversation()->toPlainText();
    // Line breaks inside a paragraph are lines of their own in the file.
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n'))) text += QLatin1Char('\n');
    return text.toUtf8();
}

QMenu* CIMConversationDlg::ConversationMenu(const QPoint& at) {
    QMenu* menu = conversation_->createStandardContextMenu(at);
    menu->addSeparator();
    connect(menu->addAction(QStringLiteral("Save Conversation as Text...")), &QAction::triggered,
            this, [this] { SaveConversation(); });
    return menu;
}

bool CIMConversationDlg::SaveConversation() {
    return ui::ExportText(
        dialogs_, this, QStringLiteral("Save Conversation as Text"),
        ui::SafeFileStem(QStringLiteral("IM Conversation - ") + QString::fromUtf8(username_.c_str())) +
            QStringLiteral(".txt"),
        ConversationText());
}

void CIMConversationDlg::OnShownInFront() {
    input_->setFocus();
}

void CIMConversationDlg::reject() {
    // Closing hides; the text stays for the next message.
    hide();
}

}  // namespace contacts
