#pragma once

// The protocol side of the application state: the three connections, the
// routing context and the transport's own families, the data directory and
// installation identity, the login fields, the network found by the lookup,
// the account's rights and the sign-in counters. The application's state
// object owns one Client; nothing here is global, so two Clients can live in
// one process (two users against one local network).
//
// Threads: the sign-in routines, the setters and the families run on the
// user-interface thread; the ConnectionOwner calls come from network threads
// and reach the user-interface thread through the UiDispatcher.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "net/ClientListener.h"
#include "net/Connection.h"
#include "net/DataDirectory.h"
#include "net/Endpoints.h"
#include "net/MsgControl.h"
#include "net/MsgHost.h"
#include "net/MsgLogin.h"
#include "net/MsgNetwork.h"
#include "net/MsgZorvic.h"
#include "net/Router.h"
#include "net/Timings.h"
#include "net/Transfers.h"
#include "net/UiDispatcher.h"

namespace net {

class Client : public ConnectionOwner, public TransferListener {
  public:
    struct Options {
        Endpoints endpoints;
        Timings timings;
        Environment environment;
    };

    // Settles the data directory and the identity; creates the three idle
    // connections and registers the transport's families with the router.
    Client(UiDispatcher& ui, ClientListener& listener, Options options);
    ~Client() override;
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    Connection& Directory() { return *directory_; }
    Connection& NetworkServer() { return *network_; }
    Connection& FileServer() { return *file_; }
    Connection& ConnectionOfKind(int32_t kind);

    Router& router() { return router_; }
    // The per-slot transfer registrations of the file-server connection.
    TransferHooks& Transfers() { return transferHooks_; }
    ClientListener& Listener() { return listener_; }
    UiDispatcher& Ui() { return ui_; }
    const Endpoints& endpoints() const { return options_.endpoints; }
    const Timings& timings() const { return options_.timings; }

    const std::string& DataDirectory() const { return dataDirectory_; }
    std::string DataPath(std::string_view name) const {
        return net::DataPath(dataDirectory_, name);
    }
    const std::string& Identity() const { return identity_; }

    // The login fields sent by every login request (UTF-8; cut at a character
    // boundary to their 31 and 39 bytes).
    void SetLogin(const std::string& username, const std::string& password);
    std::string Username() const;
    std::string Password() const;

    // The zorvic number, and the host and flag word the lookup returned.
    void SetNumber(const std::string& number);
    std::string Number() const;
    void SetNetwork(const std::string& host, int32_t flags);
    std::string Host() const;
    int32_t NetworkFlags() const;
    // The network asks for an account creation code.
    bool RequiresCreationCode() const { return (NetworkFlags() & 2) != 0; }

    // Rights from the network server's login response; none (a regular
    // account) from the start of each login until that response.
    void SetRights(int32_t administrator, int32_t root);
    bool Administrator() const { return administrator_ != 0; }
    bool Root() const { return root_ != 0; }
    // 0 root, 1 administrator, 2 regular.
    int32_t Rank() const { return root_ ? 0 : (administrator_ ? 1 : 2); }

    // The authenticating window's flags, set by the disconnect notification
    // and consumed when the end of the login is shown.
    void SetUpdateRequired() { updateRequired_ = true; }
    void SetServerRefused() { serverRefused_ = true; }
    bool UpdateRequired() const { return updateRequired_; }
    bool ServerRefused() const { return serverRefused_; }

    int LoginResponses() const { return loginResponses_; }
    int Drops() const;

    // --- Sign-in routines (user-interface thread) ---

    // Stores the number and looks it up on the directory server.
    void StartLookup(const std::string& number);
    // The login window was confirmed: a new attempt begins (the ends of
    // connections of earlier attempts are ignored from now on); reset the
    // drop counter and ask both server connections to stop. The application shows its windows and,
    // after the login delay, calls StartLoginConnections.
    void BeginLogin();
    void StartLoginConnections();
    // The user cancelled a running login: both server connections end in
    // the cancelled state, and their end returns the user to the login window.
    void CancelLogin();

    // After the creation delay: open the network-server connection alone,
    // marked for account creation, and queue the creation request on it.
    void SetAccountCreationRecord(const AccountCreationRecord& record);
    const AccountCreationRecord& AccountCreation() const { return creation_; }
    bool StartAccountCreation();
    void CancelAccountCreation();

    // One login response arrived (either connection). At the second: both
    // connections are logged in, the listener hears LoginCompleted, and the
    // opening requests are queued.
    void LoginResponseReceived();

    // Adds a request queued once both logins have been answered; they go out
    // in the order they were added (the application adds them at start-up).
    void AddOpeningRequest(std::function<bool(Client&)> send);

    // Ends every connection's threads (also done by the destructor).
    void Shutdown();

    // --- ConnectionOwner (network threads) ---
    void QueueFirstRequest(Connection& connection) override;
    void Dispatch(Connection& connection, const bufHeader& header) override;
    void Disconnected(Connection& connection, int32_t endState, bool accountCreation) override;
    void TransferReadFailed(Connection& connection, int slot) override;

    // --- TransferListener: what transfers show goes to the listener ---
    void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override;
    void ShowServerResponse(const std::string& response, const std::string& details) override;

  private:
    // Runs `report` on the user-interface thread unless this attempt's
    // outcome was already shown (both connections may end with it).
    void PostOutcome(uint64_t attempt, std::function<void()> report);
    void ConnectionDroppedRoutine();
    void StopServers();

    UiDispatcher& ui_;
    ClientListener& listener_;
    Options options_;
    std::string dataDirectory_;
    std::string identity_;

    mutable std::mutex fieldsMutex_;  // fields read by network threads
    std::string username_;
    std::string password_;
    std::string number_;
    std::string host_;
    int32_t networkFlags_ = 0;

    // User-interface thread only.
    int32_t administrator_ = 0;
    int32_t root_ = 0;
    int loginResponses_ = 0;
    bool updateRequired_ = false;
    bool serverRefused_ = false;
    // Counts login and creation attempts; changed on the user-interface
    // thread, read by network threads to tell a stale connection end.
    std::atomic<uint64_t> attempt_{1};
    uint64_t outcomeShownFor_ = 0;  // the attempt whose end was shown
    AccountCreationRecord creation_;
    std::vector<std::function<bool(Client&)>> opening_;

    mutable std::mutex dropMutex_;
    int drops_ = 0;

    TransferHooks transferHooks_;
    Router router_;
    MsgControl control_;
    MsgLogin login_;
    MsgHost hostFamily_;
    MsgNetwork networkFamily_;

    // Last, so that they end (and stop calling back) first.
    std::unique_ptr<Connection> directory_;
    std::unique_ptr<Connection> network_;
    std::unique_ptr<Connection> file_;
};

}  // namespace net
