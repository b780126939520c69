#pragma once

#include <string>

#include "Clock.h"
#include "SharedState.h"

namespace qx {

// The clock timer's week work: through the day latch (SharedState::dayState), computes the current,
// previous and due week once a day and publishes previous and due week. Driven every second by the
// dialog, or at every hour boundary by the headless runner (only the hour matters). Returns the
// current week when it computed, else -1.
int weekTimerTick(const LocalTime& now, SharedState& state);

class StringTable;

// The dialog's clock label at `now` and its week label for `week`, in the string table's formats.
std::string clockText(const StringTable& strings, const LocalTime& now);
std::string weekText(const StringTable& strings, int week);

}  // namespace qx
