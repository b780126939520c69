#include "OperationRunner.h"

#include <exception>

namespace qx {

OperationRunner::~OperationRunner() {
    wait();
}

bool OperationRunner::start(std::function<void()> work) {
    if (m_busy)
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_busy = true;
    emit busyChanged(true);
    m_thread = std::thread([this, work = std::move(work)] {
        try {
            work();
        } catch (const std::exception&) {
            // The operations report their own failures; nothing may escape the thread.
        }
        QMetaObject::invokeMethod(
            this, [this] { finished(); }, Qt::QueuedConnection);
    });
    return true;
}

void OperationRunner::finished() {
    if (m_thread.joinable())
        m_thread.join();
    m_busy = false;
    emit busyChanged(false);
}

void OperationRunner::wait() {
    if (m_thread.joinable())
        m_thread.join();
}

}  // namespace qx
