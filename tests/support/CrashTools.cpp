#include "CrashTools.h"

#include <sched.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace qx::test {

namespace fs = std::filesystem;

std::uint64_t checksum(std::string_view bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::optional<std::string> readWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::optional<std::uint64_t> checksumOf(const fs::path& file) {
    std::optional<std::string> bytes = readWhole(file);
    if (!bytes)
        return std::nullopt;
    return checksum(*bytes);
}

void KillSwitch::step() {
    if (++steps == killAt)
        ::raise(SIGKILL);
}

SecondFileSystem::SecondFileSystem(const fs::path& near) {
    if (near.empty())
        return;
    std::string pattern = "/dev/shm/qxtest-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        return;
    struct stat there {
    }, here{};
    if (::stat(pattern.c_str(), &there) == 0 && ::stat(near.c_str(), &here) == 0 &&
        there.st_dev != here.st_dev) {
        m_path = pattern;
        return;
    }
    std::error_code ec;
    fs::remove_all(pattern, ec);
}

SecondFileSystem::~SecondFileSystem() {
    std::error_code ec;
    if (!m_path.empty())
        fs::remove_all(m_path, ec);
}

SmallFileSystem::SmallFileSystem(const fs::path& directory, std::size_t bytes) : m_directory(directory) {
    const std::string options = "size=" + std::to_string(bytes);
    m_mounted = ::unshare(CLONE_NEWNS) == 0 &&
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                ::mount("qxtest", directory.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallFileSystem::~SmallFileSystem() {
    if (m_mounted)
        ::umount2(m_directory.c_str(), MNT_DETACH);
}

bool fill(const fs::path& file, std::uintmax_t leave) {
    struct statvfs space {};
    if (::statvfs(file.parent_path().c_str(), &space) != 0)
        return false;
    const std::uintmax_t available = static_cast<std::uintmax_t>(space.f_bavail) * space.f_frsize;
    std::uintmax_t wanted = available > leave ? available - leave : 0;
    std::FILE* filler = std::fopen(file.c_str(), "wb");
    if (!filler)
        return false;
    std::setvbuf(filler, nullptr, _IONBF, 0);
    const std::string block(4096, 'f');
    while ((leave == 0 || wanted >= block.size()) &&
           std::fwrite(block.data(), 1, block.size(), filler) == block.size())
        wanted -= std::min<std::uintmax_t>(wanted, block.size());
    // The last pieces of a page.
    if (leave == 0)
        while (std::fwrite("f", 1, 1, filler) == 1) {
        }
    std::fclose(filler);
    return true;
}

}  // namespace qx::test
