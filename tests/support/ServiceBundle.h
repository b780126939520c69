#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "ActivityLog.h"
#include "Clock.h"
#include "PathMap.h"
#include "Profile.h"
#include "RecordingLauncher.h"
#include "RecordingPrompts.h"
#include "Sandbox.h"
#include "Services.h"
#include "SharedState.h"
#include "StringTable.h"

namespace qx::test {

// Everything a job or a dialog works through, over a sandbox: the installation root in root/ (profile
// files in root/windows), the working directory work/ (made current for the bundle's life), a
// virtual clock, recording prompts and a recording launcher.
struct ServiceBundle {
    ServiceBundle() {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        sandbox.dir("root/windows");
        sandbox.dir("work/log");
        previous = std::filesystem::current_path();
        std::filesystem::current_path(sandbox.path("work"));
    }
    ~ServiceBundle() { std::filesystem::current_path(previous); }

    std::string get(const char* file, const char* section, const char* key) {
        return profile.getString(file, section, key, "<none>", 512);
    }
    void set(const char* file, const char* section, const char* key, const char* value) {
        ASSERT_TRUE(profile.writeString(file, section, key, value));
    }

    Sandbox sandbox;
    std::filesystem::path previous;
    PathMap paths{sandbox.path("root"), sandbox.path("root/windows"), drives()};
    Profile profile{[this](std::string_view f) { return paths.profileFile(f); }};
    VirtualClock clock{fromLocal(2026, 12, 7, 8, 5)};
    SharedState state;
    RecordingLauncher launcher;
    RecordingPrompts prompts;
    StringTable strings;
    ActivityLog log{clock, state, sandbox.path("work/log")};
    Services services{paths, profile, clock, state, launcher, prompts, strings, log, nullptr};

private:
    std::map<char, std::filesystem::path> drives() {
        return {{'D', sandbox.dir("drive-d")}, {'F', sandbox.dir("drive-f")}};
    }
};

}  // namespace qx::test
