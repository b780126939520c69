// Feeds arbitrary bytes to the table engine as a .dbf file: opening, reading every field of every
// record, moving around, and the changes that rewrite the file in place must never crash or read or
// write out of bounds, whatever the header claims.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "qxclass/CDatabase.h"
#include "qxclass/DbfSettings.h"
#include "qxclass/ErrorBox.h"

namespace {

void exercise(CDatabase& db) {
    unsigned count = db.RecCount();
    unsigned fields = db.FieldCount();
    char text[64];
    int number = 0;
    unsigned limit = count < 50 ? count : 50;
    for (unsigned record = 1; record <= limit; ++record) {
        db.Go(record);
        for (unsigned f = 1; f <= fields; ++f) {
            const char* name = db.Fieldname(f);
            db.Read(name, text, sizeof text);
            db.Read(name, number);
            db.FieldLength(name);
            db.FieldType(f);
        }
        db.Deleted();
    }
    db.Go(count + 1);
    db.Bottom();
    db.Skip(-3);
    db.Skip(1000);
    db.Top();
    if (fields > 0) {
        db.Find(db.Fieldname(1), "x");
        db.Top();
        db.Find(db.Fieldname(fields), 7);
    }
    // The in-place changes: append, assign, delete, pack.
    db.SetFlush(0);
    if (db.Append() && fields > 0) {
        db.Replace(db.Fieldname(1), 12345);
        db.Replace(db.Fieldname(fields), "fuzz");
        db.Delete();
    }
    db.Top();
    db.Recall();
    db.CopyRecord(1, db.RecCount());
    db.Pack();
    db.Close();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    qx::setErrorBoxHandler([](const char*, const char*) {});
    qx::dbf::LockSettings settings;
    settings.attempts = 1;
    qx::dbf::setLockSettings(settings);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    int fd = memfd_create("fuzz.dbf", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    std::size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    std::string path = "/proc/self/fd/" + std::to_string(fd);
    CDatabase db;
    if (db.Open(path.c_str()))
        exercise(db);
    close(fd);
    return 0;
}
