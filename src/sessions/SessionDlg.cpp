#include "sessions/SessionDlg.h"

#include <QContextMenuEvent>
#include <QFont>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextCursor>
#include <algorithm>

#include "ui/FixedButton.h"

namespace sessions {

namespace {

const QRect kTranscriptRect(14, 48, 422, 250);
const QRect kInputRect(14, 304, 352, 62);
const QRect kSendRect(372, 304, 64, 62);
const QRect kListRect(448, 48, 138, 322);
constexpr int kButtonTop = 383;
constexpr int kButtonLeft = 14;
constexpr int kButtonStep = 42;
constexpr int kMaxLinkCharacters = 1011;

struct ButtonSpec {
    const char* caption;
    const char* tip;
};
constexpr ButtonSpec kButtons[] = {
    {"COFFEE", "Toggle away status"},
    {"INVITE", "Invite someone to join this session"},
    {"POLL", "Access the Polling Center for this session"},
    {"HISTORY", "View this session's log"},
    {"INFO", "View information about this session"},
};

}  // namespace

std::optional<QString> WebLinkTarget(const QString& linkText) {
    const QString text = linkText.left(kMaxLinkCharacters);
    for (const char* scheme : {"http://", "https://"}) {
        if (text.startsWith(QLatin1String(scheme), Qt::CaseInsensitive) &&
            text.size() > static_cast<qsizetype>(qstrlen(scheme)))
            return text;
    }
    if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive) && text.size() > 4)
        return QStringLiteral("http://") + text;
    return std::nullopt;
}

std::vector<std::pair<int, int>> FindWebLinks(const QString& text) {
    static const QRegularExpression kLink(QStringLiteral(R"((?:https?://|www\.)[^\s<>"]+)"),
                                          QRegularExpression::CaseInsensitiveOption);
    std::vector<std::pair<int, int>> out;
    auto it = kLink.globalMatch(text);
    while (it.hasNext()) {
        const auto m = it.next();
        // A link starts at a word's beginning ("xwww.a" is no link).
        const qsizetype start = m.capturedStart();
        if (start > 0 && text[start - 1].isLetterOrNumber()) continue;
        if (!WebLinkTarget(m.captured())) continue;
        out.emplace_back(static_cast<int>(start), static_cast<int>(m.capturedLength()));
    }
    return out;
}

int WireBytes(const QString& text) {
    int bytes = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\n' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator) {
            bytes += 2;
        } else if (c < 0x80) {
            bytes += 1;
        } else if (c < 0x800) {
            bytes += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
                   text[i + 1].isLowSurrogate()) {
            bytes += 4;
            ++i;
        } else {
            bytes += 3;
        }
    }
    return bytes;
}

// --- CChatInputEdit ---

CChatInputEdit::CChatInputEdit(QWidget* parent) : ui::CMessageInputEdit(parent) {
    setAcceptRichText(false);
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { Limit(position, added); });
}

void CChatInputEdit::Limit(int position, int added) {
    if (limiting_ || added <= 0) return;
    const QString text = toPlainText();
    const int total = static_cast<int>(text.size());
    if (total <= kMaxChatCharacters && WireBytes(text) <= kMaxChatBytes) return;
    // What was there before keeps its place; of what was just added, the
    // longest beginning that fits stays (never half a surrogate pair), the
    // rest goes in one cut, however long the paste was.
    const int start = std::clamp(position, 0, total);
    const int end = std::clamp(position + added, start, total);
    const QString piece = text.mid(start, end - start);
    int chars = total - (end - start);
    int bytes = WireBytes(text) - WireBytes(piece);
    int keep = 0;
    while (keep < piece.size()) {
        const int step =
            piece[keep].isHighSurrogate() && keep + 1 < piece.size() ? 2 : 1;
        const int more = WireBytes(piece.mid(keep, step));
        if (chars + step > kMaxChatCharacters || bytes + more > kMaxChatBytes) break;
        chars += step;
        bytes += more;
        keep += step;
    }
    limiting_ = true;
    QTextCursor c(document());
    c.setPosition(start + keep);
    c.setPosition(end, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    limiting_ = false;
}

// --- The participant list ---

CParticipantsModel::CParticipantsModel(const ui::Skin& skin, QObject* parent)
    : QAbstractListModel(parent) {
    for (int i = 0; i < 4; ++i)
        pictures_[static_cast<size_t>(i)] = skin.Bitmap(QStringLiteral("IDB_PARTICIPANT%1").arg(i));
}

void CParticipantsModel::Reset(const std::vector<Participant>& participants,
                               const std::function<bool(const std::string&)>& muted) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(participants.size());
    for (const Participant& p : participants) {
        const bool m = muted && muted(p.name);
        Row row;
        row.name = QString::fromUtf8(p.name.data(), static_cast<qsizetype>(p.name.size()));
        row.tip = QString::fromUtf8(ParticipantTip(p, m).c_str());
        row.image = ParticipantImage(p, m);
        row.look = ParticipantLook(p, m);
        rows_.push_back(std::move(row));
    }
    endResetModel();
}

int CParticipantsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant CParticipantsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const Row& row = rows_[static_cast<size_t>(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return row.name;
        case Qt::ToolTipRole:
            return row.tip;
        case Qt::DecorationRole:
            return pictures_[static_cast<size_t>(row.image)];
        case Qt::FontRole: {
            QFont font;
            font.setBold(row.look == RowLook::OnlineBold);
            font.setItalic(row.look == RowLook::AwayItalic);
            return font;
        }
        case Qt::ForegroundRole:
            if (row.look == RowLook::Grey) return QColor(128, 128, 128);
            if (row.look == RowLook::AwayItalic) return QColor(0, 0, 0);
            return QColor(0, 0, 255);
        default:
            return {};
    }
}

CListParticipants::CListParticipants(const ui::Skin& skin, QWidget* parent)
    : QTreeView(parent), model_(skin, this) {
    setModel(&model_);
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setIconSize(QSize(16, 16));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setStretchLastSection(false);
    header()->resizeSection(0, kColumnWidth);
    setAccessibleName(QStringLiteral("Participants"));
}

void CListParticipants::Redraw(const std::vector<Participant>& participants,
                               const std::function<bool(const std::string&)>& muted) {
    model_.Reset(participants, muted);
    header()->resizeSection(0, kColumnWidth);
}

void CListParticipants::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(viewport()->mapFrom(this, event->pos()));
    if (!index.isValid()) return;
    setCurrentIndex(index);
    emit menuRequested(index.row(), event->globalPos());
}

// --- CSessionDlg ---

CSessionDlg::CSessionDlg(const std::string& id, const std::string& name, const ui::Skin& skin,
                         ui::Dialogs& dialogs, const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), id_(id), name_(name) {
    SetFrame(QStringLiteral("IDB_SESSION"));
    // The name is the server's text: the title shows it as it is.
    setWindowTitle(QStringLiteral("Session - [%1]")
                       .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));

    view_ = new QTextBrowser(this);
    view_->setGeometry(kTranscriptRect);
    view_->setOpenLinks(false);
    view_->setOpenExternalLinks(false);
    view_->setUndoRedoEnabled(false);
    view_->setFocusPolicy(Qt::ClickFocus);
    view_->setAccessibleName(QStringLiteral("Transcript"));
    connect(view_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
        if (actions_.openLink) actions_.openLink(url.toString());
    });
    transcript_ = new shell::CTranscript(view_, &FindWebLinks);

    input_ = new CChatInputEdit(this);
    input_->setGeometry(kInputRect);
    input_->setAccessibleName(QStringLiteral("Message"));

    send_ = new QPushButton(QStringLiteral("Send"), this);
    send_->setGeometry(kSendRect);
    send_->setDefault(true);
    send_->setAutoDefault(true);
    const auto send = [this] {
        if (actions_.send) actions_.send(input_->toPlainText());
    };
    connect(send_, &QPushButton::clicked, this, send);
    connect(input_, &CChatInputEdit::sendRequested, this, send);

    list_ = new CListParticipants(skin, this);
    list_->setGeometry(kListRect);
    connect(list_, &CListParticipants::menuRequested, this, [this](int row, const QPoint& at) {
        if (actions_.menu) actions_.menu(row, at);
    });

    int x = kButtonLeft;
    for (const ButtonSpec& b : kButtons) {
        auto* button = new ui::CFixedButton(skin, QString::fromLatin1(b.caption), this);
        button->setGeometry(QRect(QPoint(x, kButtonTop), button->sizeHint()));
        button->setToolTip(QString::fromLatin1(b.tip));
        button->setAccessibleName(QString::fromLatin1(b.tip));
        buttons_.push_back(button);
        x += kButtonStep;
    }
    const auto on = [this](const char* caption, std::function<void()> Actions::*member) {
        connect(Button(caption), &QAbstractButton::clicked, this, [this, member] {
            if (actions_.*member) (actions_.*member)();
        });
    };
    on("COFFEE", &Actions::coffee);
    on("INVITE", &Actions::invite);
    on("POLL", &Actions::poll);
    on("HISTORY", &Actions::history);
    on("INFO", &Actions::info);
    EnableHookButtons(false, false);
    setTabOrder(input_, send_);
}

ui::CFixedButton* CSessionDlg::Button(const char* caption) const {
    for (ui::CFixedButton* b : buttons_)
        if (b->Caption() == QLatin1String(caption)) return b;
    return nullptr;
}

void CSessionDlg::EnableHookButtons(bool poll, bool history) {
    Button("POLL")->setEnabled(poll);
    Button("HISTORY")->setEnabled(history);
}

void CSessionDlg::RedrawParticipants(const std::function<bool(const std::string&)>& muted) {
    list_->Redraw(participants_, muted);
}

void CSessionDlg::reject() {
    if (actions_.close) {
        actions_.close();
    } else {
        hide();
    }
}

void CSessionDlg::OnShownInFront() {
    input_->setFocus();
}

}  // namespace sessions
