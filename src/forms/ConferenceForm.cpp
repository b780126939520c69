#include "ConferenceForm.h"

#include <cstdlib>

#include "ProfileNames.h"
#include "ProfileWrites.h"

namespace qx {

ConferenceForm readConferenceForm(const Profile& p) {
    const char* f = ini::kMover;
    const char* s = ini::kConfig;
    ConferenceForm c;
    c.moveToConferWav = p.getInt(f, s, "MoveToConferWav", 1) != 0;
    c.moveAfterWeeks = p.getString(f, s, "MoveConferWavAfterWeeks", "10", 10);
    c.moveTo = p.getString(f, s, "MoveConferWavTo", "", 128);
    c.delConferWav = p.getInt(f, s, "DelConferWav", 1) != 0;
    c.delAfterWeeks = p.getString(f, s, "DelConferWavAfterWeeks", "20", 10);
    c.delFrom = p.getString(f, s, "DelConferWavFrom", "", 256);
    c.daily = p.getInt(f, s, "MoveConferWavDaily", 0) != 0;
    return c;
}

std::string writeConferenceForm(Profile& p, const ConferenceForm& c) {
    ProfileWrites writes(p);
    const char* f = ini::kMover;
    const char* s = ini::kConfig;
    writes.writeString(f, s, "MoveToConferWav", c.moveToConferWav ? "1" : "0");
    writes.writeString(f, s, "MoveConferWavAfterWeeks", std::to_string(weeksOf(c.moveAfterWeeks)));
    writes.writeString(f, s, "MoveConferWavTo", c.moveTo);
    writes.writeString(f, s, "DelConferWav", c.delConferWav ? "1" : "0");
    writes.writeString(f, s, "DelConferWavAfterWeeks", std::to_string(weeksOf(c.delAfterWeeks)));
    writes.writeString(f, s, "DelConferWavFrom", c.delFrom);
    writes.writeString(f, s, "MoveConferWavDaily", c.daily ? "1" : "0");
    return writes.failure();
}

std::string writeConferenceDeleteSettings(Profile& p, int weeks, const std::string& directory) {
    ProfileWrites writes(p);
    writes.writeString(ini::kMover, ini::kConfig, "DelConferWav", "1");
    writes.writeString(ini::kMover, ini::kConfig, "DelConferWavAfterWeeks", std::to_string(weeks));
    writes.writeString(ini::kMover, ini::kConfig, "DelConferWavFrom", directory);
    return writes.failure();
}

int weeksOf(const std::string& text) {
    return std::atoi(text.c_str());
}

}  // namespace qx
