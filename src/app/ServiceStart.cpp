#include "ServiceStart.h"

namespace qx {

namespace {

bool isDirectory(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec);
}

std::string absoluteText(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    return (ec ? path : absolute).lexically_normal().string();
}

}  // namespace

std::optional<std::string> missingServiceDirectory(const PathMap& paths, const ActivityLog& log,
                                                   SysTime now) {
    if (!isDirectory(paths.root()))
        return "the installation root " + absoluteText(paths.root()) + " is not a directory (see --root)";
    if (!isDirectory(paths.windir()))
        return "the profile directory " + absoluteText(paths.windir()) + " is not a directory (see --windir)";
    std::filesystem::path logDirectory = log.fileFor(now).parent_path();
    if (!isDirectory(logDirectory))
        return "the log directory " + absoluteText(logDirectory) +
               " is not a directory (it lies below the working directory, see --workdir)";
    return std::nullopt;
}

std::string serviceStartLine(const PathMap& paths, const ActivityLog& log, SysTime now,
                             std::optional<SysTime> virtualUntil) {
    std::string clock = virtualUntil
                            ? "virtual " + formatLocalTime(now) + " until " + formatLocalTime(*virtualUntil)
                            : "system";
    return "qxmover: root " + absoluteText(paths.root()) + ", profile directory " +
           absoluteText(paths.windir()) + ", activity log " + absoluteText(log.fileFor(now)) + ", clock " +
           clock;
}

}  // namespace qx
