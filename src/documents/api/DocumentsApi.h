#pragma once

// What the documents module offers the rest of the program: opening another
// user's document store from a menu (a contact's, a session participant's).
// Found with ModuleContext::Find<documents::DocumentsApi>(); may be absent.

#include <string>

namespace documents {

class DocumentsApi {
  public:
    virtual ~DocumentsApi() = default;

    // Asks for the root folder of `owner`'s documents for the Retrieve
    // Documents window, which the listing then brings up. False when the
    // request could not be sent.
    virtual bool RetrieveDocuments(const std::string& owner) = 0;
};

}  // namespace documents
