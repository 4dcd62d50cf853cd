#include "signin/ConnectDlg.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QUrl>

#include "signin/NumbersFile.h"
#include "signin/SignInChecks.h"
#include "ui/Dialogs.h"
#include "ui/FixedButton.h"
#include "ui/TextConvert.h"

#ifndef PALINDOR_HOME_URL
#define PALINDOR_HOME_URL "https://palindor.example/"
#endif

namespace signin {

namespace {

// The home-page link for the keyboard and for assistive tools: a button
// over the painted link that paints only a focus ring. The pointer keeps
// going to the window, which draws the link and its hover look.
class HomeLinkFocus : public QAbstractButton {
  public:
    explicit HomeLinkFocus(QWidget* parent) : QAbstractButton(parent) {
        setFocusPolicy(Qt::TabFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

  protected:
    void paintEvent(QPaintEvent*) override {
        if (!hasFocus()) return;
        QPainter p(this);
        p.setPen(QPen(ui::Skin::Link(), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

}  // namespace

CConnectDlg::CConnectDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                         std::string numbersPath, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), numbersPath_(std::move(numbersPath)) {
    SetBackground(QStringLiteral("IDB_BKGNDCONNECT"));
    setMouseTracking(true);

    SetHeading(QStringLiteral("Connect to a Network"));
    auto* label = new QLabel(QStringLiteral("&Zorvic number:"), this);
    label->setGeometry(18, 40, 180, 18);

    number_ = new QComboBox(this);
    number_->setEditable(true);
    number_->setInsertPolicy(QComboBox::NoInsert);
    // No limit on the edit itself: an over-long text is refused with its own
    // message when the number is checked.
    number_->lineEdit()->setMaxLength(32767);
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(16);
    font.setWeight(QFont::Normal);
    number_->setFont(font);
    number_->setGeometry(18, 60, 180, 30);
    label->setBuddy(number_);

    next_ = new ui::CFixedButton(skin, QStringLiteral("NEXT"), this);
    next_->move(216, 60);
    next_->resize(next_->sizeHint());
    connect(next_, &QAbstractButton::clicked, this, &CConnectDlg::Next);

    // A hint, but one the user must be able to read: muted, not disabled.
    auto* hint = new QLabel(QStringLiteral("For example 123.4567"), this);
    hint->setGeometry(18, 94, 180, 16);
    QPalette muted = hint->palette();
    muted.setColor(QPalette::WindowText, ui::Skin::Muted());
    hint->setPalette(muted);

    link_ = skin.Bitmap(QStringLiteral("IDB_LINK"));
    linkHoverPicture_ = skin.Bitmap(QStringLiteral("IDB_LINKHOVER"));
    linkFocus_ = new HomeLinkFocus(this);
    linkFocus_->setGeometry(kLinkRect);
    linkFocus_->setAccessibleName(QStringLiteral("Visit home page"));
    connect(linkFocus_, &QAbstractButton::clicked, this, &CConnectDlg::OpenHomePage);
    setTabOrder(number_, next_);
    setTabOrder(next_, linkFocus_);

    // A directory server that takes the connection and then never answers
    // would otherwise keep NEXT disabled for good.
    lookupPatience_.setSingleShot(true);
    lookupPatience_.setInterval(kLookupPatienceMs);
    connect(&lookupPatience_, &QTimer::timeout, this, [this] { SetLookupRunning(false); });

    setWindowTitle(QStringLiteral("Connect to a Network"));
}

void CConnectDlg::LoadNumbers() {
    number_->clear();
    NumbersList list;
    if (!ReadNumbersFile(numbersPath_, list)) return;
    QString current;
    if (ui::Utf8ToText(list.current, current) && !current.isEmpty()) AddSorted(current);
    for (const auto& entry : list.entries) {
        QString text;
        if (ui::Utf8ToText(entry, text) && !text.isEmpty()) AddSorted(text);
    }
    number_->setEditText(current);
}

void CConnectDlg::AddSorted(const QString& number) {
    int at = 0;
    while (at < number_->count() && number_->itemText(at) <= number) ++at;
    number_->insertItem(at, number);
}

std::vector<std::string> CConnectDlg::ListEntries() const {
    std::vector<std::string> entries;
    for (int i = 0; i < number_->count(); ++i)
        entries.push_back(ui::TextToUtf8(number_->itemText(i)));
    return entries;
}

void CConnectDlg::RecordNumber(const std::string& number) {
    const std::vector<std::string> entries = ListEntries();
    WriteNumbersFile(numbersPath_, number, entries);
    // Without this a second lookup in the same run would drop the first
    // number from the file.
    const QString text = QString::fromUtf8(number.data(), qsizetype(number.size()));
    if (number_->findText(text, Qt::MatchExactly) < 0) {
        const QString typed = number_->currentText();
        AddSorted(text);
        number_->setEditText(typed);
    }
}

void CConnectDlg::SetLookupRunning(bool running) {
    lookupRunning_ = running;
    next_->setEnabled(!running);
    if (running) {
        lookupPatience_.start();
        setCursor(Qt::BusyCursor);
    } else {
        lookupPatience_.stop();
        unsetCursor();
        if (linkHover_) setCursor(Qt::PointingHandCursor);
    }
}

void CConnectDlg::OpenHomePage() {
    dialogs_.OpenUrl(QUrl(QStringLiteral(PALINDOR_HOME_URL)));
}

void CConnectDlg::Next() {
    // One lookup at a time: a second one would replace the first unseen.
    if (lookupRunning_) return;
    const NumberCheckResult result = CheckNumberText(number_->currentText());
    switch (result.outcome) {
        case NumberCheck::TooLong:
            // A validation message like the others of this window.
            dialogs_.Message(this, QStringLiteral("Error"), NumberTooLongText(),
                             ui::MsgIcon::Warning);
            return;
        case NumberCheck::Invalid:
            dialogs_.Message(this, QStringLiteral("Error"), QString::fromLatin1(kInvalidNumberText),
                             ui::MsgIcon::Error);
            return;
        case NumberCheck::Ok:
            emit lookupRequested(result.digits);
            return;
    }
}

void CConnectDlg::ShowConnect() {
    setWindowTitle(QStringLiteral("Connect to a Network"));
    ShowInFront();
}

void CConnectDlg::OnShownInFront() {
    number_->setFocus();
}

void CConnectDlg::accept() {
    Next();
}

void CConnectDlg::keyPressEvent(QKeyEvent* event) {
    // Enter reaches the window once, whichever control had it first (the
    // number field lets it through).
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Enter presses what has the focus: the link opens the home page.
        if (focusWidget() == linkFocus_) {
            OpenHomePage();
        } else {
            Next();
        }
        return;
    }
    CSkinnedDlg::keyPressEvent(event);
}

void CConnectDlg::reject() {
    hide();
    emit quitRequested();
}

void CConnectDlg::paintEvent(QPaintEvent* event) {
    CSkinnedDlg::paintEvent(event);
    QPainter p(this);
    p.drawPixmap(kLinkPos, linkHover_ ? linkHoverPicture_ : link_);
}

void CConnectDlg::SetLinkHover(bool inside) {
    if (inside == linkHover_) return;  // only a crossing repaints
    linkHover_ = inside;
    ++linkRepaints_;
    if (!lookupRunning_) {
        if (inside) {
            setCursor(Qt::PointingHandCursor);
        } else {
            unsetCursor();
        }
    }
    update(kLinkRect);
}

void CConnectDlg::mouseMoveEvent(QMouseEvent* event) {
    SetLinkHover(kLinkRect.contains(event->position().toPoint()));
    CSkinnedDlg::mouseMoveEvent(event);
}

void CConnectDlg::leaveEvent(QEvent* event) {
    SetLinkHover(false);
    CSkinnedDlg::leaveEvent(event);
}

void CConnectDlg::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && kLinkRect.contains(event->position().toPoint())) {
        OpenHomePage();
    }
    CSkinnedDlg::mouseReleaseEvent(event);
}

}  // namespace signin
