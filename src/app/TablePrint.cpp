#include "TablePrint.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "TableDiagnosis.h"
#include "WideText.h"
#include "qxclass/CDatabase.h"
#include "qxclass/ErrorBox.h"

namespace qx {
namespace {

// The command has no window: the library's boxes become lines on its error stream.
class ErrorBoxesToStream {
public:
    explicit ErrorBoxesToStream(std::ostream& err)
        : m_previous(setErrorBoxHandler([&err](const char* text, const char* caption) {
              err << "qxmover: " << caption << ": " << text << '\n';
          })) {}
    ~ErrorBoxesToStream() { setErrorBoxHandler(std::move(m_previous)); }

private:
    ErrorBoxHandler m_previous;
};

// Output goes out in blocks: a table of a million records makes tens of megabytes of text.
constexpr std::size_t kOutputBlock = 64 * 1024;

std::filesystem::path resolvedTable(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error) && !file.has_extension()) {
        std::filesystem::path withExtension = file;
        withExtension += ".dbf";
        if (std::filesystem::exists(withExtension, error))
            return withExtension;
    }
    return file;
}

struct FieldInfo {
    std::string name;
    char type;
    unsigned length;
    unsigned decimals;
};

}  // namespace

int printTable(const std::filesystem::path& file, std::ostream& out, std::ostream& err, TableFormat format) {
    ErrorBoxesToStream boxes(err);
    CDatabase table;
    const std::optional<std::string> tableName = pathBytes(file);
    if (!tableName || !table.Open(tableName->c_str())) {
        err << "qxmover: cannot open the table " << file.string() << ": " << tableOpenFailure(file) << '\n';
        return 1;
    }
    if (auto warning = tableSizeWarning(resolvedTable(file)))
        err << "qxmover: warning: " << file.string() << ": " << *warning << '\n';

    unsigned fields = table.FieldCount();
    std::vector<FieldInfo> info;
    std::size_t longest = 0;
    for (unsigned f = 1; f <= fields; ++f) {
        const char* name = table.Fieldname(f);
        // By position: the length of the first field of a repeated name would be the wrong one.
        info.push_back({name, table.FieldType(f), 0, table.FieldDecimals(f)});
        longest = std::max<std::size_t>(longest, table.FieldLengthAt(f));
        info.back().length = table.FieldLengthAt(f);
    }
    // Binary fields are shown longer than they are stored ("-2147483648" from 4 bytes).
    std::vector<char> text(longest + 64);
    std::string block;
    block.reserve(kOutputBlock + 1024);
    if (format == TableFormat::Json) {
        nlohmann::json header = {{"fields", nlohmann::json::array()}};
        for (const FieldInfo& field : info)
            header["fields"].push_back({{"name", asUtf8(field.name)},
                                        {"type", asUtf8(std::string_view(&field.type, 1))},
                                        {"length", field.length},
                                        {"decimals", field.decimals}});
        block += header.dump() + '\n';
    } else {
        for (const FieldInfo& field : info) {
            appendEscaped(block, field.name);
            block += ' ';
            // The type is a byte of the header like any other: a hostile one must not end the line.
            appendEscaped(block, std::string_view(&field.type, 1));
            block += ' ' + std::to_string(field.length) + ' ' + std::to_string(field.decimals) + '\n';
        }
        block += '\n';
    }
    unsigned count = table.RecCount();
    char number[16];
    for (unsigned record = 1; record <= count; ++record) {
        if (!table.Seek(record)) {
            out.write(block.data(), std::streamsize(block.size()));
            err << "qxmover: cannot read record " << record << " of " << file.string() << '\n';
            table.Close();
            return 1;
        }
        bool deleted = table.Deleted() != 0;
        if (format == TableFormat::Json) {
            nlohmann::json values = nlohmann::json::array();
            for (unsigned f = 1; f <= fields; ++f) {
                std::size_t length = table.ReadFieldBytes(f, text.data(), text.size());
                values.push_back(asUtf8(std::string_view(text.data(), length)));
            }
            nlohmann::json line = {{"record", record}, {"deleted", deleted}, {"values", std::move(values)}};
            block += line.dump() + '\n';
        } else {
            auto end = std::to_chars(number, number + sizeof number, record).ptr;
            block.append(number, end);
            block += deleted ? " * " : " - ";
            for (unsigned f = 1; f <= fields; ++f) {
                std::size_t length = table.ReadFieldBytes(f, text.data(), text.size());
                if (f > 1)
                    block += '|';
                appendEscaped(block, std::string_view(text.data(), length));
            }
            block += '\n';
        }
        if (block.size() >= kOutputBlock) {
            out.write(block.data(), std::streamsize(block.size()));
            block.clear();
        }
    }
    out.write(block.data(), std::streamsize(block.size()));
    table.Close();
    out.flush();
    return out ? 0 : 1;
}

}  // namespace qx
