#include "signin/ConnectDlg.h"

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

CConnectDlg::CConnectDlg(const ui::Skin& skin, ui::Dialogs& dialogs, const net::Timings& timings,
                         std::string numbersPath, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent), numbersPath_(std::move(numbersPath)) {
    SetBackground(QStringLiteral("IDB_BKGNDCONNECT"));
    setMouseTracking(true);

    auto* label = new QLabel(QStringLiteral("Zorvic number:"), this);
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

    auto* hint = new QLabel(QStringLiteral("For example 123.4567"), this);
    hint->setGeometry(18, 94, 180, 16);
    hint->setEnabled(false);

    link_ = skin.Bitmap(QStringLiteral("IDB_LINK"));
    linkHoverPicture_ = skin.Bitmap(QStringLiteral("IDB_LINKHOVER"));

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

void CConnectDlg::Next() {
    const NumberCheckResult result = CheckNumberText(number_->currentText());
    switch (result.outcome) {
        case NumberCheck::TooLong:
            dialogs_.Message(this, QStringLiteral("Palindor"), NumberTooLongText(),
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
        Next();
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
        dialogs_.OpenUrl(QUrl(QStringLiteral(PALINDOR_HOME_URL)));
    }
    CSkinnedDlg::mouseReleaseEvent(event);
}

}  // namespace signin
