#include "TableDiagnosis.h"

#include <cstdint>
#include <cstring>

#include "FileCheck.h"

namespace qx {
namespace {

std::uint32_t le(const unsigned char* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= std::uint32_t(p[i]) << (8 * i);
    return value;
}

// The length of the UTF-8 sequence starting at `at`, or 0 when none starts there.
std::size_t utf8Sequence(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and values past U+10FFFF are no valid UTF-8.
    std::uint32_t code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        code = (code << 6) | (byte(at + i) & 0x3F);
    static const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < least[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::string tableOpenFailure(const std::filesystem::path& file) {
    std::filesystem::path candidate = file;
    std::error_code ec;
    if (!std::filesystem::exists(candidate, ec) && !file.has_extension()) {
        candidate += ".dbf";
        if (!std::filesystem::exists(candidate, ec))
            candidate = file;
    }
    std::error_code error;
    if (std::optional<std::string> why = whyUnreadable(candidate, error))
        return error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory
                   ? "no such file"
                   : *why;
    return "not a dBASE table";
}

std::optional<std::string> tableSizeWarning(const std::filesystem::path& file) {
    const std::optional<FileStart> start = readFileStart(file, 12);
    if (!start)
        return std::nullopt;
    const unsigned char* header = start->bytes.data();
    std::uint64_t stated = le(header + 4, 4);
    std::uint64_t headerLength = le(header + 8, 2);
    std::uint64_t recordLength = le(header + 10, 2);
    std::uint64_t size = start->size;
    if (recordLength == 0 || size < headerLength)
        return std::nullopt;
    // The records may be followed by one end-of-file mark. Compared as sizes, not as a record count:
    // with records of one byte the mark would count as one record more.
    const std::uint64_t records = size - headerLength;
    if (records == stated * recordLength || records == stated * recordLength + 1)
        return std::nullopt;
    std::uint64_t held = records / recordLength;
    std::uint64_t rest = records % recordLength;
    std::string warning = "the header states " + std::to_string(stated) + " records of " +
                          std::to_string(recordLength) + " bytes after " + std::to_string(headerLength) +
                          " header bytes, but the file's " + std::to_string(size) + " bytes hold " +
                          std::to_string(held) + " records";
    if (rest > 1)
        warning += " and " + std::to_string(rest) + " bytes more";
    return warning;
}

void appendEscaped(std::string& out, std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    // Runs of plain bytes go out at once: a table of a million records passes through here.
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte >= 32 && byte != 127 && byte != '\\' && byte != '|')
            continue;
        out.append(text.data() + plainFrom, i - plainFrom);
        plainFrom = i + 1;
        switch (byte) {
            case '\\':
                out += "\\\\";
                break;
            case '|':
                out += "\\|";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\x";
                out += hex[byte >> 4];
                out += hex[byte & 15];
        }
    }
    out.append(text.data() + plainFrom, text.size() - plainFrom);
}

std::string asUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = utf8Sequence(text, at);
        if (length > 0) {
            out.append(text.substr(at, length));
            at += length;
            continue;
        }
        unsigned char byte = static_cast<unsigned char>(text[at++]);
        out += char(0xC0 | (byte >> 6));
        out += char(0x80 | (byte & 0x3F));
    }
    return out;
}

}  // namespace qx
