#include "SettingKeys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <sstream>

#include "ActivityLog.h"
#include "Profile.h"
#include "Sandbox.h"
#include "SharedState.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx {
namespace {

// One value fed to one key: what the reader must use, what it must tell (once), and what the file
// must hold afterwards.
struct BadValue {
    const SettingKey* key;
    const char* stored;  // nullptr: the key is missing
    int used;
    const char* told;       // part of the one log line; nullptr: nothing is told
    const char* fileAfter;  // the stored value afterwards; nullptr: as it was
    int number = 2;         // for numbered keys
};

// The file, section and range make each row's name unique (one key may have two readings): ctest tells
// its tests apart by these names.
void PrintTo(const BadValue& v, std::ostream* out) {
    *out << v.key->file << "." << v.key->sectionName(v.number) << "." << v.key->keyName(v.number) << "."
         << v.key->low << "to" << v.key->high << "=" << (v.stored ? v.stored : "<missing>");
}

class SettingKeysTest : public ::testing::TestWithParam<BadValue> {
protected:
    SettingKeysTest() { test::useCentralEuropeanTime(); }

    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        std::istringstream in(test::readFile(log.fileFor(clock.now())));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(line.find(",  ") + 3));
        return lines;
    }
    std::string stored(const SettingKey& key, int number) const {
        return profile.getString(key.file, key.section, key.keyName(number), "<missing>", 64);
    }

    test::Sandbox sandbox;
    Profile profile{sandbox.dir("windows")};
    VirtualClock clock{fromLocal(2026, 12, 9, 8, 0)};
    SharedState state;
    ActivityLog log{clock, state, sandbox.dir("log")};
    SettingReader reader{profile, SettingReport{log, state.settingNotices}, &profile};
};

// Garbage, huge and negative values of every key the monitors and the scheduler read: each gives its
// default or bound (never a wrapped or overflowing number) and one log line, however often it is read.
TEST_P(SettingKeysTest, BadValueTakesItsDefaultOrBoundAndIsToldOnce) {
    const BadValue& v = GetParam();
    const std::string name = v.key->keyName(v.number);
    if (v.stored) {
        ASSERT_TRUE(profile.writeString(v.key->file, v.key->section, name, v.stored));
    }

    EXPECT_EQ(reader.integer(*v.key, v.number), v.used);
    EXPECT_EQ(reader.integer(*v.key, v.number), v.used);  // every pass reads again

    if (v.told) {
        EXPECT_THAT(logLines(), ElementsAre(HasSubstr(std::string(v.key->file) + " [" +
                                                      std::string(v.key->section) + "] " + name + "=")));
        EXPECT_THAT(logLines(), ElementsAre(HasSubstr(v.told)));
    } else {
        EXPECT_THAT(logLines(), IsEmpty());
    }
    EXPECT_EQ(stored(*v.key, v.number), v.fileAfter ? v.fileAfter : v.stored ? v.stored : "<missing>");
}

INSTANTIATE_TEST_SUITE_P(
    MonitorAndSchedulerKeys, SettingKeysTest,
    ::testing::Values(
        // The disk check hour: 24, 31 and -1 switched the check off.
        BadValue{&keys::kCheckTime, "24", 7, "=24 is out of range (0 to 23); 7 is used instead", nullptr},
        BadValue{&keys::kCheckTime, "31", 7, "out of range", nullptr},
        BadValue{&keys::kCheckTime, "-1", 7, "out of range", nullptr},
        BadValue{&keys::kCheckTime, "seven", 7, "=seven is not a number; 7 is used instead", nullptr},
        BadValue{&keys::kCheckTime, "4294967303", 7, "out of range", nullptr},  // wrapped, it was 7
        BadValue{&keys::kCheckTime, nullptr, 7, nullptr, nullptr},
        BadValue{&keys::kCheckTime, " 23 ", 23, nullptr, "23"},
        // The minimum space: -1 made every drive low.
        BadValue{&keys::kMinSpace, "-1", 200, "(at least 1); 200 is used instead", nullptr},
        BadValue{&keys::kMinSpace, "4294967295", 200, "out of range", nullptr},
        BadValue{&keys::kMinSpace, "lots", 200, "not a number", nullptr},
        BadValue{&keys::kMinSpace, "0x400", 1024, nullptr, nullptr},
        // The web trigger's minute: 60 never came.
        BadValue{&keys::kStartOnMin, "60", 7, "(0 to 59); 7 is used instead", nullptr},
        BadValue{&keys::kStartOnMin, "-5", 7, "7 is used instead and written back", "7"},
        BadValue{&keys::kStartOnMin, "abc", 7, "not a number", nullptr},
        BadValue{&keys::kStartOnMin, nullptr, 7, nullptr, "7"},
        // The job watcher's interval: 200,000,000 minutes overflowed the sleep and spun.
        BadValue{&keys::kCheckJobIntervalMin, "200000000", 5, "(1 to 10080); 5 is used instead", nullptr},
        BadValue{&keys::kCheckJobIntervalMin, "-3", 5, "out of range", nullptr},
        BadValue{&keys::kCheckJobIntervalMin, "0", 5, nullptr, "5"},
        BadValue{&keys::kCheckJobIntervalMin, "5 min", 5, "not a number", nullptr},
        // The line watchdog's hours: 400,000,000 wrapped the limit negative.
        BadValue{&keys::kDeltaHours, "400000000", 168, "(1 to 168); 168 is used instead", nullptr},
        BadValue{&keys::kDeltaHours, "-4", 1, "1 is used instead and written back", "1"},
        BadValue{&keys::kDeltaHours, "0", 1, nullptr, "1"},
        BadValue{&keys::kDeltaHours, "many", 1, "not a number; 1 is used instead", nullptr},
        // The job watcher's alarm: text or nothing started alarm 0.
        BadValue{&keys::kStartOnErrorAlarm, "abc", -1, "=abc is not a number; no alarm is started", nullptr},
        BadValue{&keys::kStartOnErrorAlarm, "", -1, "= is not a number; no alarm is started", nullptr},
        BadValue{&keys::kStartOnErrorAlarm, "5", -1, "(10 to 9999); no alarm is started", nullptr},
        BadValue{&keys::kStartOnErrorAlarm, "15", 15, nullptr, nullptr},
        // The disk call's retries and the watchdog box's interval.
        BadValue{&keys::kDialPhoneRetry, "-9", 4, nullptr, "4"},
        BadValue{&keys::kDialPhoneRetry, "1000", 4, "out of range", nullptr},
        BadValue{&keys::kBoxInterval, "-10", 0, "0 is used instead", nullptr},
        BadValue{&keys::kBoxInterval, "99999999999", 527040, "527040 is used instead", nullptr},
        // The further drives, per drive.
        BadValue{&keys::kDriveSpace, "150", 100, "Space2=150 is out of range (0 to 100); 100 is used instead",
                 nullptr},
        BadValue{&keys::kDriveSpace, "-5", 0, "0 is used instead", nullptr},
        BadValue{&keys::kDriveSpace, "full", 0, "not a number", nullptr},
        BadValue{&keys::kDriveAlarm, "5", -1,
                 "StartAlarm2=5 is out of range (10 to 9999); no alarm is started", nullptr},
        // The main dialog's wait: the weekly list ends at 53, a longer wait is a year of 52 weeks.
        BadValue{&keys::kWaitBeforeDel, "60", 52, "(1 to 53); 52 is used instead", nullptr},
        BadValue{&keys::kWaitBeforeDel, "53", 53, nullptr, nullptr},
        BadValue{&keys::kWaitBeforeDel, "0", 1, "1 is used instead", nullptr},
        // Read as months it was held to a year without a word.
        BadValue{&keys::kWaitBeforeDelMonths, "13", 12,
                 "WaitBeforeDel=13 is out of range (1 to 12); 12 is used instead", nullptr},
        BadValue{&keys::kWaitBeforeDelMonths, "53", 12, "12 is used instead", nullptr},
        BadValue{&keys::kWaitBeforeDelMonths, "12", 12, nullptr, nullptr},
        // Flags written back when missing: a stored marker counts as missing too.
        BadValue{&keys::kStart2ndBatch, "-9", 0, nullptr, "0"},
        BadValue{&keys::kDelAlarmWavWeeks, nullptr, 4, nullptr, "4"},
        BadValue{&keys::kDelAlarmWavWeeks, "-2", 0, "0 is used instead", nullptr},
        // The per-server counters of a numbered section, and a counter that would overflow its + 1.
        BadValue{&keys::kLineCheckCounter, "2147483647", 1000000, "1000000 is used instead", nullptr},
        // The switches: a value the scheduler and the thread would read differently is off, and told.
        BadValue{&keys::kDelLogFiles, "2", 0, "(0 to 1); the statistic files are not deleted", nullptr},
        BadValue{&keys::kPrintReport, "2", 0, "no alarm report is printed", nullptr},
        BadValue{&keys::kLineChecksActive, "2", 0,
                 "WDogActive=2 is out of range (0 to 1); the line checks are off", nullptr},
        BadValue{&keys::kBoxCallsActive, "yes", 0,
                 "Active=yes is not a number; the watchdog box calls are off", nullptr},
        BadValue{&keys::kCheckJob, "2", 0, "CheckJob2=2 is out of range (0 to 1); the slot is not watched",
                 nullptr},
        BadValue{&keys::kRestartSystem, "2", 0, "the system is not restarted", nullptr},
        BadValue{&keys::kLineStartAlarm, "-50", 0, "(0 to 9999); no alarm is started", nullptr},
        // The timed tasks, per task: a value that matches nothing is told, not silently never run.
        BadValue{&keys::kTaskTime, "25", -1, "Time2=25 is out of range (0 to 23); the task is not started",
                 nullptr},
        BadValue{&keys::kTaskTime, "-1", -1, "the task is not started", nullptr},
        BadValue{&keys::kTaskDay, "9", 9, "(at most 8); the task is not started", nullptr},
        BadValue{&keys::kTaskDay, "-3", -3, nullptr, nullptr},
        BadValue{&keys::kTaskType, "3", -1, "the task is not started", nullptr},
        // The line test call's kind, the web trigger's switch, the alarm lists' range and the status.
        BadValue{&keys::kPostType, "2", 0, "PostType=2 is out of range (0 to 1); one queued call is placed",
                 nullptr},
        BadValue{&keys::kPostType, "1 line", 0, "not a number; one queued call is placed", nullptr},
        BadValue{&keys::kActivateWebTrigger, "2", 0, "(-1 to 1); 0 is used instead", nullptr},
        BadValue{&keys::kActivateWebTrigger, "-5", -1, "-1 is used instead", nullptr},
        BadValue{&keys::kActivateWebTrigger, nullptr, -1, nullptr, nullptr},
        BadValue{&keys::kFirstAlarmKey, "-1", 0, "(0 to 9999); 0 is used instead", nullptr},
        BadValue{&keys::kLastAlarmKey, "4294967295", 9999, "9999 is used instead", nullptr},
        BadValue{&keys::kLineStatus, "7", 0, "Status=7 is out of range (0 to 1); 0 is used instead",
                 nullptr}));

// Every row of the key table, fed garbage text, a huge and a negative value, and the values just
// outside its range: each gives the row's default, bound or fallback, never a wrapped number, and one
// log line that names the file, section, key and value and what is used instead, however often it is
// read. A text longer than its room is cut and told likewise; any other text is itself. A row added to
// the table is covered here without a word more.
class EveryKeyTest : public SettingKeysTest {
protected:
    // What a number outside the row's range becomes, and the end of its line.
    static std::pair<int, std::string> instead(const SettingKey& key, std::optional<long long> value) {
        if (value && key.belowRangeIsMissing && *value < key.low)
            return {key.defaultValue, std::to_string(key.defaultValue) + " is used instead and written back"};
        if (key.outOfRange == OutOfRange::Fallback)
            return {key.fallback, std::string(key.fallbackMeaning)};
        int used = key.defaultValue;
        if (value && key.outOfRange == OutOfRange::NearestBound)
            used = *value < key.low ? key.low : key.aboveHigh.value_or(key.high);
        return {used, std::to_string(used) + " is used instead"};
    }
};

TEST_P(EveryKeyTest, BadValuesTakeTheRowsDefaultOrBoundAndAreToldOnce) {
    const SettingKey& key = *GetParam().key;
    const std::string name = key.keyName(2), section = key.sectionName(3);
    const std::string where = std::string(key.file) + " [" + section + "] " + name + "=";
    std::size_t told = 0;
    std::string used, line;  // what the last value fed gave, and its log line
    auto feed = [&](const std::string& stored) {
        ASSERT_TRUE(profile.writeString(key.file, section, name, stored));
        std::vector<std::string> values;
        for (int pass = 0; pass < 2; ++pass)
            values.push_back(key.type == SettingType::Text ? reader.text(key, 2, 3)
                                                           : std::to_string(reader.integer(key, 2, 3)));
        EXPECT_EQ(values[0], values[1]) << stored;
        const std::vector<std::string> lines = logLines();
        ASSERT_EQ(lines.size(), ++told) << stored;
        EXPECT_THAT(lines.back(), ::testing::StartsWith(where));
        used = values[0];
        line = lines.back();
    };

    if (key.type == SettingType::Text) {
#ifdef _WIN32
        // The watched alarms' room of 64 KiB lies beyond what the profile reads of a line under Wine
        // (the cut list of the event watchdog's tests is left out there for the same reason).
        if (key.size > 32'768)
            GTEST_SKIP() << key.keyName(2) << ": a value longer than the profile reads of a line here";
#endif
        const std::string longer(key.size + 10, 'x');
        feed(longer);
        EXPECT_EQ(used, longer.substr(0, key.size - 1));
        EXPECT_THAT(line, HasSubstr("is longer than " + std::to_string(key.size - 1) + " characters"));
        for (const char* fine : {"garbage", "-99999999999", ""}) {
            ASSERT_TRUE(profile.writeString(key.file, section, name, fine));
            EXPECT_EQ(reader.text(key, 2, 3), fine);
        }
        EXPECT_EQ(logLines().size(), told);
        return;
    }

    {
        feed("garbage");
        EXPECT_EQ(used, std::to_string(instead(key, std::nullopt).first));
        EXPECT_THAT(line, HasSubstr("=garbage is not a number; " + instead(key, std::nullopt).second));
    }
    std::vector<long long> outside{99999999999LL, -99999999999LL};
    if (key.low > INT_MIN && key.marker != key.low - 1)
        outside.push_back(key.low - 1LL);
    if (key.high < INT_MAX)
        outside.push_back(key.high + 1LL);
    for (long long value : outside) {
        feed(std::to_string(value));
        EXPECT_EQ(used, std::to_string(instead(key, value).first));
        EXPECT_THAT(line, HasSubstr("is out of range"));
        EXPECT_THAT(line, ::testing::EndsWith("; " + instead(key, value).second));
    }
    // The bounds themselves are taken as they are (a flag as on), and told nothing.
    for (long long bound : {static_cast<long long>(key.low), static_cast<long long>(key.high)}) {
        if (bound == INT_MIN || bound == INT_MAX || key.marker == bound)
            continue;
        ASSERT_TRUE(profile.writeString(key.file, section, name, std::to_string(bound)));
        EXPECT_EQ(reader.integer(key, 2, 3), bound);
    }
    EXPECT_EQ(logLines().size(), told);
}

std::vector<BadValue> everyKey() {
    std::vector<BadValue> rows;
    for (const SettingKey* key : keys::kAll)
        rows.push_back(BadValue{key, nullptr, 0, nullptr, nullptr});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(KeyTable, EveryKeyTest, ::testing::ValuesIn(everyKey()));

TEST(SettingKeysReadingTest, AnotherBadValueIsToldAgainAndNothingIsToldWithoutAReport) {
    test::Sandbox sandbox;
    Profile profile{sandbox.dir("windows")};
    VirtualClock clock{fromLocal(2026, 12, 9, 8, 0)};
    SharedState state;
    ActivityLog log{clock, state, sandbox.dir("log")};
    const SettingReader silent(profile);
    const SettingReader told(profile, SettingReport{log, state.settingNotices});

    ASSERT_TRUE(profile.writeString("qxmover.ini", "HDCheck", "CheckTime", "24"));
    EXPECT_EQ(silent.integer(keys::kCheckTime), 7);
    EXPECT_EQ(told.integer(keys::kCheckTime), 7);
    ASSERT_TRUE(profile.writeString("qxmover.ini", "HDCheck", "CheckTime", "25"));
    EXPECT_EQ(told.integer(keys::kCheckTime), 7);
    EXPECT_EQ(told.integer(keys::kCheckTime), 7);
    // Without a profile to write to, a missing write-back key is used but not written.
    EXPECT_EQ(told.integer(keys::kStartOnMin), 7);
    EXPECT_EQ(profile.getString("qxmover.ini", "WebTrigger", "StartOnMin", "<missing>", 16), "<missing>");

    std::istringstream in(test::readFile(log.fileFor(clock.now())));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    EXPECT_THAT(lines, ElementsAre(HasSubstr("CheckTime=24"), HasSubstr("CheckTime=25")));
}

TEST(SettingKeysReadingTest, NumbersAreReadStrictlyAndNeverWrap) {
    EXPECT_EQ(parseSettingNumber(" 42 "), 42);
    EXPECT_EQ(parseSettingNumber("-7"), -7);
    EXPECT_EQ(parseSettingNumber("0x1F"), 31);
    EXPECT_EQ(parseSettingNumber("007"), 7);
    EXPECT_EQ(parseSettingNumber("99999999999999999999999"), LLONG_MAX);
    EXPECT_EQ(parseSettingNumber("-99999999999999999999999"), -LLONG_MAX);
    for (const char* garbage : {"", " ", "42A", "B42", "yes", "0x", "--1", "1 2", "+"})
        EXPECT_FALSE(parseSettingNumber(garbage).has_value()) << garbage;
    // An alarm list entry, or a week count typed with its unit: the number it starts with.
    EXPECT_EQ(parseSettingNumber("12  Fire", true), 12);
    EXPECT_EQ(parseSettingNumber(" -3x", true), -3);
    EXPECT_EQ(parseSettingNumber("0x1Fg", true), 31);
    EXPECT_EQ(parseSettingNumber("0x", true), 0);
    for (const char* garbage : {"", "Fire 12", "-x", "x1"})
        EXPECT_FALSE(parseSettingNumber(garbage, true).has_value()) << garbage;
}

}  // namespace
}  // namespace qx
