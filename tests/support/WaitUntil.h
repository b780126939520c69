#pragma once

#include <chrono>
#include <thread>

namespace qx::test {

// Polls `done` every `step` until it holds or `limit` has passed; the result of the last look, so that
// a condition met at the limit still counts.
template <class Done>
bool waitUntil(Done&& done, std::chrono::milliseconds limit = std::chrono::seconds(30),
               std::chrono::microseconds step = std::chrono::milliseconds(2)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return done();
        std::this_thread::sleep_for(step);
    }
    return true;
}

}  // namespace qx::test
