#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

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
#include "ThreadSet.h"

namespace qx::test {

// Set before any member computes a local time.
struct BerlinTime {
    // On Windows the zone is the system's: the test run's TZ sets Wine's.
    BerlinTime() { useCentralEuropeanTime(); }
};

// How a bundle is set up. The start is a local time (Europe/Berlin), turned into a time point only
// after the time zone is set.
struct BundleSetup {
    struct Local {
        int year, month, day, hour, minute = 0;
    };
    Local start{2026, 12, 7, 8, 5};
    bool skipIdlePasses = true;  // the virtual clock's shortcut over idle passes
    bool threads = false;        // a ThreadSet in the services, for on-demand threads
    std::string drives{};        // drive letters mapped to drive-x/ in the sandbox ("DF")
};

// Everything a job, a command or a dialog works through, over a sandbox: the installation root in
// root/ (profile files in root/windows), the working directory work/ (made current for the bundle's
// life, the activity log in work/log), a virtual clock, recording prompts and a launcher: a
// RecordingLauncher unless the fixture gives another, which is built from the bundle's profile and
// clock when it takes them. Fixtures derive from it, dialog tests hold one.
template <class LauncherType = RecordingLauncher>
struct BasicServiceBundle : private BerlinTime {
    explicit BasicServiceBundle(BundleSetup s = {}) : bundleSetup(std::move(s)) {
        sandbox.dir("work/log");
        previousCwd = std::filesystem::current_path();
        std::filesystem::current_path(sandbox.path("work"));
    }
    ~BasicServiceBundle() { std::filesystem::current_path(previousCwd); }
    BasicServiceBundle(const BasicServiceBundle&) = delete;
    BasicServiceBundle& operator=(const BasicServiceBundle&) = delete;

    std::string get(const char* file, const char* section, const char* key) {
        return profile.getString(file, section, key, "<none>", 512);
    }
    void set(const char* file, const char* section, const char* key, const std::string& value) {
        ASSERT_TRUE(profile.writeString(file, section, key, value));
    }
    void ini(const char* file, const char* section, const char* key, const std::string& value) {
        set(file, section, key, value);
    }

    static SysTime at(int year, int month, int day, int hour, int minute = 0) {
        return fromLocal(year, month, day, hour, minute);
    }

    BundleSetup bundleSetup;
    Sandbox sandbox;
    std::filesystem::path previousCwd;
    PathMap paths{sandbox.path("root"), sandbox.dir("root/windows"), drives()};
    Profile profile{[this](std::string_view f) { return paths.profileFile(f); }};
    VirtualClock clock{at(bundleSetup.start.year, bundleSetup.start.month, bundleSetup.start.day,
                          bundleSetup.start.hour, bundleSetup.start.minute),
                       bundleSetup.skipIdlePasses};
    SharedState state;
    LauncherType launcher{makeLauncher()};
    RecordingPrompts prompts;
    StringTable strings;
    ActivityLog log{clock, state, sandbox.path("work/log")};
    // Declared after what the threads use, so that they end first.
    std::optional<ThreadSet> threadSet{bundleSetup.threads ? std::optional<ThreadSet>(std::in_place, clock)
                                                           : std::nullopt};
    Services services{
        paths, profile, clock, state, launcher, prompts, strings, log, threadSet ? &*threadSet : nullptr};

private:
    std::map<char, std::filesystem::path> drives() {
        std::map<char, std::filesystem::path> mapped;
        for (char letter : bundleSetup.drives)
            mapped[letter] = sandbox.dir(std::string("drive-") + static_cast<char>(letter - 'A' + 'a'));
        return mapped;
    }
    LauncherType makeLauncher() {
        if constexpr (std::is_constructible_v<LauncherType, Profile&, Clock&>)
            return LauncherType(profile, clock);
        else
            return LauncherType();
    }
};

// The dialogs' bundle, with drives D: and F:.
struct ServiceBundle : BasicServiceBundle<> {
    ServiceBundle() : BasicServiceBundle({.drives = "DF"}) {}
};

}  // namespace qx::test
