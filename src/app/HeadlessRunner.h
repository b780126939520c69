#pragma once

#include <optional>

#include "Clock.h"
#include "Services.h"

namespace qx {

class SingleInstance;

// Runs the service without a window: the clock timer's week work at every hour boundary (show requests
// of later starts that came meanwhile are drained then; the signal watcher answers them at once), until a
// stop is requested (SIGTERM, SIGINT) or, on a virtual clock, the `until` time is reached. Then every thread
// is stopped and joined.
class HeadlessRunner {
public:
    HeadlessRunner(Services& services, SingleInstance* instance)
        : m_services(services), m_instance(instance) {}

    // `self` is the calling thread's membership of the clock, taken before start-up so that a virtual
    // clock stands still until the runner first sleeps; it ends before the threads are joined.
    // Returns the process exit code (0 on a clean stop).
    int run(std::optional<SysTime> until, ClockMember self);

private:
    Services& m_services;
    SingleInstance* m_instance;
};

// What a windowless service does when a later start asks it to show itself: it takes up the settings as
// they are in the profile now, as the dialog does when it is shown, and notes "Show mover". Safe to
// call from any thread.
void answerShowRequest(Services& services);

}  // namespace qx
