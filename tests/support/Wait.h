#pragma once

#include <chrono>
#include <functional>

namespace testsupport {

// Polls `done` until it returns true or the deadline passes; returns whether it
// became true. For waiting on other threads without fixed sleeps.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds deadline = std::chrono::seconds(10));

}  // namespace testsupport
