#include "contacts/Conversations.h"

#include "contacts/api/ContactsApi.h"
#include "net/MessageBuffer.h"
#include "net/Router.h"
#include "shell/Notifier.h"
#include "shell/Settings.h"
#include "ui/Dialogs.h"
#include "ui/TextConvert.h"

namespace contacts {

Conversations::Conversations(Parts parts) : parts_(std::move(parts)) {}

Conversations::~Conversations() = default;

CIMConversationDlg* Conversations::Find(const std::string& username) const {
    const auto it = windows_.find(username);
    return it == windows_.end() ? nullptr : it->second.get();
}

CIMConversationDlg* Conversations::Open(const std::string& username, bool raise) {
    CIMConversationDlg* window = Find(username);
    if (window == nullptr) {
        auto made = std::make_unique<CIMConversationDlg>(username, parts_.skin, parts_.dialogs,
                                                          parts_.timings, parts_.parent);
        window = made.get();
        window->SetSend([this, window](const QString& text) { Send(*window, text); });
        if (parts_.hideOnDrop) parts_.hideOnDrop(window);
        windows_.emplace(username, std::move(made));
    }
    if (window->isVisible()) {
        if (raise) {
            window->raise();
            window->activateWindow();
        }
        return window;
    }
    if (window->ShowPending()) return window;
    const QPoint centre =
        ui::CSkinnedDlg::CentredTopLeft(window->ScreenRect(), window->OuterSize());
    const int dx = parts_.randomOffset ? parts_.randomOffset() : 0;
    const int dy = parts_.randomOffset ? parts_.randomOffset() : 0;
    window->ShowInFront(ui::ShowPlacement::At(centre + QPoint(dx, dy)));
    return window;
}

CIMConversationDlg::Display Conversations::DisplayNow() const {
    const shell::SettingsValues& s = parts_.settings();
    const QTime t = parts_.now ? parts_.now() : QTime::currentTime();
    return {s.timestamp, t.hour(), t.minute(), s.size};
}

void Conversations::Alert(const CIMConversationDlg& window) {
    if (!parts_.settings().alertMessages) return;
    if (parts_.inForeground && parts_.inForeground(&window)) return;
    if (parts_.alert) parts_.alert();
}

void Conversations::Notify(const CIMConversationDlg& window, const std::string& sender,
                           const QString& text) {
    if (parts_.notifier == nullptr || !parts_.settings().alertMessages) return;
    if (parts_.inForeground && parts_.inForeground(&window)) return;
    std::weak_ptr<bool> alive = alive_;
    parts_.notifier->Notify(
        shell::NotificationKind::InstantMessage,
        QStringLiteral("Message from %1").arg(QString::fromUtf8(sender.c_str())),
        shell::NotificationText(text, shell::kNotificationBodyChars, false),
        [this, alive, sender] {
            if (alive.expired()) return;
            CIMConversationDlg* w = Open(sender, true);
            if (w->isMinimized()) {
                w->showNormal();
                w->raise();
                w->activateWindow();
            }
        });
}

void Conversations::Incoming(net::MessageReader& fields, net::LogLine& log) {
    const char* fault = nullptr;
    const auto message = DecodeIncomingMessage(fields, &fault);
    if (!message) {
        log.Write("%s", fault);
        return;
    }
    if (parts_.contacts) {
        const auto contact = parts_.contacts->FindContact(message->sender);
        if (IsMessageMuted(contact, parts_.contacts->IsMuted(message->sender))) return;
    }
    CIMConversationDlg* window = Open(message->sender, false);
    const QString text =
        QString::fromUtf8(message->text.data(), static_cast<qsizetype>(message->text.size()));
    window->AppendMessage(QString::fromUtf8(message->sender.c_str()), text, message->format,
                          DisplayNow());
    Alert(*window);
    Notify(*window, message->sender, text);
}

void Conversations::RecipientOffline(net::MessageReader& fields, net::LogLine& log) {
    const char* fault = nullptr;
    const auto name = DecodeRecipientOffline(fields, &fault);
    if (!name) {
        log.Write("%s", fault);
        return;
    }
    CIMConversationDlg* window = Find(*name);
    if (window == nullptr) return;
    Open(*name, false);
    window->AppendLine(QString::fromUtf8(name->c_str()) + QStringLiteral(" is currently offline\r\n"),
                       CharFormatFor(MessageFormat{}, parts_.settings().size));
}

void Conversations::Send(CIMConversationDlg& window, const QString& text) {
    if (text.isEmpty()) {
        parts_.dialogs.Message(&window, QStringLiteral("Error"),
                               QStringLiteral("Please type a message to send"), ui::MsgIcon::Error);
        return;
    }
    const MessageFormat format = FormatFromSettings(parts_.settings());
    const QString me = QString::fromUtf8(parts_.me().c_str());
    // The receiver takes at most 600 bytes: a longer text goes as several
    // messages, each shown as its own line.
    for (const std::string& piece : SplitUtf8(ui::TextToUtf8(ToWireLineBreaks(text)),
                                              static_cast<size_t>(kMaxMessageBytes))) {
        parts_.send(BuildInstantMessage(window.Username(), format, piece));
        window.AppendMessage(me, QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size())),
                             format, DisplayNow());
    }
    window.Input()->clear();
}

void Conversations::LoggedIn(const std::string& account) {
    const bool same = QString::fromStdString(lastAccount_).compare(
                          QString::fromStdString(account), Qt::CaseInsensitive) == 0;
    if (!lastAccount_.empty() && !same) {
        for (auto& [name, window] : windows_) window->Clear();
    }
    lastAccount_ = account;
}

}  // namespace contacts
