#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "Sandbox.h"
#include "qxclass/ErrorBox.h"

namespace qx::test {

// Collects the library's error boxes for the life of the object instead of letting them reach stderr.
class ErrorBoxRecorder {
public:
    ErrorBoxRecorder() {
        m_previous = qx::setErrorBoxHandler([this](const char* text, const char* caption) {
            m_boxes.push_back(std::string(caption) + ": " + text);
        });
    }
    ~ErrorBoxRecorder() { qx::setErrorBoxHandler(std::move(m_previous)); }
    ErrorBoxRecorder(const ErrorBoxRecorder&) = delete;
    ErrorBoxRecorder& operator=(const ErrorBoxRecorder&) = delete;

    const std::vector<std::string>& boxes() const { return m_boxes; }
    void clear() { m_boxes.clear(); }

private:
    qx::ErrorBoxHandler m_previous;
    std::vector<std::string> m_boxes;
};

struct RawField {
    std::string name;
    char type = 'C';
    std::uint8_t length = 0;
    std::uint8_t decimals = 0;
};

// The bytes of a dBASE III table built by hand, for files no well-behaved writer makes. Each record
// string is the whole record including its deletion flag. The header count states `records.size()`
// unless `statedCount` is given.
inline std::string rawTable(const std::vector<RawField>& fields, const std::vector<std::string>& records,
                            bool endByte = true, long statedCount = -1) {
    std::size_t headerLength = 32 + 32 * fields.size() + 1;
    std::size_t recordLength = 1;
    for (const RawField& f : fields)
        recordLength += f.length;
    std::string bytes(headerLength, '\0');
    std::uint32_t count = statedCount < 0 ? std::uint32_t(records.size()) : std::uint32_t(statedCount);
    bytes[0] = 0x03;
    bytes[1] = 126;
    bytes[2] = 1;
    bytes[3] = 1;
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = char(count >> (8 * i));
    bytes[8] = char(headerLength & 0xFF);
    bytes[9] = char(headerLength >> 8);
    bytes[10] = char(recordLength & 0xFF);
    bytes[11] = char(recordLength >> 8);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        std::size_t at = 32 + 32 * i;
        bytes.replace(at, fields[i].name.size(), fields[i].name);
        bytes[at + 11] = fields[i].type;
        bytes[at + 16] = char(fields[i].length);
        bytes[at + 17] = char(fields[i].decimals);
    }
    bytes[headerLength - 1] = 0x0D;
    for (const std::string& record : records)
        bytes += record;
    if (endByte)
        bytes += '\x1A';
    return bytes;
}

}  // namespace qx::test
