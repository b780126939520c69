#include "HousekeepingHooks.h"

#include "AdditionalDeletion.h"
#include "AlarmWavs.h"
#include "Clock.h"
#include "ConferenceRecordings.h"
#include "JobRecord.h"
#include "WeeklyMove.h"

namespace qx {

namespace {

constexpr int kWeeklyMode = 1;

}  // namespace

HousekeepingHooks::HousekeepingHooks(Services& services)
    : m_services(services),
      m_ownFiles(std::make_unique<PosixFileOperations>()),
      m_ownDeleter(std::make_unique<Deleter>()),
      m_files(*m_ownFiles),
      m_deleter(*m_ownDeleter) {}

HousekeepingHooks::HousekeepingHooks(Services& services, FileOperations& files, Deleter& deleter)
    : m_services(services), m_files(files), m_deleter(deleter) {}

HousekeepingHooks::~HousekeepingHooks() = default;

// The jobs have logged what they did and what failed, file by file; the scheduler goes on either way,
// and the job record keeps the outcome.
void HousekeepingHooks::conferenceRecordings(SysTime now) {
    const HousekeepingResult result = processConferenceWavs(m_services, m_files, m_deleter, now);
    // The recordings are moved to the archive or deleted there: one count for both.
    reportJob(m_services, Job::ConferenceRecordings, now, result.ok(), result.reason(), result.done);
}

void HousekeepingHooks::alarmRecordings(SysTime now) {
    const HousekeepingResult result = deleteOldAlarmWavs(m_services, m_deleter, now);
    reportJob(m_services, Job::AlarmRecordings, now, result.ok(), result.reason(), -1, result.done);
}

void HousekeepingHooks::extraDeletion(SysTime now) {
    const HousekeepingResult result = deleteAdditionalFiles(m_services, m_deleter, now);
    reportJob(m_services, Job::ExtraDeletion, now, result.ok(), result.reason(), -1, result.done);
}

bool wantsMondayHousekeeping(const MoverSettings& settings) {
    return (settings.moveConferWav && !settings.moveConferWavDaily) || settings.delAlarmWav ||
           settings.deleteMoreFiles;
}

Result<> mondayMidnight(StatisticMover& mover, const MoverContext& context, bool* filed) {
    const MoverSettings& settings = context.settings;
    if (settings.moveMode == kWeeklyMode)
        return weeklyAtMidnight(mover, context, filed);
    JobHooks& hooks = mover.hooks();
    // The daily run of the scheduler takes the conference recordings when it is on.
    if (settings.moveConferWav && !settings.moveConferWavDaily)
        hooks.conferenceRecordings(context.now);
    if (settings.delAlarmWav)
        hooks.alarmRecordings(context.now);
    if (settings.deleteMoreFiles)
        hooks.extraDeletion(context.now);
    return {};
}

}  // namespace qx
