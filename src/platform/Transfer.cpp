#include "Transfer.h"

#include <algorithm>

namespace fs = std::filesystem;

namespace qx {

bool isPartialCopyName(std::string_view name) {
    constexpr std::string_view marker = ".qxcopy-";
    std::size_t at = name.rfind(marker);
    if (name.size() < 2 || name[0] != '.' || at == std::string_view::npos || at == 0)
        return false;
    std::string_view tail = name.substr(at + marker.size());
    std::size_t dash = tail.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash + 1 == tail.size())
        return false;
    for (char c : tail)
        if ((c < '0' || c > '9') && c != '-')
            return false;
    return true;
}

std::vector<std::string> detail::partialCopies(const DirectoryHandle& directory,
                                               const std::function<bool(const std::string& name)>& take) {
    std::vector<std::string> names;
    if (!directory.isOpen())
        return names;
    for (const DirectoryEntry& entry : directory.list())
        if (!entry.isDirectory && isPartialCopyName(entry.name) && take(entry.name))
            names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// What a dry run would move: the times are real, the changes printed.
class DryRunTransfer : public FileTransfer {
public:
    DryRunTransfer(const fs::path& from, const fs::path& to, DryRunOutput& out)
        : m_from(from), m_to(to), m_out(out) {}

    std::optional<SysTime> lastWrite(std::string_view name, std::error_code& error) override {
        std::optional<EntryStatus> st = m_from.status(name, &error);
        return st ? std::optional<SysTime>(st->lastWrite) : std::nullopt;
    }
    std::error_code move(std::string_view name) override { return print("move", name); }
    std::error_code copy(std::string_view name) override { return print("copy", name); }
    std::vector<std::string> clearPartialCopies() override {
        std::vector<std::string> dead = abandonedPartialCopies(m_to.path());
        for (const std::string& name : dead)
            m_out.print("delete", m_to.path() / name);
        return dead;
    }

private:
    std::error_code print(std::string_view verb, std::string_view name) {
        const fs::path to = m_to.path() / name;
        m_out.print(verb, m_from.path() / name, &to);
        return {};
    }

    DirectoryHandle m_from;
    DirectoryHandle m_to;
    DryRunOutput& m_out;
};

}  // namespace

std::unique_ptr<FileTransfer> openRealTransfer(const fs::path& from, const fs::path& to, TransferStep step,
                                               std::size_t batchFiles);

std::unique_ptr<FileTransfer> openTransfer(const fs::path& from, const fs::path& to, TransferStep step,
                                           std::size_t batchFiles, DryRunOutput* dryRun) {
    if (dryRun)
        return std::make_unique<DryRunTransfer>(from, to, *dryRun);
    return openRealTransfer(from, to, std::move(step), batchFiles);
}

}  // namespace qx
