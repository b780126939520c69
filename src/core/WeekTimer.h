#pragma once

#include "Clock.h"
#include "SharedState.h"

namespace qx {

// The clock timer's week work: through the day latch (SharedState::dayState), computes the current,
// previous and due week once a day and publishes previous and due week. Driven every second by the
// dialog, or at every hour boundary by the headless runner (only the hour matters). Returns the
// current week when it computed, else -1.
int weekTimerTick(const LocalTime& now, SharedState& state);

}  // namespace qx
