#pragma once

#include <string>
#include <vector>

#include "DialogJobs.h"
#include "Services.h"
#include "SettingRecords.h"

namespace qx {

// The conference recordings' dialog: what its switches leave usable, and OK.
struct ConferenceEnabled {
    bool move = false;    // the weeks and the archive directory of the move step
    bool remove = false;  // the weeks and the directory of the delete step
};
ConferenceEnabled conferenceEnabled(const ConferenceSettings& settings);

// OK: writes the settings; false when a key could not be written (shown).
bool saveConference(Services& services, const ConferenceSettings& settings);

// "Test delete": lists what the delete step of `settings` (as the dialog holds them, saved or not)
// would remove now, and deletes it on request.
class TestDeleteForm {
public:
    TestDeleteForm(Services& services, DialogJobs jobs, const ConferenceSettings& settings);

    // The heading (text 183 with the weeks).
    std::string caption() const;
    // The lines of the list: the files, or text 184 when there is none.
    std::vector<std::string> lines() const;
    const std::vector<std::string>& listed() const { return m_listed; }

    // "Delete now", on the window's thread before any work: false, and the user has been told why, when
    // deleting is off in these settings or its weeks and directory cannot be stored (the job reads them
    // from the profile and would otherwise delete by the old ones).
    bool prepareDeletion();
    // The work, meant for a thread beside the window's: the conference recordings' job.
    void deleteListed();
    // After the work, on the window's thread: names the listed files that are still there (the
    // activity log says why). True when every listed file is gone.
    bool finished();

private:
    Services& m_services;
    DialogJobs m_jobs;
    int m_weeks;
    std::string m_directory;
    bool m_deleting;
    std::vector<std::string> m_listed;
};

}  // namespace qx
