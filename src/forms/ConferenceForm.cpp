#include "ConferenceForm.h"

#include <filesystem>

#include "ActivityLog.h"
#include "Clock.h"
#include "ConferenceRecordings.h"
#include "DialogTexts.h"
#include "ProfileWrites.h"
#include "Prompts.h"
#include "StringTable.h"
#include "TextFormat.h"

namespace qx {

ConferenceEnabled conferenceEnabled(const ConferenceSettings& c) {
    return {c.moveStep, c.deleteStep};
}

bool saveConference(Services& s, const ConferenceSettings& settings) {
    return savedOrWarned(writeConferenceSettings(s.profile, settings), s.prompts, s.strings);
}

TestDeleteForm::TestDeleteForm(Services& s, DialogJobs jobs, const ConferenceSettings& settings)
    : m_services(s),
      m_jobs(std::move(jobs)),
      m_weeks(settings.deleteWeeks),
      m_directory(settings.deleteDirectory()),
      m_deleting(settings.deleteStep),
      m_listed(listConferenceDeletions(s, m_weeks, m_directory, s.clock.now())) {}

std::string TestDeleteForm::caption() const {
    return formatText(m_services.strings.get(kStrListedWavfiles), {m_weeks});
}

std::vector<std::string> TestDeleteForm::lines() const {
    if (m_listed.empty())
        return {m_services.strings.get(kStrNoWavfiles)};
    return m_listed;
}

bool TestDeleteForm::prepareDeletion() {
    Services& s = m_services;
    // The job would run its move step alone, and what the list shows would stay.
    if (!m_deleting) {
        s.prompts.warn(s.strings.get(kTxtDeleteStepOff), s.strings.get(kStrErrorCaption));
        return false;
    }
    return savedOrWarned(writeConferenceDeleteSettings(s.profile, m_weeks, m_directory), s.prompts,
                         s.strings);
}

void TestDeleteForm::deleteListed() {
    if (m_jobs.conferenceRecordings)
        m_jobs.conferenceRecordings(m_services, m_services.clock.now());
    else
        m_services.log.note("Delete now: the conference recordings job is not part of this build");
}

bool TestDeleteForm::finished() {
    std::vector<std::string> left;
    for (const std::string& file : m_listed) {
        std::error_code ec;
        if (std::filesystem::symlink_status(file, ec).type() != std::filesystem::file_type::not_found)
            left.push_back(file);
    }
    if (left.empty())
        return true;
    // The names, as many as a box can show; the activity log has every failure with its reason.
    constexpr std::size_t kShown = 10;
    std::string text = m_services.strings.format(kTxtNotDeleted, std::to_string(left.size()));
    for (std::size_t i = 0; i < left.size() && i < kShown; ++i)
        text += "\n" + left[i];
    if (left.size() > kShown)
        text += "\n...";
    m_services.prompts.warn(text, m_services.strings.get(kStrErrorCaption));
    return false;
}

}  // namespace qx
