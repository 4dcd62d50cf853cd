// The services of the local network, one line each. A subsystem's server
// side is its folder under server/ and its line here.

#include "server/account/AccountInfoService.h"
#include "server/account/AccountService.h"
#include "server/admin/AdminService.h"
#include "server/contacts/ContactsService.h"
#include "server/contacts/InstantMessageService.h"
#include "server/core/LocalNetwork.h"
#include "server/directory/DirectoryService.h"
#include "server/documents/DocumentsService.h"
#include "server/history/HistoryService.h"
#include "server/login/LoginService.h"
#include "server/mailbox/MailboxService.h"
#include "server/polls/PollsService.h"
#include "server/sessions/SessionsService.h"
#include "server/whiteboard/WhiteboardService.h"

namespace localnet {

std::vector<std::unique_ptr<Service>> MakeServices(LocalNetwork& network) {
    std::vector<std::unique_ptr<Service>> services;
    services.push_back(std::make_unique<DirectoryService>(network));
    services.push_back(std::make_unique<LoginService>(network));
    services.push_back(std::make_unique<AccountService>(network));
    services.push_back(std::make_unique<AccountInfoService>(network));
    services.push_back(std::make_unique<ContactsService>(network));
    services.push_back(std::make_unique<SessionsService>(network));
    services.push_back(std::make_unique<MailboxService>(network));
    services.push_back(std::make_unique<InstantMessageService>(network));
    services.push_back(std::make_unique<PollsService>(network));
    services.push_back(std::make_unique<AdminService>(network));
    services.push_back(std::make_unique<DocumentsService>(network));
    services.push_back(std::make_unique<WhiteboardService>(network));
    services.push_back(std::make_unique<HistoryService>(network));
    return services;
}

}  // namespace localnet
