// Feeds arbitrary bytes to the reader of the alarm server's run index: the lines it cuts and the fields
// it takes from them must keep their limits whatever the server (or anyone who can write the shared
// directory) put into the file, and every byte of a line must come from the file in order.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ReportIndex.h"

namespace {

void expect(bool condition, const char* what, std::string_view detail = {}) {
    if (condition)
        return;
    std::fprintf(stderr, "report_index_fuzz: %s [%.*s]\n", what, static_cast<int>(detail.size()),
                 detail.data());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view index(reinterpret_cast<const char*>(data), size);
    std::size_t from = 0;  // where the next line's bytes may begin in the file
    for (const std::string& line : qx::collectIndexLines(index)) {
        expect(line.size() > qx::kIndexLineMinimum && line.size() <= qx::kIndexLineLimit,
               "a line outside its length limits", line);
        for (char c : line) {
            expect(static_cast<unsigned char>(c) > 13, "a line end or control byte inside a line", line);
            const std::size_t at = index.find(c, from);
            expect(at != std::string_view::npos, "a line holds bytes the file does not have there", line);
            from = at + 1;
        }
        const qx::IndexFields fields = qx::splitIndexLine(line);
        expect(fields.date.size() <= 11 && fields.time.size() <= 23 && fields.runName.size() <= 11,
               "a field longer than its limit", line);
        for (const std::string* field : {&fields.date, &fields.time, &fields.runName})
            expect(field->find(',') == std::string::npos, "a field holds its separator", *field);
        expect(line.starts_with(fields.date), "the date is not the line's first field", line);
    }
    return 0;
}
