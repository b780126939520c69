#include "QtPrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <iostream>
#include <memory>

#include "UiText.h"

namespace qx {

namespace {

bool onWindowThread() {
    return qApp && QThread::currentThread() == qApp->thread();
}

bool askNow(const QString& text, const QString& caption) {
    return QMessageBox::question(QApplication::activeWindow(), caption, text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

void QtPrompts::warn(std::string_view text, std::string_view caption) {
    if (m_unattended) {
        std::cerr << caption << " " << text << std::endl;
        return;
    }
    QString t = displayText(text), c = displayText(caption);
    // During the start-up no event loop runs yet, and nothing would end a box's own loop: a stop
    // (SIGTERM) would wait for somebody to press OK. The box is shown when the window's loop runs.
    if (onWindowThread() && QThread::currentThread()->loopLevel() > 0) {
        QMessageBox::warning(QApplication::activeWindow(), c, t);
        return;
    }
    if (!qApp)
        return;
    QMetaObject::invokeMethod(
        qApp,
        [t, c] {
            auto* box =
                new QMessageBox(QMessageBox::Warning, c, t, QMessageBox::Ok, QApplication::activeWindow());
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->open();
        },
        Qt::QueuedConnection);
}

bool QtPrompts::ask(std::string_view text, std::string_view caption) {
    if (m_unattended)
        return false;
    QString t = displayText(text), c = displayText(caption);
    if (onWindowThread())
        return askNow(t, c);
    if (!qApp)
        return false;
    struct Pending {
        bool done = false;
        bool yes = false;
    };
    auto pending = std::make_shared<Pending>();
    {
        std::lock_guard lock(m_mutex);
        if (m_closing)
            return false;
    }
    QMetaObject::invokeMethod(
        qApp,
        [this, pending, t, c] {
            bool yes = askNow(t, c);
            std::lock_guard lock(m_mutex);
            pending->yes = yes;
            pending->done = true;
            m_answered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_answered.wait(lock, [&] { return pending->done || m_closing; });
    return pending->done && pending->yes;
}

void QtPrompts::shutdown() {
    std::lock_guard lock(m_mutex);
    m_closing = true;
    m_answered.notify_all();
}

}  // namespace qx
