#pragma once

// A Notifier for tests: records every notification instead of showing it,
// keeping each one's action so that a test can click it.

#include <QString>
#include <functional>
#include <vector>

#include "shell/Notifier.h"

namespace testsupport {

class RecordingNotifier final : public shell::Notifier {
  public:
    struct Call {
        shell::NotificationKind kind;
        QString title;
        QString body;
        std::function<void()> open;
    };

    void Notify(shell::NotificationKind kind, const QString& title, const QString& body,
                std::function<void()> open) override {
        calls.push_back({kind, title, body, std::move(open)});
    }

    size_t Count(shell::NotificationKind kind) const {
        size_t n = 0;
        for (const Call& c : calls) n += c.kind == kind ? 1 : 0;
        return n;
    }
    // The latest notification of that kind, or null.
    const Call* Last(shell::NotificationKind kind) const {
        for (auto it = calls.rbegin(); it != calls.rend(); ++it)
            if (it->kind == kind) return &*it;
        return nullptr;
    }

    std::vector<Call> calls;
};

}  // namespace testsupport
