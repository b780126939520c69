#pragma once

#include <QObject>
#include <functional>
#include <thread>

namespace qx {

// Runs one long operation (moving, deleting, printing) at a time beside the window's thread, so
// that the window keeps answering. busyChanged(true) comes before the work starts and
// busyChanged(false) after it ended, both on the window's thread.
class OperationRunner : public QObject {
    Q_OBJECT
public:
    explicit OperationRunner(QObject* parent = nullptr) : QObject(parent) {}
    ~OperationRunner() override;

    // False, and nothing started, while another operation runs.
    bool start(std::function<void()> work);

    bool busy() const { return m_busy; }

    // Waits for a running operation to end (the window is closing).
    void wait();

signals:
    void busyChanged(bool busy);

private:
    void finished();

    std::thread m_thread;
    bool m_busy = false;
};

}  // namespace qx
