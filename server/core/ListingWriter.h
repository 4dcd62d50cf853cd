#pragma once

// The entries of a folder listing as the servers write them: type, size,
// locked, name and modified text, as many as one message holds. Shared by
// every service that lists a folder (the document stores, a session's
// history), so that every listing reads the same on the client.

#include <QtGlobal>
#include <cstdint>
#include <string>

#include "net/MessageBuffer.h"

namespace localnet {

// "Tue Mar  4 09:15:02 2025\n" in local time; "?\n" when it cannot be said.
std::string ListingModifiedText(qint64 seconds);

// Appends one entry when it fits the message; otherwise leaves the writer as
// it was and returns false, which ends the listing there (the message stays
// whole). Sizes beyond what the field holds are written as its maximum.
bool AppendListingEntry(net::MessageWriter& w, int32_t type, qint64 size, bool locked,
                        const std::string& name, const std::string& modified);

}  // namespace localnet
