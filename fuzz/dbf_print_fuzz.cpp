// Feeds arbitrary bytes to `qxmover dbf` as a table file, in both of its formats. Whatever the header
// claims, the command ends with 0 or 1 and never throws, and what it prints keeps its promise to a
// script: as text, one line per field, an empty line and one line per record; as JSON, one valid
// object per line, the fields first and then one per record.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "TablePrint.h"
#include "qxclass/CDatabase.h"
#include "qxclass/DbfSettings.h"

namespace {

void expect(bool condition, const char* what, std::string_view detail = {}) {
    if (condition)
        return;
    std::fprintf(stderr, "dbf_print_fuzz: %s [%.*s]\n", what, static_cast<int>(detail.size()), detail.data());
    std::abort();
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        expect(end != std::string_view::npos, "the output's last line has no end", text);
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
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
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    unsigned fields = 0, records = 0;
    {
        CDatabase table;
        if (table.Open(path.c_str())) {
            fields = table.FieldCount();
            records = table.RecCount();
        }
    }
    for (qx::TableFormat format : {qx::TableFormat::Text, qx::TableFormat::Json}) {
        std::ostringstream out, err;
        const int code = qx::printTable(path, out, err, format);
        expect(code == 0 || code == 1, "an exit code other than 0 and 1");
        expect(code == 0 || !err.str().empty(), "a failure without a word on the error stream");
        if (code != 0)
            continue;
        const std::string text = out.str();
        const std::vector<std::string_view> lines = linesOf(text);
        if (format == qx::TableFormat::Text) {
            expect(lines.size() == std::size_t(fields) + 1 + records, "text lines do not match the table",
                   text);
            expect(lines[fields].empty(), "no empty line after the fields", text);
        } else {
            expect(lines.size() == std::size_t(1) + records, "JSON lines do not match the table", text);
            for (std::string_view line : lines)
                expect(!nlohmann::json::parse(line, nullptr, false).is_discarded(), "a line is no JSON",
                       line);
        }
    }
    close(fd);
    return 0;
}
