#include "server/contacts/InstantMessageService.h"

#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"

namespace localnet {

namespace {

namespace contact = net::contact;

// The ranges the receiving client accepts; a message outside them would be
// dropped there, so it is dropped here.
constexpr int32_t kMaxUsername = 12;
constexpr int32_t kMaxFontIndex = 99;
constexpr int32_t kMaxText = 600;

}  // namespace

InstantMessageService::InstantMessageService(LocalNetwork& network) : network_(network) {
    network_.GetRouter().Register(
        ServerKind::Network, net::Primary::Contact, contact::kInstantMessage,
        [this](ClientSession& s, const net::bufHeader&, net::MessageReader& f) { Relay(s, f); });
}

void InstantMessageService::Relay(ClientSession& from, net::MessageReader& fields) {
    std::string recipient;
    int32_t format[7] = {};
    int32_t kind = 1;
    std::string text;
    const auto drop = [&](const char* what) {
        network_.Log(QStringLiteral("instant message from %1 dropped: %2")
                         .arg(from.Username(), QLatin1String(what)));
    };
    if (!fields.Str(1, kMaxUsername, recipient)) return drop("recipient");
    if (!fields.Int(0, kMaxFontIndex, format[0])) return drop("font index");
    for (int i = 1; i <= 3; ++i)
        if (!fields.Int(0, 255, format[i])) return drop("colour");
    for (int i = 4; i <= 6; ++i)
        if (!fields.Int(0, 1, format[i])) return drop("style");
    if (!fields.Int(INT32_MIN, INT32_MAX, kind)) return drop("kind");
    if (kind < 0 || kind > 2) kind = 1;
    if (!fields.Str(1, kMaxText, text)) return drop("text");

    const QString name = QString::fromUtf8(recipient.data(), static_cast<qsizetype>(recipient.size()));
    const Network* n = network_.GetStore().FindNetwork(from.NetworkNumber());
    const Account* target = n ? n->FindAccount(name) : nullptr;
    if (!target) {
        net::MessageWriter w(contact::kUnknownUser);
        from.Send(w, net::Primary::Contact);
        return;
    }
    const Account* sender = n->FindAccount(from.Username());
    const std::string senderName = (sender ? sender->username : from.Username()).toStdString();

    bool delivered = false;
    for (ClientSession* s : network_.Sessions()) {
        if (s->Kind() != ServerKind::Network || !s->LoggedIn() || s->Closing() ||
            s->NetworkNumber() != from.NetworkNumber() ||
            s->Username().compare(target->username, Qt::CaseInsensitive) != 0)
            continue;
        net::MessageWriter w(contact::kIncomingMessage);
        w.Str(senderName);
        for (int32_t v : format) w.Int(v);
        w.Int(kind).Str(text);
        if (s->Send(w, net::Primary::Contact, net::Secondary::Notification)) delivered = true;
    }
    if (!delivered) {
        // The name as sent: the client finds its window by it.
        net::MessageWriter w(contact::kRecipientOffline);
        w.Str(recipient);
        from.Send(w, net::Primary::Contact);
    }
}

}  // namespace localnet
