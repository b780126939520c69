#pragma once

#include <condition_variable>
#include <mutex>

#include "Prompts.h"

namespace qx {

// The message boxes as Qt boxes, owned by the active window. On the window's thread a question is
// asked at once; from any other thread it is handed to the window's thread and the caller waits for
// the answer, so that an operation running in the background still asks before it acts. A warning
// from another thread, or from the start-up before the window's event loop runs, is shown without
// holding its caller.
class QtPrompts : public Prompts {
public:
    // `unattended`: nobody is there to answer (pictures are being taken): warnings go to standard
    // error and questions are answered No, without boxes.
    explicit QtPrompts(bool unattended = false) : m_unattended(unattended) {}

    void warn(std::string_view text, std::string_view caption) override;
    bool ask(std::string_view text, std::string_view caption) override;

    // From now on questions from other threads are answered No without a box (the window is going).
    void shutdown();

private:
    std::mutex m_mutex;
    std::condition_variable m_answered;
    bool m_closing = false;
    bool m_unattended;
};

}  // namespace qx
