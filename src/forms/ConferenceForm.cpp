#include "ConferenceForm.h"

#include <cstdlib>

#include "ProfileNames.h"

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

void writeConferenceForm(Profile& p, const ConferenceForm& c) {
    const char* f = ini::kMover;
    const char* s = ini::kConfig;
    p.writeString(f, s, "MoveToConferWav", c.moveToConferWav ? "1" : "0");
    p.writeString(f, s, "MoveConferWavAfterWeeks", std::to_string(weeksOf(c.moveAfterWeeks)));
    p.writeString(f, s, "MoveConferWavTo", c.moveTo);
    p.writeString(f, s, "DelConferWav", c.delConferWav ? "1" : "0");
    p.writeString(f, s, "DelConferWavAfterWeeks", std::to_string(weeksOf(c.delAfterWeeks)));
    p.writeString(f, s, "DelConferWavFrom", c.delFrom);
    p.writeString(f, s, "MoveConferWavDaily", c.daily ? "1" : "0");
}

void writeConferenceDeleteSettings(Profile& p, int weeks, const std::string& directory) {
    p.writeString(ini::kMover, ini::kConfig, "DelConferWavAfterWeeks", std::to_string(weeks));
    p.writeString(ini::kMover, ini::kConfig, "DelConferWavFrom", directory);
}

int weeksOf(const std::string& text) {
    return std::atoi(text.c_str());
}

}  // namespace qx
