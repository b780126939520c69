#pragma once

#include <cstddef>

#include "qxclass/Export.h"

// A named file opened, positioned, read and written in blocks, with text lines ending in CR LF.
//
// Results are 1 for success and 0 for failure unless a declaration says otherwise; a failed call leaves
// the object usable. One object is used by one thread at a time. Objects cannot be copied: two copies
// would close the same file.
class QXCLASS_API CDosFile {
public:
    // Access in the low bits of an open mode ...
    static constexpr int OF_READ = 0x00;
    static constexpr int OF_WRITE = 0x01;
    static constexpr int OF_READWRITE = 0x02;
    // ... combined with one sharing value. On Windows these are the system's own sharing modes, kept
    // against every opener of the file; on Linux they are kept as on Windows among every process that
    // opens the file through this class (advisory locks: programs that bypass the class are not stopped). An
    // open is refused when what it does (read, write; Create's emptying counts as writing) is denied by an
    // open of someone else, or when what it denies is being done by one: OF_SHARE_EXCLUSIVE denies reading
    // and writing, OF_SHARE_DENY_WRITE writing, OF_SHARE_DENY_READ reading; OF_SHARE_COMPAT and
    // OF_SHARE_DENY_NONE deny nothing. A file this account may write but not read cannot carry a
    // denial: such an open is refused unless it denies nothing.
    static constexpr int OF_SHARE_COMPAT = 0x00;
    static constexpr int OF_SHARE_EXCLUSIVE = 0x10;
    static constexpr int OF_SHARE_DENY_WRITE = 0x20;
    static constexpr int OF_SHARE_DENY_READ = 0x30;
    static constexpr int OF_SHARE_DENY_NONE = 0x40;

    // Keeps a copy of `name` (a native path; null gives an object that can open nothing). The file
    // stays closed.
    explicit CDosFile(const char* name);
    // Closes the file when it is open.
    virtual ~CDosFile();
    CDosFile(const CDosFile&) = delete;
    CDosFile& operator=(const CDosFile&) = delete;

    // Creates the file, or empties an existing one, and opens it with `mode`. The sharing rule is
    // checked before anything changes: a file that someone else holds with a denial of writing (or
    // exclusively) keeps its contents and the call returns 0. 0 also without a name or when the file
    // cannot be made.
    int Create(int mode);
    // Opens the named file with `mode` (see above); a file that is still open is closed first. 0 without
    // a name, for an unknown access value, when the file is missing or refused, or when the sharing
    // rule forbids it; the object then stays closed.
    int Open(int mode);
    // 0 when not open; otherwise closes and reports whether the close succeeded.
    int Close();
    // 1 while a file is open.
    int IsOpen() const { return m_fd >= 0 ? 1 : 0; }

    // Moves to byte `pos` from the start / to the end. 0 when not open or the move fails.
    int Seek(long pos);
    int SeekEof();
    // The current byte position; -1 when not open or on failure.
    long GetPos();

    // Transfer up to `count` bytes at the current position. Read stops early only at the end of the
    // file; Write succeeds only when every byte was written. `done` receives the bytes transferred
    // (0 on failure, possibly fewer than `count` after a partial write).
    int Read(void* buf, std::size_t count, std::size_t& done);
    int Read(void* buf, std::size_t count);
    int Write(const void* buf, std::size_t count, std::size_t& done);
    int Write(const void* buf, std::size_t count);

    // Reads the next line into `buf` of `size` bytes, without its CR LF, NUL-terminated, and leaves the
    // position after the LF. A line longer than size - 1 bytes comes in pieces of size - 1 bytes; a lone
    // LF or CR does not end a line. A CR LF is never split between two calls: a line whose CR is the
    // last byte that fits comes without it, and a piece that fills the buffer right up to a CR LF
    // takes that line end with it (no empty line follows). At the end of the file: 1 with an empty text and
    // the position unchanged (compare GetPos with the length to tell the end from an empty line). 0 when not
    // open, when `size` is 0 or on a read failure.
    int ReadLine(char* buf, std::size_t size);

protected:
    // `append`: every write goes to the end of the file, in one piece (see CLogFile).
    CDosFile(const char* name, bool append);

private:
    QXCLASS_LOCAL int OpenFile(int mode, bool create);

    char* m_name = nullptr;
    int m_fd = -1;
    int m_markFd = -1;  // a second descriptor that carries the sharing marks of a write-only open
    bool m_append = false;
};

// A CDosFile for log files that several processes append to at once: opened for writing, every Write
// goes to the current end of the file whatever the position (Seek moves only where reads start), and
// each Write of one line lands whole, never interleaved with or overwriting another process's line.
class QXCLASS_API CLogFile : public CDosFile {
public:
    explicit CLogFile(const char* name);
    ~CLogFile() override;
};
