#include "HeadlessRunner.h"

#include "ActivityLog.h"
#include "Clock.h"
#include "MoverSettings.h"
#include "Profile.h"
#include "SharedState.h"
#include "SingleInstance.h"
#include "ThreadSet.h"
#include "WeekTimer.h"

namespace qx {

void answerShowRequest(Services& s) {
    MoverSettings previous;
    previous.waitBeforeDel = s.state.waitBeforeDel.load();
    publishSettings(loadSettings(s.profile, previous), s.state);
    s.log.note("Show mover");
}

int HeadlessRunner::run(std::optional<SysTime> until, ClockMember self) {
    Services& s = m_services;
    ThreadSet& threads = *s.threads;
    std::stop_token stop = threads.token();
    {
        ClockMember member = std::move(self);
        for (;;) {
            SysTime now = s.clock.now();
            weekTimerTick(toLocal(now), s.state);
            if (m_instance && m_instance->takeShowRequest())
                answerShowRequest(s);
            if (until && now >= *until)
                break;
            SysTime wake = nextFullHour(now);
            if (until && *until < wake)
                wake = *until;
            if (!s.clock.sleepUntil(wake, stop))
                break;
        }
        // Stopped while still a member of the clock: once this thread leaves it, the others' time
        // would run on past the end of a rehearsal until they see the stop.
        threads.stop();
    }
    return 0;
}

}  // namespace qx
