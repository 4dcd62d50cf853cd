#pragma once

// What the account module offers the composition root: the account family's
// responses that are not about creating an account (information and the two
// changes). The sign-in flow keeps the creation responses and hands the
// others here.

namespace net {
class Connection;
struct bufHeader;
}  // namespace net

namespace account {

class AccountResponses {
  public:
    virtual ~AccountResponses() = default;
    // One account response in the connection's receive buffer.
    virtual void HandleAccountResponse(net::Connection& connection,
                                       const net::bufHeader& header) = 0;
};

}  // namespace account
