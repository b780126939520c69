#include "PipeInbox.h"

#include <algorithm>
#include <cstring>

namespace qx::detail {

std::size_t PipeInbox::append(const char* data, std::size_t length) {
    const std::size_t kept = std::min(length, room());
    m_bytes.append(data, kept);
    return kept;
}

bool PipeInbox::hasString() {
    const char* from = m_bytes.data() + m_start + m_searched;
    const std::size_t left = size() - m_searched;
    const void* nul = left == 0 ? nullptr : std::memchr(from, '\0', left);
    if (!nul) {
        m_searched = size();
        return false;
    }
    // Stays on the NUL: the next call finds it again at once.
    m_searched = static_cast<std::size_t>(static_cast<const char*>(nul) - (m_bytes.data() + m_start));
    return true;
}

bool PipeInbox::contains(char ch) {
    if (ch == '\0')
        return hasString();
    return size() > 0 && std::memchr(m_bytes.data() + m_start, ch, size()) != nullptr;
}

bool PipeInbox::takeChar(char& ch) {
    if (size() == 0)
        return false;
    ch = m_bytes[m_start++];
    if (m_searched > 0)
        --m_searched;
    dropTaken();
    return true;
}

bool PipeInbox::takeString(char* buf, std::size_t size) {
    if (size == 0 || !hasString())
        return false;
    const std::size_t length = m_searched;
    const std::size_t copy = std::min(length, size - 1);
    std::memcpy(buf, m_bytes.data() + m_start, copy);
    buf[copy] = '\0';
    m_start += length + 1;
    m_searched = 0;
    dropTaken();
    return true;
}

void PipeInbox::clear() {
    std::string().swap(m_bytes);
    m_start = m_searched = 0;
}

// The taken bytes go once they are at least as many as those kept, so that moving the rest costs each
// byte a bounded number of moves and the memory stays within twice the limit.
void PipeInbox::dropTaken() {
    if (m_start == 0 || m_start < m_bytes.size() - m_start)
        return;
    m_bytes.erase(0, m_start);
    m_start = 0;
}

}  // namespace qx::detail
