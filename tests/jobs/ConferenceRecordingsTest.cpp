#include "ConferenceRecordings.h"

#include <sstream>

#include "DryRun.h"
#include "FileAge.h"
#include "ProfileNames.h"

#include "ActivityLog.h"
#include "Clock.h"
#include "JobsFixture.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

namespace qx::test {
namespace {

namespace fs = std::filesystem;

// Recordings appear in root/qxt/log/confwav and are archived in root/archive.
class ConferenceTest : public JobsTest {
protected:
    ConferenceTest() {
        clock.advanceTo(now);
        sandbox.dir("root/qxt/log/confwav");
        sandbox.dir("root/archive");
        ini(ini::kMover, "Config", "MoveConferWavTo", "\\archive");
    }

    void run() { result = processConferenceWavs(services, files, deleter, now); }
    std::vector<std::string> lines() { return activity(49); }
    static std::string body(const std::string& line) { return line.substr(15); }  // without "DD.MM, HH:MM,  "
    std::vector<std::string> bodies() {
        std::vector<std::string> out;
        for (const auto& line : lines())
            out.push_back(body(line));
        return out;
    }

    SysTime now = at(2026, 12, 1, 0);
    SysTime weeksAgo(int weeks, int extraSeconds = 1) {
        return now - weeks * kWeek - std::chrono::seconds(extraSeconds);
    }
    Deleter deleter;
    HousekeepingResult result;
};

// A move across file systems whose completion reports what a real one can: a source that could not be
// deleted once its copy was safe, and one that changed while it was copied.
struct CompletingFiles : PosixFileOperations {
    struct Transfer : FileTransfer {
        std::optional<SysTime> lastWrite(std::string_view, std::error_code& error) override {
            error = std::make_error_code(std::errc::not_supported);
            return std::nullopt;
        }
        std::error_code move(std::string_view) override { return {}; }
        std::error_code copy(std::string_view) override { return {}; }
        std::vector<TransferProblem> complete() override {
            return {{"a.wav", std::make_error_code(std::errc::permission_denied), false},
                    {"b.wav", {}, true}};
        }
    };
    std::unique_ptr<FileTransfer> transfer(const fs::path&, const fs::path&) override {
        return std::make_unique<Transfer>();
    }
};

// The real moves, with a stop asked for after the first one, as a SIGTERM in the middle of the job.
struct StoppingFiles : PosixFileOperations {
    struct Transfer : FileTransfer {
        std::unique_ptr<FileTransfer> real;
        std::stop_source* stop;
        std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override {
            return real->lastWrite(name, error);
        }
        std::error_code move(std::string_view name) override {
            std::error_code ec = real->move(name);
            stop->request_stop();
            return ec;
        }
        std::error_code copy(std::string_view name) override { return real->copy(name); }
        std::vector<TransferProblem> complete() override { return real->complete(); }
    };
    std::unique_ptr<FileTransfer> transfer(const fs::path& from, const fs::path& to) override {
        auto transfer = std::make_unique<Transfer>();
        transfer->real = PosixFileOperations::transfer(from, to);
        transfer->stop = &stop;
        return transfer;
    }
    std::stop_source stop;
};

TEST_F(ConferenceTest, BothSwitchesOffDoNothingAndLogNothing) {
    ini(ini::kMover, "Config", "MoveToConferWav", "0");
    ini(ini::kMover, "Config", "DelConferWav", "0");
    sandbox.file("root/qxt/log/confwav/a.wav", "", weeksAgo(30));
    run();
    EXPECT_TRUE(sandbox.exists("root/qxt/log/confwav/a.wav"));
    EXPECT_FALSE(sandbox.exists("work/log/qxmover_49.log"));
}

TEST_F(ConferenceTest, NoDirectoriesRefusesToRunInsteadOfUsingTheWorkingDirectory) {
    ini(ini::kMover, "Config", "MoveConferWavTo", "");
    sandbox.file("work/old.wav", "", weeksAgo(30));
    sandbox.file("root/qxt/log/confwav/a.wav", "", weeksAgo(30));
    run();
    EXPECT_TRUE(sandbox.exists("work/old.wav"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/confwav/a.wav"));
    EXPECT_THAT(bodies(),
                ElementsAre("Conference wavfiles not processed: MoveConferWavTo and DelConferWavFrom "
                            "name no directory"));
    EXPECT_FALSE(result.ok());
}

TEST_F(ConferenceTest, MovesOldRecordingsKeepingTheirTimeNeverOverAnArchivedOne) {
    ini(ini::kMover, "Config", "DelConferWav", "0");
    // Absent MoveConferWavAfterWeeks: ten weeks.
    sandbox.file("root/qxt/log/confwav/b.wav", "new bytes", weeksAgo(10));
    sandbox.file("root/qxt/log/confwav/d.wav", "other bytes", weeksAgo(10));
    sandbox.file("root/qxt/log/confwav/a.wav", "young", weeksAgo(10, -1));
    sandbox.file("root/qxt/log/confwav/c.evt", "", weeksAgo(30));
    sandbox.file("root/archive/d.wav", "an archived recording of the same name");
    // What a killed copy into the archive left: no writer holds it.
    sandbox.file("root/archive/.e.wav.qxcopy-1-1", "half of e");
    run();
    EXPECT_EQ(sandbox.read("root/archive/b.wav"), "new bytes");
    EXPECT_FALSE(sandbox.exists("root/qxt/log/confwav/b.wav"));
    EXPECT_EQ(fs::last_write_time(sandbox.path("root/archive/b.wav")),
              fs::file_time_type::clock::from_sys(weeksAgo(10)));
    EXPECT_EQ(sandbox.read("root/archive/d.wav"), "an archived recording of the same name");
    EXPECT_EQ(sandbox.read("root/qxt/log/confwav/d.wav"), "other bytes");
    EXPECT_FALSE(sandbox.exists("root/archive/.e.wav.qxcopy-1-1"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/confwav/a.wav"));
    EXPECT_TRUE(sandbox.exists("root/qxt/log/confwav/c.evt"));
    // The archived d.wav is never replaced: its move fails the job, and the source stays.
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.done, 1);
    EXPECT_THAT(bodies(),
                ElementsAre("Move conf-wavfiles which are older then 10 weeks to directory \\archive",
                            "Deleted partial copy \\archive.\\.e.wav.qxcopy-1-1 of a stopped move",
                            "Move conf-wavfile b.wav", "Move conf-wavfile d.wav",
                            "Failed to move conf-wavfile \\qxt\\log\\confwav.\\d.wav to \\archive.\\d.wav",
                            "1 conf-wavfiles successfully moved"));
}

TEST_F(ConferenceTest, FailedMoveIsLoggedAndTheSourceStays) {
    ini(ini::kMover, "Config", "DelConferWav", "0");
    ini(ini::kMover, "Config", "MoveConferWavTo", "\\missing");
    sandbox.file("root/qxt/log/confwav/a.wav", "keep", weeksAgo(11));
    run();
    EXPECT_EQ(sandbox.read("root/qxt/log/confwav/a.wav"), "keep");
    // The paths as configured, joined as the installation's programs join them.
    EXPECT_THAT(bodies(), ElementsAre(HasSubstr("older then 10 weeks"), "Move conf-wavfile a.wav",
                                      "Failed to move conf-wavfile \\qxt\\log\\confwav.\\a.wav to "
                                      "\\missing.\\a.wav",
                                      "0 conf-wavfiles successfully moved"));
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.reason(),
              "Failed to move conf-wavfile \\qxt\\log\\confwav.\\a.wav to \\missing.\\a.wav: No such file or "
              "directory");
}

TEST_F(ConferenceTest, AMoveCountsOnlyWhenItsSourceIsGone) {
    ini(ini::kMover, "Config", "DelConferWav", "0");
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        sandbox.file(std::string("root/qxt/log/confwav/") + name, "", weeksAgo(11));
    CompletingFiles completing;
    result = processConferenceWavs(services, completing, deleter, now);
    EXPECT_THAT(
        bodies(),
        ElementsAre(HasSubstr("older then 10 weeks"), "Move conf-wavfile a.wav", "Move conf-wavfile b.wav",
                    "Move conf-wavfile c.wav", "Failed to delete conf-wavfile \\qxt\\log\\confwav.\\a.wav",
                    "Keep conf-wavfile \\qxt\\log\\confwav.\\b.wav: it changed while it was copied; it "
                    "goes at the next run",
                    "1 conf-wavfiles successfully moved"));
    // A recording still being written is not a failure; a source that stayed beside its copy is.
    EXPECT_EQ(result.done, 1);
    EXPECT_EQ(result.failedFiles, 1);
    EXPECT_EQ(result.reason(),
              "Failed to delete conf-wavfile \\qxt\\log\\confwav.\\a.wav: Permission denied");
}

TEST_F(ConferenceTest, AStopEndsTheMoveBetweenTwoFilesAndSkipsTheDeletion) {
    for (const char* name : {"a.wav", "b.wav", "c.wav"})
        sandbox.file(std::string("root/qxt/log/confwav/") + name, name, weeksAgo(30));
    StoppingFiles stopping;
    Services job{paths,   profile, clock, state,   launcher,
                 prompts, strings, log,   nullptr, stopping.stop.get_token()};
    result = processConferenceWavs(job, stopping, deleter, now);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.done, 1);
    EXPECT_EQ(sandbox.read("root/archive/a.wav"), "a.wav");
    EXPECT_EQ(sandbox.read("root/qxt/log/confwav/b.wav"), "b.wav");
    EXPECT_EQ(sandbox.read("root/qxt/log/confwav/c.wav"), "c.wav");
    EXPECT_THAT(bodies(), ElementsAre(HasSubstr("older then 10 weeks"), "Move conf-wavfile a.wav",
                                      "Move of conf-wavfiles stopped before b.wav",
                                      "1 conf-wavfiles successfully moved"));
    // Run again with the stop still asked for: its scan is cut, and nothing is reported as done.
    result = processConferenceWavs(job, stopping, deleter, now);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.done, 0);
    EXPECT_EQ(sandbox.read("root/qxt/log/confwav/b.wav"), "b.wav");
    EXPECT_EQ(bodies().back(), "Move of conf-wavfiles stopped");
}

TEST_F(ConferenceTest, DeletesRecordingsAndEventFilesCountingEach) {
    ini(ini::kMover, "Config", "MoveToConferWav", "0");
    ini(ini::kMover, "Config", "DelConferEvtFiles", "1");
    // Absent DelConferWavAfterWeeks: twenty weeks; a file in the threshold's own second stays.
    for (const char* name : {"r1.wav", "r2.WAV", "r3.wav"})
        sandbox.file(std::string("root/archive/") + name, "", weeksAgo(20));
    sandbox.file("root/archive/e1.evt", "", weeksAgo(25));
    sandbox.file("root/archive/e2.evt", "", weeksAgo(25));
    sandbox.file("root/archive/edge.wav", "", weeksAgo(20, 0) + std::chrono::milliseconds(500));
    sandbox.dir("root/archive/dir.wav");
    setMtime(sandbox.path("root/archive/dir.wav"), weeksAgo(40));
    run();
    EXPECT_TRUE(sandbox.exists("root/archive/edge.wav"));
    EXPECT_TRUE(sandbox.exists("root/archive/dir.wav"));
    EXPECT_FALSE(sandbox.exists("root/archive/r2.WAV"));
    EXPECT_FALSE(sandbox.exists("root/archive/e1.evt"));
    EXPECT_THAT(bodies(),
                ElementsAre("Del conf-wavfiles which are older then 20 weeks in directory \\archive",
                            "Deleted file:r1.wav", "Deleted file:r2.WAV", "Deleted file:r3.wav",
                            "3 conf-wavfiles successfully deleted", "Deleted file:e1.evt",
                            "Deleted file:e2.evt", "2 event-files successfully deleted"));
}

TEST_F(ConferenceTest, DatabaseEntriesGoUpToTheDeleteThreshold) {
    EXPECT_EQ(databaseStamp(fromLocal(2024, 3, 5, 14, 7, 9)), "20240305140709");
    ini(ini::kMover, "Config", "MoveToConferWav", "0");
    ini(ini::kMover, "Config", "DelEntriesInSqlDb", "1");
    ini(ini::kMover, "Config", "DelConferWavAfterWeeks", "2");
    run();
    // Two weeks before 1 December 2026, 00:00 (a winter time on both sides).
    EXPECT_THAT(launcher.calls(), ElementsAre("run qxe.exe qxdelmysqlentry 1 -s120261117000000"));
}

TEST_F(ConferenceTest, LinksAreDeletedAsLinksAndLinkedDirectoriesRefused) {
    ini(ini::kMover, "Config", "MoveToConferWav", "0");
    sandbox.file("root/precious/keep.wav", "data", weeksAgo(30));
    QX_PLANT_LINK_OR_SKIP(sandbox.path("root/precious/keep.wav"), sandbox.path("root/archive/link.wav"));
    // The link's own time decides: an old link goes, as itself.
    setMtime(sandbox.path("root/archive/link.wav"), weeksAgo(30));
    run();
    EXPECT_FALSE(fs::exists(fs::symlink_status(sandbox.path("root/archive/link.wav"))));
    EXPECT_EQ(sandbox.read("root/precious/keep.wav"), "data");

    // A delete directory that is itself a link is not followed.
    QX_PLANT_LINK_OR_SKIP(sandbox.path("root/precious"), sandbox.path("root/linked"), true);
    ini(ini::kMover, "Config", "DelConferWavFrom", "\\linked");
    run();
    EXPECT_EQ(sandbox.read("root/precious/keep.wav"), "data");
    EXPECT_THAT(bodies(), ::testing::Contains(HasSubstr("symbolic link, which is never followed")));
}

TEST_F(ConferenceTest, ProtectedDirectoriesAreNeverCleared) {
    ini(ini::kMover, "Config", "MoveToConferWav", "0");
    sandbox.file("root/old.wav", "", weeksAgo(30));
    sandbox.file("root/windows/old.wav", "", weeksAgo(30));
    sandbox.file("work/old.wav", "", weeksAgo(30));
    for (const char* directory : {"\\", "\\windows", "\\archive\\..\\archive\\..", "."}) {
        ini(ini::kMover, "Config", "DelConferWavFrom", directory);
        run();
    }
    EXPECT_TRUE(sandbox.exists("root/old.wav"));
    EXPECT_TRUE(sandbox.exists("root/windows/old.wav"));
    EXPECT_TRUE(sandbox.exists("work/old.wav"));
    std::string all;
    for (const auto& line : bodies())
        all += line + "\n";
    EXPECT_THAT(all, HasSubstr("it is the installation root"));
    EXPECT_THAT(all, HasSubstr("it is the profile directory"));
    EXPECT_THAT(all, HasSubstr("it is the working directory"));
}

TEST_F(ConferenceTest, DryRunListsWhatTheRealRunWouldDo) {
    ini(ini::kMover, "Config", "DelConferWavFrom", "\\qxt\\log\\confwav");
    sandbox.file("root/qxt/log/confwav/a.wav", "", weeksAgo(25));
    std::ostringstream out;
    DryRunFileOperations dryFiles(out);
    DryRunDeleter dryDeleter(out);
    EXPECT_TRUE(processConferenceWavs(services, dryFiles, dryDeleter, now).ok());
    fs::path dir = sandbox.path("root/qxt/log/confwav");
    EXPECT_EQ(out.str(), "move " + (dir / "a.wav").string() + " " +
                             (sandbox.path("root/archive") / "a.wav").string() + "\ndelete " +
                             (dir / "a.wav").string() + "\n");
    EXPECT_TRUE(sandbox.exists("root/qxt/log/confwav/a.wav"));
}

TEST_F(ConferenceTest, TestDeleteListingShowsTheOldRecordingsOfTheTypedDirectory) {
    sandbox.file("root/typed/b.wav", "", weeksAgo(3));
    sandbox.file("root/typed/a.wav", "", weeksAgo(3));
    sandbox.file("root/typed/young.wav", "", weeksAgo(2));
    sandbox.file("root/typed/c.evt", "", weeksAgo(9));
    fs::path dir = sandbox.path("root/typed");
    EXPECT_THAT(listConferenceDeletions(services, 3, "\\typed", now),
                ElementsAre((dir / "a.wav").string(), (dir / "b.wav").string()));
    EXPECT_THAT(listConferenceDeletions(services, 3, "\\nothing", now), IsEmpty());
    EXPECT_THAT(listConferenceDeletions(services, 3, "", now), IsEmpty());
    EXPECT_TRUE(sandbox.exists("root/typed/a.wav"));
}

}  // namespace
}  // namespace qx::test
