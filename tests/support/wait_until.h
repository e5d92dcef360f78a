#pragma once

#include <chrono>
#include <thread>

namespace quen::testing {

// Polls `condition` every 10 ms until it holds; false when `timeout` passes first. It is
// asked once more after the deadline, so that a state reached in time is never missed
// because a sleep overran.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace quen::testing
