#pragma once

// The receiving side of a pipe end, apart from the socket so that it can be tested and fuzzed with
// any sequence of bytes and pieces; private to the library.

#include <chrono>
#include <cstddef>
#include <string>

namespace qx::detail {

// What a pipe end has received and its caller has not taken yet: the wire's bytes in order, read as
// strings each ended by a NUL. Holds at most `limit` bytes, in memory of the order of the limit. Each
// byte is looked at a bounded number of times however it arrives (one byte at a time from a slow
// peer, say) and however many strings are taken, so that a peer cannot make the reader's work grow
// with the square of what it sends.
class PipeInbox {
public:
    explicit PipeInbox(std::size_t limit) : m_limit(limit) {}

    // Bytes received and not taken.
    std::size_t size() const { return m_bytes.size() - m_start; }
    // How many more bytes may arrive.
    std::size_t room() const { return m_limit - size(); }

    // Adds `length` bytes that arrived; only the first room() of them are kept. Returns how many were.
    std::size_t append(const char* data, std::size_t length);

    // True when a complete string has arrived.
    bool hasString();
    // True when the inbox is full and holds no complete string: none can ever be taken from it.
    bool stuck() { return room() == 0 && !hasString(); }
    // True when byte `ch` has arrived and is not taken yet.
    bool contains(char ch);

    // Takes the oldest byte; false when there is none.
    bool takeChar(char& ch);
    // Copies the oldest complete string into `buf` of `size` bytes, cut to size - 1 bytes and ended by a
    // NUL, and removes it with its NUL (a cut rest is dropped, so the next call gets the next whole
    // string). False, with `buf` untouched, when no complete string has arrived or `size` is 0.
    bool takeString(char* buf, std::size_t size);

    // Forgets everything received and gives the memory back.
    void clear();

private:
    void dropTaken();

    std::string m_bytes;
    std::size_t m_start = 0;     // the first byte not taken
    std::size_t m_searched = 0;  // bytes from m_start on known to hold no NUL (or up to the NUL found)
    std::size_t m_limit;
};

// Why a pipe end cuts its connection when its inbox is stuck.
inline constexpr const char* kStuckReason = "string longer than the received buffer's limit: connection cut";

// Waits up to `ms` (< 0: without limit) until `inbox` holds a complete string; false when none came.
// The system's pipe end supplies the rest: `over()` is true once no more bytes can come (the other end
// gone, an abort), `wait(left)` returns when bytes may have arrived or `left` ms have passed (< 0:
// without limit), and `pull()` moves what arrived into the inbox.
template <class Over, class Wait, class Pull>
bool awaitString(PipeInbox& inbox, int ms, Over over, Wait wait, Pull pull) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    while (!inbox.hasString()) {
        if (over())
            return false;
        int left = -1;
        if (ms >= 0) {
            auto rest = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (rest.count() <= 0)
                return false;
            left = static_cast<int>(rest.count());
        }
        wait(left);
        pull();
    }
    return true;
}

}  // namespace qx::detail
