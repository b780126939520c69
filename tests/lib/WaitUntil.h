#pragma once

#include <chrono>
#include <thread>

namespace qx::test {

// Polls `done` until it holds or `limit` has passed; the result of the last look.
template <class Done>
bool waitUntil(Done done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace qx::test
