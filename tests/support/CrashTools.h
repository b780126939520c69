#pragma once

// What the tests need that kill a job at any point and run it again: whether a file is whole, a second
// file system to move across, and a small file system that fills up.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qx::test {

// FNV-1a of `bytes`: tells a whole file from a torn one without keeping its bytes.
std::uint64_t checksum(std::string_view bytes);

// The bytes of `file`; nullopt when it cannot be read (it is not there).
std::optional<std::string> readWhole(const std::filesystem::path& file);
std::optional<std::uint64_t> checksumOf(const std::filesystem::path& file);

// Counts the steps of a job and kills the process (SIGKILL) at step `killAt`; 0 never kills.
struct KillSwitch {
    int killAt = 0;
    int steps = 0;
    void step();
};

// A directory of its own on /dev/shm, when that is another file system than the sandbox's (`near`);
// removed with its content at the end. Empty when there is none (the test skips) or `near` is empty.
class SecondFileSystem {
public:
    explicit SecondFileSystem(const std::filesystem::path& near);
    ~SecondFileSystem();
    SecondFileSystem(const SecondFileSystem&) = delete;
    SecondFileSystem& operator=(const SecondFileSystem&) = delete;

    bool available() const { return !m_path.empty(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A file system of `bytes` (tmpfs) mounted on the existing `directory` for this process and the
// children it forks after, in a mount namespace of their own, so nothing outside sees it; unmounted at
// the end, before the sandbox that holds it goes. Where this account may not mount, mounted() is false
// and the test skips.
class SmallFileSystem {
public:
    SmallFileSystem(const std::filesystem::path& directory, std::size_t bytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    bool mounted() const { return m_mounted; }

private:
    std::filesystem::path m_directory;
    bool m_mounted = false;
};

// Writes `file` until the file system that holds it has only about `leave` bytes free (to the last
// byte when 0). False when the file cannot be made.
bool fill(const std::filesystem::path& file, std::uintmax_t leave = 0);

}  // namespace qx::test
