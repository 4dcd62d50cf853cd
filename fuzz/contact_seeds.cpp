// Writes the routing fuzzers' seeds for the contact family: one input per
// message code the server may send (and a few that break off), in the input
// form of RouteInput.h: connection kind, family index, secondary, payload.
//   contact_seeds DIR
// The seeds in fuzz/seeds/route/ were made with it.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "net/Families.h"
#include "net/MessageBuffer.h"
#include "net/Protocol.h"

namespace {

namespace contact = net::contact;

int FamilyIndex(net::Primary primary) {
    for (size_t i = 0; i < std::size(net::kFamilies); ++i) {
        if (net::kFamilies[i].primary == primary) return static_cast<int>(i);
    }
    return -1;
}

bool Write(const std::string& dir, const std::string& name, net::Secondary secondary,
           net::MessageWriter& writer) {
    auto message = writer.Finish(net::Primary::Contact, secondary);
    if (!message) return false;
    // Read back as the receiver does: the seeds hold the plain payload.
    net::MessageBuffer plain;
    std::memcpy(plain.data, message->data, static_cast<size_t>(message->remaining));
    plain.done = message->remaining;
    net::bufHeader header;
    if (plain.ParseHeader(header) != net::kParseComplete) return false;
    std::ofstream out(dir + "/contact-" + name, std::ios::binary);
    const char head[3] = {1, static_cast<char>(FamilyIndex(net::Primary::Contact)),
                          static_cast<char>(+secondary)};
    out.write(head, sizeof head);
    out.write(reinterpret_cast<const char*>(plain.data) + net::kHeaderSize,
              header.nMsgLength - net::kHeaderSize);
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: contact_seeds DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    using S = net::Secondary;
    bool ok = true;
    {
        net::MessageWriter w(contact::kContactList);
        w.Int(3).Str("admin").Str("1").Int(0).Str("bob").Str("0").Int(1).Str("carol").Str("0").Int(
            2);
        ok &= Write(dir, "list", S::Response, w);
    }
    {
        net::MessageWriter w(contact::kContactList);
        w.Int(2).Str("bob").Str("0").Int(1).Str("carol");
        ok &= Write(dir, "list-cut", S::Response, w);
    }
    {
        net::MessageWriter w(contact::kContactList);
        w.Int(1000);
        ok &= Write(dir, "list-count", S::Response, w);
    }
    {
        net::MessageWriter w(contact::kUnknownUser);
        ok &= Write(dir, "unknown-user", S::Response, w);
    }
    {
        net::MessageWriter w(contact::kRecipientOffline);
        w.Str("bob");
        ok &= Write(dir, "offline", S::Response, w);
    }
    {
        net::MessageWriter w(contact::kStatusChanged);
        w.Int(1).Str("bob");
        ok &= Write(dir, "status", S::Notification, w);
    }
    {
        net::MessageWriter w(contact::kIncomingMessage);
        w.Str("bob").Int(0).Int(0).Int(0).Int(255).Int(1).Int(0).Int(0).Int(0).Str("hello");
        ok &= Write(dir, "message", S::Notification, w);
    }
    {
        net::MessageWriter w(9);
        ok &= Write(dir, "unknown-response", S::Response, w);
    }
    {
        net::MessageWriter w(contact::kListRequest);
        ok &= Write(dir, "unknown-secondary", S::Message, w);
    }
    return ok ? 0 : 1;
}
