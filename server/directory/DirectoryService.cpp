#include "server/directory/DirectoryService.h"

#include "server/core/ClientSession.h"
#include "server/core/LocalNetwork.h"

namespace localnet {

DirectoryService::DirectoryService(LocalNetwork& network) : network_(network) {
    network_.GetRouter().Register(
        ServerKind::Directory, net::Primary::Host, net::host::kLookup,
        [this](ClientSession& session, const net::bufHeader&, net::MessageReader& fields) {
            std::string number;
            const Network* found = nullptr;
            if (fields.Str(1, 255, number))
                found = network_.GetStore().FindNetwork(QString::fromStdString(number));
            if (found) {
                net::MessageWriter w(net::host::kLookupOK);
                w.Str(QString::number(found->flags).toStdString())
                    .Str(network_.Options().host.toStdString());
                session.Send(w, net::Primary::Host);
                network_.Log(session.PeerText() + " lookup " + found->number + " answered");
            } else {
                net::MessageWriter w(net::host::kLookupRefused);
                session.Send(w, net::Primary::Host);
                network_.Log(session.PeerText() + " lookup refused");
            }
            session.CloseAfterFlush();
        },
        Access::Anyone);
}

}  // namespace localnet
