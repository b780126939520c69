#include "DeletionDirectory.h"
#include "ActivityLog.h"
#include "PathMap.h"

namespace fs = std::filesystem;

namespace qx {

std::unique_ptr<DirectoryHandle> openForDeletion(const Services& services, std::string_view directory,
                                                 HousekeepingResult& result, DryRunOutput* dryRun) {
    auto refuse = [&](const std::string& why) {
        const std::string line = "Refused to delete files in " + std::string(directory) + ": " + why;
        services.log.note(line);
        result.stepRefused(line);
        return nullptr;
    };
    auto opened = std::make_unique<DirectoryHandle>(services.paths.native(directory),
                                                    DirectoryRules{&services.paths, dryRun});
    if (opened->isOpen())
        return opened;
    if (opened->refusal() != DirectoryRefusal::None)
        return refuse(std::string("it is ") + describe(opened->refusal()));
    if (opened->isLink())
        return refuse("it is a symbolic link, which is never followed");
    const std::error_code error = opened->error();
    if (error == std::errc::no_such_file_or_directory)
        return nullptr;
    const std::string line = "Cannot read directory " + std::string(directory) + ": " + error.message();
    services.log.note(line);
    result.stepRefused(line);
    return nullptr;
}

void deleteCounted(const Services& services, Deleter& deleter, DirectoryHandle& directory,
                   const std::string& name, std::string_view failure, std::string_view shown,
                   HousekeepingResult& result) {
    const std::error_code ec = deleter.remove(directory, name);
    if (!ec) {
        ++result.done;
        return;
    }
    if (ec == std::errc::no_such_file_or_directory)  // gone meanwhile: nothing to do
        return;
    const std::string line = std::string(failure) + std::string(shown) + ": " + ec.message();
    if (result.failedFiles == 0)
        services.log.note(line);
    result.fileFailed(line);
}

}  // namespace qx
