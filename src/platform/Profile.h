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

// Reads and writes INI files with the semantics of the Windows private-profile functions, because
// the installation's other programs read and write the same files.
//
// Reading: section and key names match case-insensitively; the first of duplicate sections or keys
// wins; ';' starts a comment only at the start of a line; blanks around keys and values are cut and
// one pair of matching outer quotes is stripped from a value. Every read sees the file as it is now:
// a parsed copy is reused only while inode, size, mtime and ctime (to the nanosecond) are unchanged
// and the last change has settled (see setSettleTime), so a read of an unchanged file costs one stat.
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
    // Bare names (without '/' or '\\') resolve in `profileDir`, other names are taken as native paths.
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
    // CRLF line ends; a deletion in a missing file creates nothing. Returns false, leaving the file as it
    // was, when it cannot be written, and when the names or the value would not read back as written:
    // a line break anywhere, ']' in the section, '=' in the key or a key beginning with ';' or '['.
    bool writeString(std::string_view file, std::string_view section, std::string_view key,
                     std::optional<std::string_view> value);
    bool writeInt(std::string_view file, std::string_view section, std::string_view key, int value);

    // Deletes the whole section (the Windows write with a null key), every section of that name, from
    // its header to the next one. Returns false on a write failure.
    bool deleteSection(std::string_view file, std::string_view section);

    std::filesystem::path resolve(std::string_view file) const { return m_resolve(file); }

    // A file whose last change lies less than this far back is read afresh on every call, because
    // file times advance in ticks (up to a second on some file systems) and a second change within the
    // tick would not show in the stamp. Default 2 s; tests set 0 to exercise the stamp alone.
    void setSettleTime(std::chrono::nanoseconds settle);

private:
    struct Cache;
    struct Parsed;
    // The parsed file as it is now; nullptr when it is missing or cannot be read.
    std::shared_ptr<const Parsed> load(std::string_view file) const;
    // Replaces the file's text by change(text) under the write lock.
    bool edit(std::string_view file, const std::function<std::string(std::string_view text)>& change);

    Resolver m_resolve;
    std::unique_ptr<Cache> m_cache;
};

// Parses text like the Windows profile integer read (see Profile::getInt).
int parseProfileInt(std::string_view text);

}  // namespace qx
