#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qx {

// The longest value the Windows profile write is asked to store.
inline constexpr std::size_t kMaxProfileValue = 32766;

// Why a profile write did not happen.
enum class ProfileWriteError {
    None,
    NotReadBack,   // a name or the value would not read back as written
    NotRegular,    // something other than a regular file is in the file's place
    ReadOnly,      // the file has no write permission bits, or this process may not write it
    DanglingLink,  // the file is a symbolic link to nothing (a share that is not mounted, say)
    TooLong,       // longer than the system's profile write stores whole (Windows: kMaxProfileValue)
    Failed,        // the directory is missing, or the file system refused (see systemError)
};

// The outcome of a write: true when the file holds what was asked for. Failures must be looked at
// (logged by the caller), because a lost setting or task shows nowhere else.
class [[nodiscard]] ProfileWriteResult {
public:
    ProfileWriteResult(ProfileWriteError error = ProfileWriteError::None, int systemError = 0)
        : m_error(error), m_systemError(systemError) {}

    explicit operator bool() const noexcept { return m_error == ProfileWriteError::None; }
    bool ok() const noexcept { return m_error == ProfileWriteError::None; }
    ProfileWriteError error() const noexcept { return m_error; }
    int systemError() const noexcept { return m_systemError; }  // errno of a Failed write, or 0

    // Why, in words for a message or a log line ("the file is read-only"); empty when written.
    std::string reason() const;

private:
    ProfileWriteError m_error;
    int m_systemError;
};

// "Cannot write KEY in [SECTION] of FILE: REASON", the line a caller logs for a failed write.
std::string profileWriteFailure(std::string_view file, std::string_view section, std::string_view key,
                                const ProfileWriteResult& result);

// The one rule for a profile file name: a name without '\\', '/' or a drive colon ("qxmover.ini") is
// bare and lies in the profile directory; "C:x.ini" and every path are mapped like other paths.
bool isBareProfileName(std::string_view file);

// The default of a text read as Windows hands it back: without its trailing spaces.
std::string_view trimProfileDefault(std::string_view text);

// `text` cut to at most `limit` bytes; with `wholeCharacters` (UTF-8 text) never inside a character.
std::string cutProfileText(std::string_view text, std::size_t limit, bool wholeCharacters);

// Reads and writes INI files with the semantics of the Windows private-profile functions, because
// the installation's other programs read and write the same files.
//
// Reading: section and key names match case-insensitively; the first of duplicate sections or keys
// wins; ';' starts a comment only at the start of a line; blanks around keys and values are cut and
// one pair of matching outer quotes is stripped from a value; lines may end in CRLF, LF or CR alone.
// Every read sees the file as it is now: a parsed copy is reused only while inode, size, mtime and
// ctime (to the nanosecond) are unchanged, so a read of an unchanged file costs one stat. A version
// that another program wrote is trusted that way only once its last change has settled (see
// setSettleTime); one that this object wrote itself at once, as it knows that version's stamp. Within
// a Pass, each file costs one stat for all the reads of the pass. Parsing costs a small multiple of the
// file's size; a single read of a file scans it without building an index.
// Bytes are not transcoded; UTF-16LE files with a byte-order mark are read and written as such.
//
// Writing edits the file in place, byte for byte: other lines, comments, the spelling of names and
// the line-end style stay. A new key goes after the last key line of its section, a new section at
// the end; a new file (and new lines in a CRLF file) end lines with CRLF. A write replaces the file
// atomically (temporary file + rename, keeping mode and owner; through a symbolic link to its target)
// under a lock that serialises writers in this process and between processes (see
// ProfileDirectoryLock).
//
// All members may be called from many threads at once; the resolver must allow that too.
class Profile {
public:
    // `resolve` turns the file names given to every call into native paths (bare names lie in the
    // profile directory; see PathMap::profileFile).
    using Resolver = std::function<std::filesystem::path(std::string_view file)>;

    explicit Profile(Resolver resolve);
    // Bare names (see isBareProfileName) resolve in `profileDir`, other names are taken as native paths.
    // With either constructor, a file that does not exist under the resolved name is looked for
    // ignoring letter case, as Windows would find it.
    explicit Profile(std::filesystem::path profileDir);
    ~Profile();
    Profile(const Profile&) = delete;
    Profile& operator=(const Profile&) = delete;

    // The value as the Windows text read returns it: at most size - 1 characters (the default is cut
    // likewise); size 0 gives the empty text. A missing file, section or key gives the default, with its
    // trailing spaces removed as the Windows read does. Characters are bytes, except that a value from a
    // UTF-16 file (held as UTF-8) is never cut inside a character.
    std::string getString(std::string_view file, std::string_view section, std::string_view key,
                          std::string_view defaultValue, std::size_t size) const;

    // The value as the Windows integer read parses it: optional blanks and sign, decimal (leading zeros
    // stay decimal) or 0x hex, stopping at the first non-digit ("42A" gives 42, "yes" gives 0, not the
    // default), wrapping modulo 2^32. A missing file, section or key gives the default, and so does an
    // empty value ("Key="), as on Windows.
    int getInt(std::string_view file, std::string_view section, std::string_view key, int defaultValue) const;

    // Writes key=value into the first section of that name; a null value deletes the key (every line of
    // it in that section, so that a read afterwards gives the default). A missing file is created with
    // CRLF line ends; a deletion in a missing file creates nothing. Fails, leaving the file as it was:
    //  - when the names or the value would not read back as written: a line break anywhere, ']' in the
    //    section, '=' in the key or a key beginning with ';' or '[';
    //  - when something other than a regular file (a FIFO, a device, a directory) is in the file's place:
    //    it is never opened, and refused before any lock is taken, so it cannot hang the writer;
    //  - on Windows, when the value is longer than kMaxProfileValue bytes: the system's write stores such a
    //    value mangled (under Wine, a value of 32767 bytes reads back as one character);
    //  - when the file has no write permission bits (the Windows read-only attribute), also for root,
    //    or is not writable by this process;
    //  - when the file is a symbolic link whose target does not exist: a new file in the link's place
    //    would stand for the settings behind it for good once the target is back;
    //  - when it cannot be written. A file in a directory where no temporary file can be created (a
    //    read-only directory) is rewritten in place and synced instead of replaced; the space for the new
    //    text is reserved first, so that a full file system refuses the write instead of cutting it.
    ProfileWriteResult writeString(std::string_view file, std::string_view section, std::string_view key,
                                   std::optional<std::string_view> value);
    ProfileWriteResult writeInt(std::string_view file, std::string_view section, std::string_view key,
                                int value);

    // Deletes the whole section (the Windows write with a null key), every section of that name, from
    // its header to the next one. Fails as writeString does.
    ProfileWriteResult deleteSection(std::string_view file, std::string_view section);

    std::filesystem::path resolve(std::string_view file) const { return m_resolve(file); }

    // Why a read of `file` gives defaults only: "no such file", "not a regular file" or the reason it
    // cannot be read (the file is looked for in any letter case, as the reads do). nullopt when it can be
    // read. Opens without blocking, so a FIFO in the file's place never hangs the caller.
    std::optional<std::string> readProblem(std::string_view file) const;

    // A file whose last change by another program lies less than this far back is read afresh on
    // every call, because file times advance in ticks and a second change within the tick would not
    // show in the stamp. Default 2 s; tests set 0 to exercise the stamp alone.
    void setSettleTime(std::chrono::nanoseconds settle);

    // How many times a file has been read and parsed, for the tests and benchmarks of the cache.
    std::uint64_t parseCount() const;

    // For a process that reads a value or two and ends (the profile command): outside a Pass, reads
    // scan the file block by block and keep nothing (see findProfileValueInFile), so that a lookup in a
    // file of many megabytes costs a block of memory rather than the file. Off by default.
    void setSingleReads(bool single) { m_singleReads = single; }

    // A scope in which the reads of this thread see each file as at its first read in the scope: one
    // stat (and at most one parse) per file for a whole scheduler pass, however many keys it reads.
    // A write through this object in the scope shows in the scope's later reads. Nested scopes of the
    // same thread join the outer one.
    class Pass {
    public:
        explicit Pass(const Profile& profile);
        ~Pass();
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;

        struct Files;  // what the scope has read, by file name

    private:
        std::unique_ptr<Files> m_files;  // null when an outer scope serves
    };

private:
    struct Cache;
    struct Parsed;
    // The parsed file as it is now; nullptr when it is missing, not a regular file or unreadable.
    std::shared_ptr<const Parsed> load(std::string_view file) const;
    std::shared_ptr<const Parsed> loadNow(std::string_view file) const;
    // The single read of a value (see setSingleReads): the outer nullopt when the file must be loaded.
    std::optional<std::optional<std::string>> readSingle(std::string_view file, std::string_view section,
                                                         std::string_view key) const;
    // Replaces the file's text by change(text) under the write lock.
    ProfileWriteResult edit(std::string_view file,
                            const std::function<std::string(std::string_view text)>& change);

    Resolver m_resolve;
    std::unique_ptr<Cache> m_cache;
    bool m_singleReads = false;
};

// Parses text like the Windows profile integer read (see Profile::getInt).
int parseProfileInt(std::string_view text);

}  // namespace qx
