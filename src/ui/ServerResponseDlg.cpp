#include "ui/ServerResponseDlg.h"

#include <QPushButton>
#include <QRandomGenerator>
#include <QTextEdit>

namespace ui {

namespace {
constexpr QSize kClientSize(296, 188);
}  // namespace

QString ServerResponseText(const QString& response, const QString& details) {
    QString text =
        QStringLiteral("---- Response ----\r\n\r\n%s\r\n\r\n---- Details ----\r\n\r\n%s\r\n");
    // Substitute in order without reinterpreting '%' inside the texts.
    const qsizetype first = text.indexOf(QLatin1String("%s"));
    text.replace(first, 2, response);
    const qsizetype second = text.indexOf(QLatin1String("%s"), first + response.size());
    text.replace(second, 2, details);
    return text;
}

QPoint ServerResponsePlacement(const QRect& screen, const QSize& window, int offsetX, int offsetY) {
    return QPoint(screen.x() + screen.width() / 2 - window.width() / 2 - 40 + offsetX,
                  screen.y() + screen.height() / 2 - window.height() / 2 - 40 + offsetY);
}

CServerResponseDlg::CServerResponseDlg(const Skin& skin, Dialogs& dialogs,
                                       const net::Timings& timings, QWidget* parent)
    : CSkinnedDlg(skin, dialogs, timings, parent) {
    setWindowTitle(QStringLiteral("Server Response"));
    SetClientSize(kClientSize);
    SetBackground(QStringLiteral("IDB_SERVERRESPONSE"));
    const int top = qMax(skin_.HeaderHeight(QStringLiteral("IDB_SERVERRESPONSE")), 8) + 8;
    box_ = new QTextEdit(this);
    box_->setReadOnly(true);
    box_->setAcceptRichText(false);
    box_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    box_->setGeometry(12, top, kClientSize.width() - 24, kClientSize.height() - top - 48);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setGeometry(kClientSize.width() - 12 - 80, kClientSize.height() - 38, 80, 26);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    setTabOrder(box_, ok_);
}

void CServerResponseDlg::ShowServerResponse(const QString& response, const QString& details) {
    text_ = ServerResponseText(response, details);
    QString shown = text_;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    box_->setPlainText(shown);
    const int dx = static_cast<int>(QRandomGenerator::global()->bounded(80));
    const int dy = static_cast<int>(QRandomGenerator::global()->bounded(80));
    ShowInFront(ShowPlacement::At(ServerResponsePlacement(ScreenRect(), OuterSize(), dx, dy)));
}

void CServerResponseDlg::OnShownInFront() {
    box_->setFocus(Qt::OtherFocusReason);
    box_->moveCursor(QTextCursor::Start);
}

}  // namespace ui
