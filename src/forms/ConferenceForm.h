#pragma once

#include <string>

#include "Profile.h"

namespace qx {

// The write functions below try every key and return the first failure ("Cannot write KEY in
// [SECTION] of FILE: REASON"), empty when every key was written; the caller shows it.

// The conference recordings' keys of [Config] in qxmover.ini that their settings dialog edits.
struct ConferenceForm {
    bool moveToConferWav = true;
    std::string moveAfterWeeks = "10";
    std::string moveTo;
    bool delConferWav = true;
    std::string delAfterWeeks = "20";
    std::string delFrom;  // empty: the move directory
    bool daily = false;   // MoveConferWavDaily
};

ConferenceForm readConferenceForm(const Profile& profile);
std::string writeConferenceForm(Profile& profile, const ConferenceForm& settings);

// The delete step's keys that "Delete now" of the test dialog stores before it runs the job: the switch
// (on: the files listed are to go), the weeks and the directory.
std::string writeConferenceDeleteSettings(Profile& profile, int weeks, const std::string& directory);

// A week count typed into a text field: its leading digits, 0 for none.
int weeksOf(const std::string& text);

}  // namespace qx
