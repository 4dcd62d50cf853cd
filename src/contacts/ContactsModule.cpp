#include "contacts/ContactsModule.h"

#include "contacts/ListContacts.h"
#include "contacts/MsgContact.h"
#include "net/Client.h"
#include "shell/ModuleContext.h"
#include "ui/Skin.h"

namespace contacts {

namespace {

// Control identifier of the list, as the other tools know it.
constexpr int kIdContacts = 1073;

}  // namespace

void ContactsModule::RegisterPictures(ui::Skin& skin) {
    const char* presence[] = {"OFFLINE", "ONLINE", "AWAY", "MUTED"};
    for (int i = 0; i < 4; ++i) {
        ui::SkinEntry e;
        e.kind = ui::SkinEntry::Kind::Presence;
        e.size = QSize(16, 16);
        e.arg = i;
        skin.Register(QStringLiteral("IDB_PRESENCE%1").arg(QString::fromLatin1(presence[i])), e);
    }
}

void ContactsModule::Register(shell::ModuleContext& ctx) {
    QWidget* pane = ctx.MainWindow().Pane(shell::MainPane::Contacts);
    list_ = new CListContacts(ctx.Skin(), pane);
    list_->setObjectName(QString::number(kIdContacts));
    list_->setGeometry(QRect(QPoint(0, 0), pane->size()));

    ctx.AddOpeningRequest(
        [](net::Client& client) { return SendContactListRequest(client.NetworkServer()); });
    net::Client& client = ctx.Client();
    ctx.MainWindow().SetStatusSender(
        [&client](int32_t status) { SendStatus(client.NetworkServer(), status); });
}

std::unique_ptr<shell::Module> MakeModule() {
    return std::make_unique<ContactsModule>();
}

}  // namespace contacts
