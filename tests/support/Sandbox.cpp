#include "Sandbox.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace qx::test {

Sandbox::Sandbox() : Sandbox(fs::temp_directory_path()) {}

Sandbox::Sandbox(const fs::path& parent) : m_root(makeUniqueDirectory(parent, "qxtest-")) {}

Sandbox::~Sandbox() {
    std::error_code ec;
    // Read-only directories made by a test would stop the removal.
    for (auto it = fs::recursive_directory_iterator(m_root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    // A child a test started may still be writing its last line while the tree is removed; a second
    // pass takes what it wrote.
    for (int pass = 0; pass < 3 && fs::exists(m_root, ec); ++pass)
        fs::remove_all(m_root, ec);
}

fs::path Sandbox::file(std::string_view relative, std::string_view content,
                       std::optional<std::chrono::system_clock::time_point> mtime) const {
    fs::path p = path(relative);
    fs::create_directories(p.parent_path());
    {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    if (mtime)
        setMtime(p, *mtime);
    return p;
}

std::optional<std::string> plantLink(const fs::path& target, const fs::path& link, bool directory) {
    std::error_code ec;
    if (directory)
        fs::create_directory_symlink(target, link, ec);
    else
        fs::create_symlink(target, link, ec);
    if (ec)
        return ec.message();
    return std::nullopt;
}

fs::path Sandbox::dir(std::string_view relative) const {
    fs::path p = path(relative);
    fs::create_directories(p);
    return p;
}

fs::path Sandbox::recordingScript(std::string_view relative, const fs::path& record) const {
    fs::path p = file(relative, recordingScriptText(record));
    fs::permissions(p, fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    return p;
}

std::string Sandbox::read(std::string_view relative) const {
    return readFile(path(relative));
}

bool Sandbox::exists(std::string_view relative) const {
    return fs::exists(path(relative));
}

void Sandbox::makeReadOnly(std::string_view relative) const {
    fs::path p = path(relative);
    if (!fs::exists(p))
        fs::create_directories(p);
    fs::permissions(
        p, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read | fs::perms::others_read);
}

std::vector<std::string> namesIn(const fs::path& directory) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(directory, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace qx::test
