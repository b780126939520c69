#include "RunCommand.h"

#include <ostream>

namespace qx {

const std::vector<std::string>& runnableJobs() {
    static const std::vector<std::string> jobs;
    return jobs;
}

int runJobCommand(const GlobalOptions&, const RunOptions& options, std::ostream&, std::ostream& err) {
    err << "qxmover: unknown job \"" << options.job << "\"" << std::endl;
    return 2;
}

}  // namespace qx
